#pragma once

#include <array>
#include <cstring>

#include <QByteArrayView>

// Stored field bytes as the export formats want them: padding dropped, and
// each Windows-1256 byte written through a table made for the format.
class FieldText
{
public:
    // What one stored byte becomes: up to three bytes, their count, and marks:
    // the format cannot carry it (U+FFFD is written and the caller says so), or
    // a CSV field holding it must be quoted.
    struct Out
    {
        char bytes[3];
        uchar size; // marks | count
    };
    static constexpr uchar Lost = 0x80;
    static constexpr uchar Quote = 0x40;
    static constexpr uchar Count = 0x3F;
    using Table = std::array<Out, 256>;

    // The code page has no Persian yeh (ی), so the store keeps it as the Arabic
    // one (ي). Persian writes every stored ي as ی, the letter Persian speakers
    // type and their phones show; the import folds it back.
    enum class Yeh
    {
        Persian,
        AsStored
    };

    static const Table &utf8(); // plain UTF-8, as stored
    // \ , ; newline escaped; other controls lost
    static const Table &vcardText(Yeh yeh = Yeh::Persian);
    // " doubled; NUL lost; , " CR LF quoted
    static const Table &csvText(Yeh yeh = Yeh::Persian);

    // Without the trailing spaces that pad it to its width.
    static QByteArrayView unpadded(QByteArrayView field)
    {
        qsizetype n = field.size();
        while (n > 0 && field[n - 1] == ' ')
            --n;
        return field.first(n);
    }

    // Writes the field at p, which has three bytes of room for each stored one
    // and one more; returns the end. marks gets the marks of all its bytes.
    static char *put(char *p, QByteArrayView field, const Table &table, uchar &marks)
    {
        uchar any = 0;
        for (const char c : field) {
            // A copy, not a reference: after the store through p the compiler
            // would read the table again, as p might point into it.
            const Out o = table[uchar(c)];
            std::memcpy(p, &o, sizeof o);
            p += o.size & Count;
            any |= o.size;
        }
        marks = any & ~Count;
        return p;
    }

    // The decimal digits of an ID.
    static char *putNumber(char *p, int n);
};
