// The identification number parser: no crash, and either a value with Ok or a
// typed error with the value left untouched.
#include <cstdint>
#include <cstring>

#include <QByteArray>
#include <QString>

#include "store/IdNumber.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the reading of the rest: UTF-8, or raw UTF-16.
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    QString text;
    if (data[0] & 1) {
        text.resize(rest.size() / 2);
        if (!text.isEmpty())
            std::memcpy(text.data(), rest.constData(), size_t(text.size()) * 2);
    } else {
        text = QString::fromUtf8(rest);
    }

    constexpr qint16 kUntouched = 0x5A5A;
    qint16 value = kUntouched;
    const IdNumber::Result r = IdNumber::parse(text, value);
    switch (r) {
    case IdNumber::Ok: {
        FUZZ_CHECK(IdNumber::message(r).isEmpty());
        // What it read is itself a number that reads back the same.
        qint16 again = kUntouched;
        FUZZ_CHECK(IdNumber::parse(QString::number(value), again) == IdNumber::Ok);
        FUZZ_CHECK(again == value);
        break;
    }
    case IdNumber::Empty:
    case IdNumber::NotANumber:
    case IdNumber::OutOfRange:
        FUZZ_CHECK(value == kUntouched);
        FUZZ_CHECK(!IdNumber::message(r).isEmpty());
        break;
    default:
        FUZZ_CHECK(!"a result outside the enumeration");
    }

    // Surrounding spaces change nothing.
    qint16 padded = kUntouched;
    FUZZ_CHECK(IdNumber::parse(QStringLiteral("  ") + text + QStringLiteral(" "), padded) == r);
    FUZZ_CHECK(padded == value);
    return 0;
}
