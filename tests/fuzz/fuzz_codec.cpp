// Windows-1256 codec: every byte string survives decode then encode, and what a
// text reads back as once stored stays put when stored again.
#include <cstdint>
#include <cstring>

#include <QByteArray>
#include <QString>

#include "store/Cp1256Codec.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

void checkStoredText(const QString &text, int width)
{
    const QString once = Cp1256Codec::stored(text);
    FUZZ_CHECK(Cp1256Codec::stored(once) == once);
    const QByteArray bytes = Cp1256Codec::encode(text);
    FUZZ_CHECK(Cp1256Codec::encode(once) == bytes);
    FUZZ_CHECK(once.size() == bytes.size());

    const QByteArray field = Cp1256Codec::encodeField(text, width);
    FUZZ_CHECK(field.size() == width);
    FUZZ_CHECK(field == bytes.left(width) + QByteArray(qMax(0, width - int(bytes.size())), ' '));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const QString text = Cp1256Codec::decode(bytes);
    FUZZ_CHECK(text.size() == bytes.size());
    FUZZ_CHECK(Cp1256Codec::encode(text) == bytes);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        FUZZ_CHECK(Cp1256Codec::decodeByte(uchar(bytes[i])) == text[i]);

    // The same bytes as any UTF-16 (lone surrogates included) and as UTF-8.
    QString utf16(bytes.size() / 2, Qt::Uninitialized);
    if (!utf16.isEmpty())
        std::memcpy(utf16.data(), bytes.constData(), size_t(utf16.size()) * 2);
    const int width = bytes.isEmpty() ? 0 : uchar(bytes[0]) % 120;
    checkStoredText(utf16, width);
    checkStoredText(QString::fromUtf8(bytes), width);
    return 0;
}
