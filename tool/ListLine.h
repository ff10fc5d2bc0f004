#pragma once

#include <QByteArray>

class ContactRecord;

// The form list and duplicates write a record in: one line, the fields
// separated by tabs, without their padding.
namespace ListLine {

// Appends record r, numbered n, with its line end.
void append(QByteArray &out, const ContactRecord &r, qint64 n);

} // namespace ListLine
