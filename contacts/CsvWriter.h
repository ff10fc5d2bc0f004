#pragma once

#include <QByteArray>
#include <QList>

#include "contacts/ExportWarning.h"
#include "contacts/FieldText.h"
#include "store/ContactRecord.h"

// RFC 4180 CSV in UTF-8 with a byte-order mark, so spreadsheets show Persian;
// a field a spreadsheet would run as a formula starts with an apostrophe (CsvText).
class CsvWriter
{
public:
    // The byte-order mark and the header row.
    static void begin(QByteArray &out);
    // The most a row takes: every stored byte is at most three in UTF-8.
    static constexpr qsizetype MaxRow = 3 * ContactRecord::Size + 64;

    // Writes the row of record number n at out, which has MaxRow bytes of
    // room; returns its end.
    static char *write(const ContactRecord &record, qint64 n, char *out,
                       QList<ExportWarning> &warnings,
                       FieldText::Yeh yeh = FieldText::Yeh::Persian);
    // The same, appended to out.
    static void write(const ContactRecord &record, qint64 n, QByteArray &out,
                      QList<ExportWarning> &warnings, FieldText::Yeh yeh = FieldText::Yeh::Persian);
};
