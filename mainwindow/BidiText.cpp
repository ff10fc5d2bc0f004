#include "mainwindow/BidiText.h"

#include <QChar>
#include <QList>
#include <QStringBuilder>

namespace {

constexpr char16_t kLri = u'\u2066';
constexpr char16_t kPdi = u'\u2069';

bool startsRun(char32_t c)
{
    const QChar::Direction d = QChar::direction(c);
    return d == QChar::DirL || d == QChar::DirEN || d == QChar::DirAN;
}

bool breaksRun(char32_t c)
{
    const QChar::Direction d = QChar::direction(c);
    return d == QChar::DirR || d == QChar::DirAL || d == QChar::DirB || BidiText::isControl(c);
}

QString controlCode(char32_t c)
{
    return kLri % QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper() % kPdi;
}

} // namespace

bool BidiText::isControl(char32_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

QString BidiText::isolated(QStringView line)
{
    const QList<uint> chars = line.toUcs4();
    const qsizetype n = chars.size();
    QString out;
    out.reserve(line.size() + 16);
    qsizetype i = 0;
    while (i < n) {
        const char32_t c = chars[i];
        if (isControl(c)) {
            out += controlCode(c);
            ++i;
            continue;
        }
        if (!startsRun(c)) {
            out += QString::fromUcs4(&c, 1);
            ++i;
            continue;
        }
        // A run goes on over spaces and separators only up to its last
        // left-to-right character before a right-to-left one.
        qsizetype end = i + 1;
        for (qsizetype j = i + 1; j < n && !breaksRun(chars[j]); ++j)
            if (startsRun(chars[j]))
                end = j + 1;
        // A sign written before a number belongs to it.
        if ((out.endsWith(u'+') || out.endsWith(u'(')) && QChar::direction(c) == QChar::DirEN) {
            const QChar sign = out.back();
            out.chop(1);
            out += kLri;
            out += sign;
        } else {
            out += kLri;
        }
        out +=
            QString::fromUcs4(reinterpret_cast<const char32_t *>(chars.constData() + i), end - i);
        out += kPdi;
        i = end;
    }
    return out;
}
