#include "contacts/TextInput.h"

#include <cstring>

#include <QStringDecoder>

bool TextInput::prepare(QByteArrayView bytes, QByteArray &converted, QByteArrayView &text,
                        ReadResult &result)
{
    text = bytes;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        text = bytes.sliced(3);
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const bool little = bytes.startsWith("\xFF\xFE");
        QStringDecoder decode(little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        const QString unicode = decode(bytes.sliced(2));
        if (decode.hasError()) {
            result.error =
                QStringLiteral("فايل UTF-16 خراب است؛ آن را با کدگذاري UTF-8 ذخيره کنيد.");
            result.errorLine = 1;
            return false;
        }
        converted = unicode.toUtf8();
        text = converted;
        result.notices << QStringLiteral("فايل UTF-16 بود و به UTF-8 تبديل شد.");
    }
    if (const void *nul =
            text.isEmpty() ? nullptr : std::memchr(text.data(), 0, size_t(text.size()))) {
        const qsizetype at = static_cast<const char *>(nul) - text.data();
        result.error = QStringLiteral("اين فايل متن نيست (بايت صفر دارد). فايل vCard (.vcf) "
                                      "يا CSV را بدهيد.");
        result.errorLine = lineOf(text, at);
        return false;
    }
    return true;
}

bool TextInput::isUtf8(QByteArrayView bytes)
{
    // A piece at a time, each ending between characters, so that checking
    // costs no copy of the whole file.
    constexpr qsizetype kPiece = 64 * 1024;
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype end = std::min(at + kPiece, bytes.size());
        for (int back = 0; back < 3 && end < bytes.size() && (uchar(bytes[end]) & 0xC0) == 0x80;
             ++back)
            --end;
        QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString piece = decode(bytes.sliced(at, end - at));
        Q_UNUSED(piece);
        if (decode.hasError())
            return false;
        at = end;
    }
    return true;
}

qsizetype TextInput::lineOf(QByteArrayView bytes, qsizetype offset)
{
    const QByteArrayView head = bytes.first(std::min(offset, bytes.size()));
    const char sep = bytes.contains('\n') ? '\n' : '\r';
    return head.count(sep) + 1;
}
