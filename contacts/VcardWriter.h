#pragma once

#include <QByteArray>
#include <QList>

#include "contacts/ExportWarning.h"
#include "contacts/FieldText.h"
#include "store/ContactRecord.h"

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

    // The most a card takes: every stored byte is at most three in UTF-8.
    static constexpr qsizetype MaxCard = 2048;

    // Writes the card of record number n at out, which has MaxCard bytes of
    // room; returns its end.
    static char *write(const ContactRecord &record, qint64 n, Version version, char *out,
                       QList<ExportWarning> &warnings,
                       FieldText::Yeh yeh = FieldText::Yeh::Persian);
    // The same, appended to out.
    static void write(const ContactRecord &record, qint64 n, Version version, QByteArray &out,
                      QList<ExportWarning> &warnings, FieldText::Yeh yeh = FieldText::Yeh::Persian);

    static constexpr qsizetype FoldAt = 75;
    // Folds the line [line, end) where it stands, in a buffer with room for the
    // folds; returns its new end.
    static char *fold(char *line, char *end);
};
