#include "VcardReader.h"

#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include <QList>
#include <QStringDecoder>
#include <QVarLengthArray>

#include "Cp1256Codec.h"
#include "PhoneChoice.h"
#include "TextInput.h"
#include "TextLines.h"

namespace {

// Names and parameter words are ASCII and matched without regard to case.
constexpr char upper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 32) : c;
}

bool same(QByteArrayView a, QByteArrayView upperCase)
{
    if (a.size() != upperCase.size())
        return false;
    if (std::memcmp(a.data(), upperCase.data(), size_t(a.size())) == 0)
        return true;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upperCase[i])
            return false;
    return true;
}

bool contains(QByteArrayView hay, QByteArrayView upperCase)
{
    for (qsizetype i = 0; i + upperCase.size() <= hay.size(); ++i)
        if (same(hay.sliced(i, upperCase.size()), upperCase))
            return true;
    return false;
}

// A piece of a bad line, short enough for a message.
QString shown(QByteArrayView v)
{
    return QString::fromUtf8(v.first(std::min<qsizetype>(v.size(), 40)));
}

bool has(QByteArrayView v, char c)
{
    return !v.isEmpty() && std::memchr(v.data(), c, size_t(v.size())) != nullptr;
}

// Without the spaces and tabs around it.
QByteArrayView stripped(QByteArrayView v)
{
    while (!v.isEmpty() && (v.front() == ' ' || v.front() == '\t'))
        v = v.sliced(1);
    while (!v.isEmpty() && (v.back() == ' ' || v.back() == '\t'))
        v.chop(1);
    return v;
}

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

bool isBlank(QByteArrayView line)
{
    for (const char c : line)
        if (c != ' ' && c != '\t')
            return false;
    return true;
}

enum class Kind
{
    Begin,
    End,
    Version,
    N,
    FN,
    Tel,
    Adr,
    Label,
    HalvexId,
    AbLabel,
    Silent, // bookkeeping of the writing program, not the person
    Other
};

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

// One content line; the views point into the input, or into owned when the
// line had to be unfolded.
struct Property
{
    qsizetype line = 0;
    Kind kind = Kind::Other;
    QByteArrayView group;
    QByteArrayView name;
    QByteArrayView params; // from the first ';' up to the ':'
    QByteArrayView value;
    QByteArray owned;
    // From the parameters, read once.
    QByteArrayView encoding;
    QByteArrayView charset;
    PhoneChoice::Kind tel = PhoneChoice::Voice; // of a TEL, from its TYPE words
    bool uri = false;                           // VALUE=uri: a number written as tel:...
};

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

bool isEncodingWord(QByteArrayView v)
{
    return same(v, "QUOTED-PRINTABLE") || same(v, "BASE64") || same(v, "B") || same(v, "8BIT") ||
           same(v, "7BIT");
}

// Calls f(key, value) for every parameter value, unquoted; vCard 2.1's bare
// values (TEL;CELL;VOICE) count as TYPE, or ENCODING for the encodings.
template <typename F> void forEachParam(QByteArrayView params, F f)
{
    qsizetype i = 0;
    const qsizetype n = params.size();
    while (i < n) {
        if (params[i] == ';') {
            ++i;
            continue;
        }
        const qsizetype start = i;
        bool quoted = false;
        for (; i < n; ++i) {
            if (params[i] == '"')
                quoted = !quoted;
            else if (!quoted && params[i] == ';')
                break;
        }
        const QByteArrayView seg = stripped(params.sliced(start, i - start));
        if (seg.isEmpty())
            continue;
        const qsizetype eq = seg.indexOf('=');
        if (eq < 0) {
            f(isEncodingWord(seg) ? QByteArrayView("ENCODING") : QByteArrayView("TYPE"), seg);
            continue;
        }
        const QByteArrayView key = stripped(seg.first(eq));
        const QByteArrayView rest = seg.sliced(eq + 1);
        qsizetype from = 0;
        bool inQuote = false;
        for (qsizetype k = 0; k <= rest.size(); ++k) {
            if (k < rest.size() && rest[k] == '"')
                inQuote = !inQuote;
            if (k == rest.size() || (!inQuote && rest[k] == ',')) {
                QByteArrayView v = stripped(rest.sliced(from, k - from));
                if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
                    v = v.sliced(1, v.size() - 2);
                f(key, v);
                from = k + 1;
            }
        }
    }
}

