#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Windows-1256 with the folding a Persian keyboard needs: FARSI YEH, Persian and
// Arabic-Indic digits and presentation forms land on bytes the code page has, and
// anything else becomes '?', never the SUB byte Qt's converter writes.
class Cp1256Codec
{
public:
    static QChar decodeByte(uchar byte);
    static QString decode(QByteArrayView bytes);

    static QByteArray encode(QStringView text);
    // Cut after folding, so the width counts stored bytes; pad with spaces.
    static QByteArray encodeField(QStringView text, int width);

    // What a text reads back as once stored.
    static QString stored(QStringView text);
};
