#pragma once

#include <QByteArray>
#include <QList>

#include "ContactRecord.h"
#include "ExportWarning.h"

// RFC 4180 CSV in UTF-8 with a byte-order mark, so spreadsheets show Persian.
class CsvWriter
{
public:
    // The byte-order mark and the header row.
    static void begin(QByteArray &out);
    // The row of record number n.
    static void write(const ContactRecord &record, qint64 n, QByteArray &out,
                      QList<ExportWarning> &warnings);
};
