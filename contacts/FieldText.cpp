#include "contacts/FieldText.h"

#include "store/Cp1256Codec.h"

namespace {

FieldText::Table plainTable()
{
    FieldText::Table t{};
    for (int b = 0; b < 256; ++b) {
        const QByteArray u = QString(Cp1256Codec::decodeByte(uchar(b))).toUtf8();
        for (qsizetype k = 0; k < u.size(); ++k)
            t[b].bytes[k] = u[k];
        t[b].size = uchar(u.size());
    }
    return t;
}

void set(FieldText::Out &o, const char *bytes, uchar size)
{
    std::memcpy(o.bytes, bytes, 3);
    o.size = size;
}

FieldText::Table withPersianYeh(FieldText::Table t)
{
    for (int b = 0; b < 256; ++b)
        if (Cp1256Codec::decodeByte(uchar(b)) == QChar(0x064A))
            set(t[b], "\xDB\x8C\0", 2); // U+06CC
    return t;
}

FieldText::Table vcardTable()
{
    FieldText::Table v = plainTable();
    for (int b = 0; b < 0x20; ++b)
        if (b != '\t')
            set(v[b], "\xEF\xBF\xBD", 3 | FieldText::Lost);
    set(v['\\'], "\\\\\0", 2);
    set(v[','], "\\,\0", 2);
    set(v[';'], "\\;\0", 2);
    set(v['\n'], "\\n\0", 2);
    return v;
}

FieldText::Table csvTable()
{
    FieldText::Table c = plainTable();
    set(c[0], "\xEF\xBF\xBD", 3 | FieldText::Lost);
    set(c['"'], "\"\"\0", 2 | FieldText::Quote);
    c[','].size |= FieldText::Quote;
    c['\r'].size |= FieldText::Quote;
    c['\n'].size |= FieldText::Quote;
    return c;
}

} // namespace

const FieldText::Table &FieldText::utf8()
{
    static const Table t = plainTable();
    return t;
}

const FieldText::Table &FieldText::vcardText(Yeh yeh)
{
    static const Table stored = vcardTable();
    static const Table persian = withPersianYeh(stored);
    return yeh == Yeh::Persian ? persian : stored;
}

const FieldText::Table &FieldText::csvText(Yeh yeh)
{
    static const Table stored = csvTable();
    static const Table persian = withPersianYeh(stored);
    return yeh == Yeh::Persian ? persian : stored;
}

char *FieldText::putNumber(char *p, int n)
{
    unsigned u = n < 0 ? 0u - unsigned(n) : unsigned(n);
    if (n < 0)
        *p++ = '-';
    char digits[10];
    int k = 0;
    do {
        digits[k++] = char('0' + u % 10);
        u /= 10;
    } while (u);
    while (k)
        *p++ = digits[--k];
    return p;
}
