#include "FieldText.h"

#include <array>

#include "Cp1256Codec.h"

namespace {

struct Utf8Byte
{
    char bytes[3];
    qint8 size;
};

const std::array<Utf8Byte, 256> &table()
{
    static const std::array<Utf8Byte, 256> t = [] {
        std::array<Utf8Byte, 256> out{};
        for (int b = 0; b < 256; ++b) {
            const QByteArray u = QString(Cp1256Codec::decodeByte(uchar(b))).toUtf8();
            for (qsizetype k = 0; k < u.size(); ++k)
                out[b].bytes[k] = u[k];
            out[b].size = qint8(u.size());
        }
        return out;
    }();
    return t;
}

} // namespace

QByteArrayView FieldText::utf8(uchar byte)
{
    const Utf8Byte &u = table()[byte];
    return QByteArrayView(u.bytes, u.size);
}
