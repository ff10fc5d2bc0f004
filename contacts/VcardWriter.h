#pragma once

#include <QByteArray>
#include <QList>

#include "ContactRecord.h"
#include "ExportWarning.h"

// One record as a vCard 4.0 (RFC 6350) or 3.0 (RFC 2426): UTF-8, CRLF, lines
// folded at 75 octets between whole characters.
class VcardWriter
{
public:
    enum Version
    {
        V3,
        V4
    };

    // Appends the card of record number n to out.
    static void write(const ContactRecord &record, qint64 n, Version version, QByteArray &out,
                      QList<ExportWarning> &warnings);

    static constexpr qsizetype FoldAt = 75;
    static void appendFolded(QByteArray &out, QByteArrayView line);
    // Writes the folded line at out, which has the room; returns its end.
    static char *fold(char *out, QByteArrayView line);
};
