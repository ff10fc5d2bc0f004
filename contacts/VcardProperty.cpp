#include "contacts/VcardProperty.h"

#include <array>

using namespace vcardtext;
using Kind = VcardProperty::Kind;

namespace {

// What a character is to a property's name: letters, digits, '-' and '_'
// make it up, '.' ends its group, ';' and ':' end it; anything else is wrong.
enum NameClass : uchar
{
    Bad,
    Letter,
    Dot,
    Stop
};
const std::array<uchar, 256> kNameClass = [] {
    std::array<uchar, 256> t{};
    for (int c = 0; c < 256; ++c) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_')
            t[c] = Letter;
        else if (c == '.')
            t[c] = Dot;
        else if (c == ';' || c == ':')
            t[c] = Stop;
    }
    return t;
}();

// Up to eight characters of a name, upper case, as one number to compare.
constexpr quint64 key(QByteArrayView name)
{
    quint64 k = 0;
    for (qsizetype i = 0; i < name.size() && i < 8; ++i)
        k |= quint64(uchar(upper(name[i]))) << (8 * i);
    return k;
}

// The kind of a name from its key (names of up to eight characters) or itself.
Kind kindOf(QByteArrayView name, quint64 nameKey)
{
    if (name.size() > 8) {
        if (same(name, "X-HALVEX-ID"))
            return Kind::HalvexId;
        if (same(name, "X-ABLABEL"))
            return Kind::AbLabel;
        return same(name, "CLIENTPIDMAP") ? Kind::Silent : Kind::Other;
    }
    switch (nameKey) {
    case key("N"):
        return Kind::N;
    case key("FN"):
        return Kind::FN;
    case key("TEL"):
        return Kind::Tel;
    case key("ADR"):
        return Kind::Adr;
    case key("BEGIN"):
        return Kind::Begin;
    case key("END"):
        return Kind::End;
    case key("VERSION"):
        return Kind::Version;
    case key("LABEL"):
        return Kind::Label;
    case key("PRODID"):
    case key("REV"):
    case key("UID"):
    case key("KIND"):
        return Kind::Silent;
    default:
        return Kind::Other;
    }
}

// What a TEL's TYPE words make it: a mobile when one says so, else a voice
// number unless a word names another device and none says voice.
struct TelTypes
{
    bool cell = false;
    bool voice = false;
    PhoneChoice::Kind other = PhoneChoice::Voice;

    void add(QByteArrayView t)
    {
        if (same(t, "CELL") || same(t, "MOBILE") || same(t, "IPHONE"))
            cell = true;
        else if (same(t, "VOICE"))
            voice = true;
        else if (other == PhoneChoice::Voice && same(t, "FAX"))
            other = PhoneChoice::Fax;
        else if (other == PhoneChoice::Voice && same(t, "PAGER"))
            other = PhoneChoice::Pager;
        else if (other == PhoneChoice::Voice && same(t, "TEXTPHONE"))
            other = PhoneChoice::Textphone;
    }
    PhoneChoice::Kind kind() const
    {
        return cell ? PhoneChoice::Mobile : voice ? PhoneChoice::Voice : other;
    }
};

void readParams(VcardProperty &prop)
{
    prop.encoding = {};
    prop.charset = {};
    prop.tel = PhoneChoice::Voice;
    prop.uri = false;
    if (prop.params.isEmpty())
        return;
    TelTypes types;
    // The common ";TYPE=word" of a telephone, without the general walk.
    if (prop.params.size() > 6 && same(prop.params.first(6), ";TYPE=")) {
        const QByteArrayView word = prop.params.sliced(6);
        bool simple = true;
        for (const char c : word)
            simple = simple && c != ';' && c != ',' && c != '"' && c != ' ' && c != '=';
        if (simple) {
            types.add(word);
            prop.tel = types.kind();
            return;
        }
    }
    bool encoding = false, charset = false;
    VcardProperty::forEachParam(prop.params, [&](QByteArrayView k, QByteArrayView v) {
        if (!encoding && same(k, "ENCODING")) {
            prop.encoding = v;
            encoding = true;
        } else if (!charset && same(k, "CHARSET")) {
            prop.charset = v;
            charset = true;
        } else if (same(k, "VALUE")) {
            prop.uri = same(v, "URI");
        } else if (same(k, "TYPE")) {
            qsizetype from = 0;
            for (qsizetype i = 0; i <= v.size(); ++i) {
                if (i == v.size() || v[i] == ',') {
                    types.add(stripped(v.sliced(from, i - from)));
                    from = i + 1;
                }
            }
        }
    });
    prop.tel = types.kind();
}

} // namespace

bool VcardProperty::parse(QByteArrayView line, VcardProperty &prop, QString &why)
{
    // One pass over the name: its group ends at the last '.', and its first
    // eight characters make the key its kind is found by.
    const char *const begin = line.data();
    const char *const end = begin + line.size();
    const char *p = begin;
    const char *name = begin;
    quint64 nameKey = 0;
    int length = 0;
    uchar cls = Bad;
    for (; p < end; ++p) {
        cls = kNameClass[uchar(*p)];
        if (cls == Letter) {
            if (length < 8)
                nameKey |= quint64(uchar(upper(*p))) << (8 * length);
            ++length;
        } else if (cls == Dot) {
            name = p + 1;
            nameKey = 0;
            length = 0;
        } else {
            break;
        }
    }
    if (p == end) {
        why = QStringLiteral("اين خط ويژگي vCard نيست (به شکل NAME:مقدار نيست).");
        return false;
    }
    if (cls != Stop || length == 0) {
        const char *stop = p;
        while (stop < end && *stop != ';' && *stop != ':')
            ++stop;
        why = QStringLiteral("نام ويژگي «%1» درست نيست.")
                  .arg(shown(QByteArrayView(begin, stop - begin)));
        return false;
    }
    prop.group = name == begin ? QByteArrayView() : QByteArrayView(begin, name - 1 - begin);
    prop.name = QByteArrayView(name, p - name);
    prop.kind = kindOf(prop.name, nameKey);
    const char *params = p;
    if (*p == ';') {
        bool quoted = false;
        for (; p < end; ++p) {
            if (*p == '"')
                quoted = !quoted;
            else if (!quoted && *p == ':')
                break;
        }
        if (p == end) {
            why = QStringLiteral("ويژگي %1 «:» ندارد (شايد يک «\"» بسته نشده است).")
                      .arg(shown(prop.name));
            return false;
        }
    }
    prop.params = QByteArrayView(params, p - params);
    prop.value = QByteArrayView(p + 1, end - p - 1);
    readParams(prop);
    return true;
}
