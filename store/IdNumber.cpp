#include "store/IdNumber.h"

IdNumber::Result IdNumber::parse(QStringView text, qint16 &value)
{
    QString s;
    s.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x06F0 && u <= 0x06F9)
            s.append(QChar(u'0' + (u - 0x06F0)));
        else if (u >= 0x0660 && u <= 0x0669)
            s.append(QChar(u'0' + (u - 0x0660)));
        else if (u == 0x066B) // Arabic decimal separator
            s.append(u'.');
        else if (u == 0x2212) // minus sign
            s.append(u'-');
        else
            s.append(c);
    }
    s = s.trimmed();
    if (s.isEmpty())
        return Empty;

    qsizetype i = 0;
    bool negative = false;
    if (s[0] == u'+' || s[0] == u'-') {
        negative = s[0] == u'-';
        ++i;
    }
    QString whole, fraction;
    bool seenPoint = false;
    for (; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'.' && !seenPoint) {
            seenPoint = true;
        } else if (c >= u'0' && c <= u'9') {
            (seenPoint ? fraction : whole).append(c);
        } else {
            return NotANumber;
        }
    }
    if (whole.isEmpty() && fraction.isEmpty())
        return NotANumber;

    while (whole.size() > 1 && whole[0] == u'0')
        whole.remove(0, 1);
    if (whole.size() > 6)
        return OutOfRange;
    qint32 magnitude = whole.isEmpty() ? 0 : whole.toInt();

    if (!fraction.isEmpty()) {
        const int first = fraction[0].unicode() - u'0';
        bool restZero = true;
        for (qsizetype k = 1; k < fraction.size(); ++k)
            restZero = restZero && fraction[k] == u'0';
        if (first > 5 || (first == 5 && !restZero) || (first == 5 && (magnitude & 1)))
            ++magnitude;
    }

    const qint32 v = negative ? -magnitude : magnitude;
    if (v < -32768 || v > 32767)
        return OutOfRange;
    value = qint16(v);
    return Ok;
}

QString IdNumber::message(Result r)
{
    switch (r) {
    case Ok:
        return {};
    case Empty:
        return QStringLiteral("شماره شناسايي خالي است. يک عدد بين -32768 و 32767 وارد کنيد.");
    case NotANumber:
        return QStringLiteral("شماره شناسايي بايد عدد باشد (بين -32768 و 32767).");
    case OutOfRange:
        return QStringLiteral("شماره شناسايي بايد بين -32768 و 32767 باشد.");
    }
    return {};
}
