#include "contacts/PhoneNumber.h"

#include "store/ContactRecord.h"
#include "store/Cp1256Codec.h"

namespace {

const QString kCellSeparator = QStringLiteral(":::");

bool isSeparator(char16_t c)
{
    switch (c) {
    case u'-':
    case u'.':
    case u'(':
    case u')':
    case u'/':
    case 0x00A0: // no-break space
    case 0x061C: // Arabic letter mark
    case 0x200E:
    case 0x200F:
    case 0x2010: // the dashes a word processor puts for -
    case 0x2011:
    case 0x2012:
    case 0x2013:
    case 0x2212:
        return true;
    default:
        return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || QChar::isSpace(c);
    }
}

int digitOf(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= 0x06F0 && c <= 0x06F9) // Persian
        return c - 0x06F0;
    if (c >= 0x0660 && c <= 0x0669) // Arabic-Indic
        return c - 0x0660;
    return -1;
}

bool allDigits(QStringView s)
{
    for (const QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return !s.isEmpty();
}

// 0, a two-digit area code, and an eight-digit subscriber number; 09 is mobile.
bool isIranianLandline(QStringView digits)
{
    return digits.size() == 11 && digits[0] == u'0' && digits[1] != u'0' && digits[1] != u'9' &&
           allDigits(digits);
}

} // namespace

int PhoneNumber::width(Field field)
{
    return ContactRecord::width(field == Field::Telephone ? ContactRecord::Phone
                                                          : ContactRecord::Mobile);
}

bool PhoneNumber::isIranianMobile(QStringView digits)
{
    return digits.size() == 11 && digits.startsWith(u"09") && allDigits(digits);
}

QString PhoneNumber::cleaned(QStringView raw)
{
    QString out;
    out.reserve(raw.size());
    for (const QChar ch : raw) {
        const char16_t c = ch.unicode();
        if (const int d = digitOf(c); d >= 0)
            out += QChar(u'0' + d);
        else if (c == u'+' && out.isEmpty())
            out += QChar(u'+');
        else if (!isSeparator(c))
            return {};
    }
    return out.size() > (out.startsWith(u'+') ? 1 : 0) ? out : QString();
}

PhoneNumber::Fit PhoneNumber::fit(QStringView raw, Field field)
{
    Fit r;
    const int most = width(field);
    // A number that fits as written is stored as written, as the add page would
    // store it: an export and import give the same bytes again, even of a
    // number whose text holds the separator below.
    if (raw.size() <= 2 * most && Cp1256Codec::encode(raw).size() <= most) {
        r.number = raw.toString();
        r.fits = true;
        return r;
    }
    // A Google cell holds several numbers of one kind: the first is the field's.
    QStringView first = raw;
    if (first.contains(kCellSeparator)) {
        const QList<QStringView> pieces = first.split(kCellSeparator);
        first = {};
        for (const QStringView p : pieces) {
            const QStringView t = p.trimmed();
            if (t.isEmpty())
                continue;
            if (first.isEmpty())
                first = t;
            else
                r.notKept << t.toString();
        }
    }

    QString n = cleaned(first);
    if (n.isEmpty()) {
        // Not a number as phones write them: kept as it is, cut if it must be.
        r.number = first.toString();
        r.fits = Cp1256Codec::encode(r.number).size() <= most;
        return r;
    }
    QStringView rest;
    if (n.startsWith(u"+98"))
        rest = QStringView(n).sliced(3);
    else if (n.startsWith(u"0098"))
        rest = QStringView(n).sliced(4);
    if (!rest.isEmpty() && allDigits(rest)) {
        // "+98 (0)21 ..." already has its 0.
        n = rest.startsWith(u'0') ? rest.toString() : u'0' + rest.toString();
        r.national = true;
    }
    if (field == Field::Telephone && n.size() > most && isIranianLandline(n)) {
        r.areaCodeSetAside = n.first(3);
        n = n.sliced(3);
    }
    r.number = n;
    r.fits = n.size() <= most;
    return r;
}
