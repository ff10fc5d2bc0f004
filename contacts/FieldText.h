#pragma once

#include <QByteArrayView>

// Stored field bytes as the export formats want them: padding dropped, each
// Windows-1256 byte as UTF-8, through one table.
class FieldText
{
public:
    // Without the trailing spaces that pad it to its width.
    static QByteArrayView unpadded(QByteArrayView field)
    {
        qsizetype n = field.size();
        while (n > 0 && field[n - 1] == ' ')
            --n;
        return field.first(n);
    }

    static QByteArrayView utf8(uchar byte);
    // U+FFFD, written for what a format cannot carry.
    static QByteArrayView replacement() { return QByteArrayView("\xEF\xBF\xBD", 3); }
};