void readParams(Property &prop)
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
    forEachParam(prop.params, [&](QByteArrayView k, QByteArrayView v) {
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

bool isQuotedPrintable(QByteArrayView encoding)
{
    return same(encoding, "QUOTED-PRINTABLE");
}

bool isBase64(QByteArrayView encoding)
{
    return same(encoding, "BASE64") || same(encoding, "B");
}

// Splits "group.NAME;params:value" into views. False when the line is no property.
bool parseProperty(QByteArrayView line, Property &prop, QString &why)
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

bool isFold(QByteArrayView next)
{
    return !next.isEmpty() && (next[0] == ' ' || next[0] == '\t');
}

// Joins the lines that continue owned: folds, quoted-printable soft breaks, and
// the unindented base64 of vCard 2.1 up to a blank line. False when too long.
bool absorb(QByteArray &owned, QByteArrayView first, TextLines &lines, bool qp, bool b64)
{
    // Measured first, so the joined line is made once.
    qsizetype size = first.size();
    for (TextLines ahead = lines;
         !ahead.atEnd() && isFold(ahead.peek()) && size <= TextInput::MaxLine;)
        size += ahead.next().size();
    owned = QByteArray();
    owned.reserve(size);
    owned.append(first);
    while (!lines.atEnd()) {
        const QByteArrayView next = lines.peek();
        if (qp && owned.endsWith('=')) {
            owned.chop(1);
            owned += next;
        } else if (isFold(next)) {
            owned += next.sliced(1);
        } else {
            break;
        }
        lines.next();
        if (owned.size() > TextInput::MaxLine)
            return false;
    }
    while (b64 && !lines.atEnd()) {
        const QByteArrayView next = lines.peek();
        if (isBlank(next)) {
            lines.next();
            break;
        }
        if (has(next, ':'))
            break;
        owned += next.trimmed();
        lines.next();
        if (owned.size() > TextInput::MaxLine)
            return false;
    }
    return true;
}

// The head of a line names an encoding that changes how the line continues.
bool headSays(QByteArrayView line, QByteArrayView word)
{
    const qsizetype colon = line.indexOf(':');
    const QByteArrayView head = colon < 0 ? line : line.first(colon);
    return has(head, ';') && contains(head, word);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray fromQuotedPrintable(QByteArrayView in)
{
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '=' && i + 2 < in.size() && hexValue(in[i + 1]) >= 0 &&
            hexValue(in[i + 2]) >= 0) {
            out += char(hexValue(in[i + 1]) * 16 + hexValue(in[i + 2]));
            i += 2;
        } else {
            out += in[i];
        }
    }
    return out;
}

// A component of N or ADR: a view into the line, or text made from a list.
struct Piece
{
    QByteArrayView view;
    QString text;
    bool isView = true;

    bool isEmpty() const { return isView ? view.isEmpty() : text.isEmpty(); }
    QString toString() const { return isView ? QString::fromUtf8(view) : text; }
};
using Pieces = QVarLengthArray<Piece, 8>;

// A card's properties, read back into the fields of a contact as they come.
// Plain UTF-8 values stay views into the input; anything encoded, escaped or
// folded goes through QString.
class CardReader
{
public:
    explicit CardReader(ContactDraft &draft)
        : m_draft(draft), m_phones(draft, QStringLiteral("TEL"))
    {
    }

    // The version decides how values are escaped, so what comes before VERSION
    // waits for it.
    void take(const Property &p)
    {
        if (p.kind == Kind::Version) {
            m_v21 = stripped(p.value) == "2.1";
            m_versionSeen = true;
            flushWaiting();
            return;
        }
        if (m_versionSeen)
            use(p);
        else
            m_waiting.push_back(p);
    }

    void finish()
    {
        flushWaiting();
        // Labels of grouped numbers may follow them: these were kept till now.
        for (const Property &tel : m_tels)
            takePhone(tel);
        m_phones.finish();
        if (m_hasFn && m_draft.name.isEmpty() && m_draft.family.isEmpty())
            splitFormattedName();
        if (m_draft.address.isEmpty() && m_hasLabel)
            m_draft.address = m_label;
        if (!m_dropped.isEmpty())
            note(m_dropped.join(QStringLiteral(", ")),
                 QStringLiteral("در فايل داده جايي ندارد و ذخيره نشد."));
    }

private:
    void flushWaiting()
    {
        for (const Property &w : m_waiting)
            use(w);
        m_waiting.clear();
    }

    void use(const Property &p)
    {
        switch (p.kind) {
        case Kind::N:
            if (m_seenN)
                drop(p);
            else
                takeName(p);
            m_seenN = true;
            break;
        case Kind::FN:
            if (m_hasFn) {
                drop(p);
            } else {
                m_fn = text(p);
                m_hasFn = true;
            }
            break;
        case Kind::Tel:
            if (!p.group.isEmpty() || !m_tels.empty())
                m_tels.push_back(p); // keeps the order of the numbers
            else
                takePhone(p);
            break;
        case Kind::Adr:
            if (!m_seenAdr) {
                takeAddress(p);
                m_seenAdr = true;
            } else if (!isBlank(p.value)) {
                const QString extra = joinAddress(p).toString();
                if (!extra.isEmpty())
                    note(QStringLiteral("ADR"),
                         QStringLiteral("نشاني ديگر «%1» ذخيره نشد: فقط يک نشاني جا دارد.")
                             .arg(extra));
            }
            break;
        case Kind::Label:
            if (!m_hasLabel) {
                m_label = text(p);
                m_hasLabel = true;
            }
            break;
        case Kind::HalvexId:
            if (!m_draft.id)
                m_draft.id = text(p);
            break;
        case Kind::AbLabel:
            if (!p.group.isEmpty()) // copied: a folded line's buffer goes with the line
                m_labels.append({p.group.toByteArray(), p.value.toByteArray()});
            break;
        case Kind::Other:
            drop(p);
            break;
        default:
            break;
        }
    }

    void note(const QString &where, const QString &what) { m_draft.notes.append({where, what}); }

    void drop(const Property &p)
    {
        if (isBlank(p.value))
            return;
        const QString name = QString::fromLatin1(p.name).toUpper();
        if (!m_dropped.contains(name))
            m_dropped << name;
    }

    bool labelSaysMobile(const Property &tel) const
    {
        if (tel.group.isEmpty())
            return false;
        for (const auto &[group, label] : m_labels)
            if (group.size() == tel.group.size() &&
                same(group, QByteArray(tel.group.data(), tel.group.size()).toUpper()) &&
                (contains(label, "MOBILE") || contains(label, "CELL") || contains(label, "IPHONE")))
                return true;
        return false;
    }

    // UTF-8 with nothing to decode or unescape.
    bool plain(const Property &p) const
    {
        if (!p.encoding.isEmpty() || has(p.value, '\\'))
            return false;
        return p.charset.isEmpty() || same(p.charset, "UTF-8") || same(p.charset, "UTF8");
    }

    QByteArray rawBytes(const Property &p)
    {
        if (isQuotedPrintable(p.encoding))
            return fromQuotedPrintable(p.value);
        if (isBase64(p.encoding)) {
            auto decoded = QByteArray::fromBase64Encoding(p.value.trimmed().toByteArray());
            if (decoded)
                return *decoded;
            note(QString::fromLatin1(p.name).toUpper(),
                 QStringLiteral("مقدار base64 خراب است؛ همان طور که نوشته شده خوانده شد."));
        }
        return p.value.toByteArray();
    }

    // The value as Unicode, before any unescaping.
    QString decoded(const Property &p)
    {
        const QByteArray bytes = rawBytes(p);
        const QByteArrayView charset = p.charset;
        if (charset.isEmpty() || same(charset, "UTF-8") || same(charset, "UTF8"))
            return QString::fromUtf8(bytes);
        if (same(charset, "WINDOWS-1256") || same(charset, "CP1256"))
            return Cp1256Codec::decode(bytes);
        if (same(charset, "US-ASCII") || same(charset, "ISO-8859-1") || same(charset, "LATIN1"))
            return QString::fromLatin1(bytes);
        const QByteArray name = charset.toByteArray();
        QStringDecoder named(name.constData());
        if (named.isValid())
            return named(bytes);
        note(QString::fromLatin1(p.name).toUpper(),
             QStringLiteral("کدگذاري %1 شناخته نيست؛ مقدار به صورت UTF-8 خوانده شد.")
                 .arg(QString::fromLatin1(name.left(40))));
        return QString::fromUtf8(bytes);
    }

    // The character an escape stands for, or 0 when the backslash is literal.
    char16_t escaped(QChar c) const
    {
        switch (c.unicode()) {
        case u'\\':
        case u';':
        case u',':
            return c.unicode();
        case u'n':
        case u'N':
            return m_v21 ? 0 : u'\n';
        case u':':
            return m_v21 ? 0 : u':';
        default:
            return 0;
        }
    }

    QString unescape(QStringView s) const
    {
        if (!s.contains(u'\\'))
            return s.toString();
        QString out;
        out.reserve(s.size());
        for (qsizetype i = 0; i < s.size(); ++i) {
            if (s[i] == u'\\' && i + 1 < s.size()) {
                if (const char16_t e = escaped(s[i + 1])) {
                    out += QChar(e);
                    ++i;
                    continue;
                }
            }
            out += s[i];
        }
        return out;
    }

    DraftText text(const Property &p)
    {
        if (plain(p))
            return DraftText::utf8(p.value, p.owned);
        return unescape(decoded(p));
    }

    static QString joinNonEmpty(const QStringList &values, const QString &sep)
    {
        QStringList kept;
        for (const QString &v : values)
            if (!v.isEmpty())
                kept << v;
        return kept.join(sep);
    }

    // Components split at unescaped ';'; a component's list items (unescaped
    // ',', not in 2.1) are joined with sep.
    Pieces structured(const Property &p, const QString &sep)
    {
        Pieces out;
        if (plain(p)) {
            QByteArrayView rest = p.value;
            for (;;) {
                const auto *semi =
                    static_cast<const char *>(std::memchr(rest.data(), ';', size_t(rest.size())));
                const QByteArrayView comp = semi ? rest.first(semi - rest.data()) : rest;
                if (m_v21 || !has(comp, ',')) {
                    out.append(Piece{comp, {}, true});
                } else {
                    QStringList items;
                    for (const QByteArrayView item : comp.toByteArray().split(','))
                        items << QString::fromUtf8(item);
                    out.append(Piece{{}, joinNonEmpty(items, sep), false});
                }
                if (!semi)
                    break;
                rest = rest.sliced(semi - rest.data() + 1);
            }
            return out;
        }
        const QString s = decoded(p);
        QStringList items;
        QString cur;
        for (qsizetype i = 0; i < s.size(); ++i) {
            const QChar c = s[i];
            if (c == u'\\' && i + 1 < s.size()) {
                if (const char16_t e = escaped(s[i + 1])) {
                    cur += QChar(e);
                    ++i;
                    continue;
                }
            }
            if (c == u';') {
                items << cur;
                out.append(Piece{{}, joinNonEmpty(items, sep), false});
                items.clear();
                cur.clear();
            } else if (c == u',' && !m_v21) {
                items << cur;
                cur.clear();
            } else {
                cur += c;
            }
        }
        items << cur;
        out.append(Piece{{}, joinNonEmpty(items, sep), false});
        return out;
    }

    static DraftText draftOf(const Property &p, const Piece &piece)
    {
        return piece.isView ? DraftText::utf8(piece.view, p.owned) : DraftText(piece.text);
    }

    void takeName(const Property &n)
    {
        const Pieces c = structured(n, QStringLiteral(" "));
        if (!c.isEmpty())
            m_draft.family = draftOf(n, c[0]);
        if (c.size() > 1)
            m_draft.name = draftOf(n, c[1]);
        const QString parts[] = {QStringLiteral("نام مياني"), QStringLiteral("پيشوند"),
                                 QStringLiteral("پسوند")};
        for (int k = 2; k < 5 && k < c.size(); ++k)
            if (!c[k].isEmpty())
                note(QStringLiteral("N"),
                     QStringLiteral("%1 «%2» ذخيره نشد.").arg(parts[k - 2], c[k].toString()));
    }

    // No usable N: the formatted name, family after its last space.
    void splitFormattedName()
    {
        if (m_fn.isUtf8()) {
            const QByteArrayView v = m_fn.utf8View();
            const qsizetype space = v.lastIndexOf(' ');
            m_draft.name = m_fn.part(space < 0 ? v : v.first(space));
            m_draft.family = m_fn.part(space < 0 ? QByteArrayView() : v.sliced(space + 1));
            return;
        }
        const QString s = m_fn.toString();
        const qsizetype space = s.lastIndexOf(u' ');
        m_draft.name = space < 0 ? s : s.left(space);
        m_draft.family = space < 0 ? QString() : s.mid(space + 1);
    }

    void takePhone(const Property &p)
    {
        DraftText number = text(p);
        // Only a URI value is a tel: URI; as text, "tel:" is part of the number.
        if (p.uri && number.isUtf8()) {
            const QByteArrayView v = number.utf8View();
            if (v.size() >= 4 && same(v.first(4), "TEL:"))
                number = number.part(v.sliced(4));
        } else if (p.uri) {
            QString s = number.toString();
            if (s.startsWith(QStringLiteral("tel:"), Qt::CaseInsensitive))
                number = s.mid(4);
        }
        m_phones.add(std::move(number), labelSaysMobile(p) ? PhoneChoice::Mobile : p.tel);
    }

    DraftText joinAddress(const Property &p)
    {
        const Pieces comps = structured(p, QStringLiteral(", "));
        const Piece *only = nullptr;
        int filled = 0;
        for (const Piece &c : comps)
            if (!c.isEmpty() && filled++ == 0)
                only = &c;
        if (filled <= 1)
            return only ? draftOf(p, *only) : DraftText();
        QStringList parts;
        for (const Piece &c : comps)
            if (!c.isEmpty())
                parts << c.toString();
        return parts.join(QStringLiteral(", "));
    }

    void takeAddress(const Property &adr)
    {
        m_draft.address = joinAddress(adr);
        if (!m_draft.address.isEmpty())
            return;
        QByteArray label;
        forEachParam(adr.params, [&label](QByteArrayView k, QByteArrayView v) {
            if (same(k, "LABEL"))
                label += (label.isEmpty() ? "" : ",") + v.toByteArray();
        });
        if (!label.isEmpty())
            m_draft.address = unescape(QString::fromUtf8(label));
    }

    ContactDraft &m_draft;
    PhoneChoice m_phones;
    bool m_v21 = false;
    bool m_versionSeen = false;
    bool m_seenN = false;
    bool m_seenAdr = false;
    bool m_hasFn = false;
    bool m_hasLabel = false;
    DraftText m_fn;
    DraftText m_label;
    std::vector<Property> m_waiting;
    std::vector<Property> m_tels;
    QList<std::pair<QByteArray, QByteArray>> m_labels;
    QStringList m_dropped;
};

} // namespace

