#pragma once

#include <QByteArrayView>

// A spreadsheet runs a cell that starts with = + - @ (or a tab or carriage
// return before one) as a formula; a leading apostrophe makes it text and is
// not shown. Export puts one before such a field and before one that already
// starts with apostrophes then such a character; import takes exactly one
// away, so every value comes back as it was.
class CsvText
{
public:
    static bool needsGuard(QByteArrayView field)
    {
        qsizetype i = 0;
        while (i < field.size() && field[i] == '\'')
            ++i;
        if (i == field.size())
            return false;
        const char c = field[i];
        return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
    }

    // The field as read, without the apostrophe export put there.
    static QByteArrayView unguarded(QByteArrayView field)
    {
        return field.startsWith('\'') && needsGuard(field.sliced(1)) ? field.sliced(1) : field;
    }
};