bool VcardReader::looksLikeVcard(QByteArrayView text)
{
    TextLines lines(text);
    while (!lines.atEnd()) {
        const QByteArrayView line = stripped(lines.next());
        if (line.isEmpty())
            continue;
        return same(line, "BEGIN:VCARD");
    }
    return false;
}

ReadResult VcardReader::read(QByteArrayView text, const DraftSink &take)
{
    ReadResult result;
    const auto fail = [&result](qsizetype line, const QString &message) {
        result.error = message;
        result.errorLine = line;
        return std::move(result);
    };
    const QString tooLong = QStringLiteral("خط بيش از %1 مگابايت است؛ اين فايل vCard درستي نيست.")
                                .arg(TextInput::MaxLine / (1024 * 1024));

    TextLines lines(text);
    bool inCard = false;
    qsizetype cardLine = 0;
    ContactDraft draft;
    std::optional<CardReader> card;
    Property prop; // every field is set anew for each line
    while (!lines.atEnd()) {
        const qsizetype lineNo = lines.nextNumber();
        const QByteArrayView first = lines.next();
        if (first.size() > TextInput::MaxLine)
            return fail(lineNo, tooLong);
        if (isBlank(first))
            continue;

        // Most lines stand alone; only a continued one is copied and joined.
        if (!prop.owned.isNull())
            prop.owned = QByteArray();
        QString why;
        const bool folded = !lines.atEnd() && isFold(lines.peek());
        const bool parsed = parseProperty(first, prop, why);
        if (!parsed && !folded)
            return fail(lineNo, why);
        const bool encoded = !parsed || !prop.encoding.isEmpty();
        const bool qp = encoded && (parsed ? isQuotedPrintable(prop.encoding)
                                           : headSays(first, "QUOTED-PRINTABLE"));
        const bool b64 = encoded && (parsed ? isBase64(prop.encoding) : headSays(first, "BASE64"));
        if (!lines.atEnd() &&
            (folded || (qp && first.endsWith('=')) || (b64 && !has(lines.peek(), ':')))) {
            if (!absorb(prop.owned, first, lines, qp, b64))
                return fail(lineNo, tooLong);
            if (!parseProperty(prop.owned, prop, why))
                return fail(lineNo, why);
        }
        prop.line = lineNo;
        if (prop.kind == Kind::Begin) {
            const QByteArrayView what = stripped(prop.value);
            if (!same(what, "VCARD"))
                return fail(
                    lineNo,
                    QStringLiteral("BEGIN:%1 پشتيباني نمي شود؛ فقط BEGIN:VCARD.").arg(shown(what)));
            if (inCard)
                return fail(lineNo, QStringLiteral("BEGIN:VCARD درون کارتي که از خط %1 شروع شده "
                                                   "است؛ END:VCARD آن کارت جا افتاده است.")
                                        .arg(cardLine));
            inCard = true;
            cardLine = lineNo;
            draft = ContactDraft();
            draft.line = lineNo;
            card.emplace(draft);
            continue;
        }
        if (prop.kind == Kind::End) {
            const QByteArrayView what = stripped(prop.value);
            if (!inCard)
                return fail(lineNo,
                            QStringLiteral("END:%1 بدون BEGIN:VCARD پيش از آن.").arg(shown(what)));
            if (!same(what, "VCARD"))
                return fail(lineNo,
                            QStringLiteral("END:%1 کارت خط %2 را نمي بندد؛ END:VCARD لازم است.")
                                .arg(shown(what))
                                .arg(cardLine));
            card->finish();
            card.reset();
            draft.index = ++result.contacts;
            take(draft);
            inCard = false;
            continue;
        }
        if (!inCard)
            return fail(lineNo, QStringLiteral("اين خط بيرون از کارت است (پيش از BEGIN:VCARD)."));
        card->take(prop);
    }
    if (inCard)
        return fail(cardLine, QStringLiteral("کارتي که از خط %1 شروع شده هرگز بسته نشده است "
                                             "(END:VCARD ندارد).")
                                  .arg(cardLine));
    return result;
}
