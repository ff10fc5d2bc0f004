#include "VcardReader.h"

#include <QList>
#include <QStringDecoder>

#include "Cp1256Codec.h"
#include "TextInput.h"
#include "TextLines.h"

namespace {

struct Param
{
    QByteArray name; // upper case
    QList<QByteArray> values;
};

struct Property
{
    qsizetype line = 0;
    QByteArray group; // upper case, empty when none
    QByteArray name;  // upper case
    QList<Param> params;
    QByteArray value; // as written, still encoded and escaped

    const Param *param(QByteArrayView key) const
    {
        for (const Param &p : params)
            if (p.name == key)
                return &p;
        return nullptr;
    }
    // Any value of a TYPE parameter, lists and letter case included.
    bool hasType(QByteArrayView type) const
    {
        for (const Param &p : params) {
            if (p.name != "TYPE")
                continue;
            for (const QByteArray &v : p.values)
                for (const QByteArray &t : v.split(','))
                    if (t.trimmed().compare(type, Qt::CaseInsensitive) == 0)
                        return true;
        }
        return false;
    }
};

struct Failure
{
    qsizetype line;
    QString message;
};

bool isNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

QByteArray unquote(QByteArrayView v)
{
    QByteArray s = v.trimmed().toByteArray();
    if (s.size() >= 2 && s.startsWith('"') && s.endsWith('"'))
        s = s.mid(1, s.size() - 2);
    if (!s.contains('^'))
        return s;
    // Parameter escapes of RFC 6868.
    QByteArray out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == '^' && i + 1 < s.size()) {
            const char n = s[i + 1];
            if (n == 'n' || n == 'N') {
                out += '\n';
                ++i;
                continue;
            }
            if (n == '^' || n == '\'') {
                out += n == '^' ? '^' : '"';
                ++i;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

Param parseParam(QByteArrayView seg)
{
    Param p;
    const qsizetype eq = seg.indexOf('=');
    if (eq < 0) {
        // vCard 2.1 writes bare values: TEL;CELL;VOICE, ADR;QUOTED-PRINTABLE.
        const QByteArray bare = seg.trimmed().toByteArray().toUpper();
        static const QList<QByteArray> encodings = {"QUOTED-PRINTABLE", "BASE64", "B", "8BIT",
                                                    "7BIT"};
        p.name = encodings.contains(bare) ? QByteArray("ENCODING") : QByteArray("TYPE");
        p.values << bare;
        return p;
    }
    p.name = seg.first(eq).trimmed().toByteArray().toUpper();
    const QByteArrayView rest = seg.sliced(eq + 1);
    qsizetype start = 0;
    bool quoted = false;
    for (qsizetype i = 0; i <= rest.size(); ++i) {
        if (i < rest.size() && rest[i] == '"')
            quoted = !quoted;
        if (i == rest.size() || (!quoted && rest[i] == ',')) {
            p.values << unquote(rest.sliced(start, i - start));
            start = i + 1;
        }
    }
    return p;
}

// Splits "group.NAME;params:value". False when the line is no property.
bool parseProperty(QByteArrayView line, Property &prop, QString &why)
{
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n && line[i] != ';' && line[i] != ':')
        ++i;
    const QByteArrayView full = line.first(i);
    if (i == n) {
        why = QStringLiteral("اين خط ويژگي vCard نيست (به شکل NAME:مقدار نيست).");
        return false;
    }
    bool good = !full.isEmpty() && full.back() != '.';
    for (const char c : full)
        good = good && isNameChar(c);
    if (!good) {
        why = QStringLiteral("نام ويژگي «%1» درست نيست.")
                  .arg(QString::fromUtf8(full.first(std::min<qsizetype>(full.size(), 40))));
        return false;
    }
    const qsizetype dot = full.lastIndexOf('.');
    prop.group = dot < 0 ? QByteArray() : full.first(dot).toByteArray().toUpper();
    prop.name = full.sliced(dot + 1).toByteArray().toUpper();
    while (i < n && line[i] == ';') {
        const qsizetype start = ++i;
        bool quoted = false;
        for (; i < n; ++i) {
            const char c = line[i];
            if (c == '"')
                quoted = !quoted;
            else if (!quoted && (c == ';' || c == ':'))
                break;
        }
        const QByteArrayView seg = line.sliced(start, i - start);
        if (!seg.trimmed().isEmpty())
            prop.params << parseParam(seg);
    }
    if (i >= n) {
        why = QStringLiteral("ويژگي %1 «:» ندارد (شايد يک «\"» بسته نشده است).")
                  .arg(QString::fromLatin1(prop.name));
        return false;
    }
    prop.value = line.sliced(i + 1).toByteArray();
    return true;
}

bool headSays(QByteArrayView line, QByteArrayView word)
{
    const qsizetype colon = line.indexOf(':');
    const QByteArrayView head = colon < 0 ? line : line.first(colon);
    return QByteArray(head.data(), head.size()).toUpper().contains(word);
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

// A card's properties, read back into the fields of a contact.
class CardReader
{
public:
    CardReader(const QList<Property> &props, ContactDraft &draft) : m_props(props), m_draft(draft)
    {
        for (const Property &p : props) {
            if (p.name == "VERSION") {
                m_v21 = p.value.trimmed() == "2.1";
                break;
            }
        }
    }

    void run()
    {
        collectLabels();
        const Property *nProp = nullptr;
        const Property *fnProp = nullptr;
        const Property *adrProp = nullptr;
        const Property *labelProp = nullptr;
        QList<QByteArray> dropped;
        for (const Property &p : m_props) {
            const QByteArray &name = p.name;
            if (name == "N" && !nProp) {
                nProp = &p;
            } else if (name == "FN" && !fnProp) {
                fnProp = &p;
            } else if (name == "TEL") {
                takePhone(p);
            } else if (name == "ADR") {
                if (!adrProp) {
                    adrProp = &p;
                } else if (!p.value.trimmed().isEmpty()) {
                    const QString extra = joinAddress(p);
                    if (!extra.isEmpty())
                        note(QStringLiteral("ADR"),
                             QStringLiteral("نشاني ديگر «%1» ذخيره نشد: فقط يک نشاني جا دارد.")
                                 .arg(extra));
                }
            } else if (name == "LABEL") {
                if (!labelProp)
                    labelProp = &p;
            } else if (name == "X-HALVEX-ID") {
                if (!m_draft.id)
                    m_draft.id = text(p);
            } else if (isSilent(name)) {
                continue;
            } else if (!p.value.trimmed().isEmpty() && !dropped.contains(name)) {
                dropped << name;
            }
        }
        takeName(nProp, fnProp);
        takeAddress(adrProp, labelProp);
        if (!dropped.isEmpty()) {
            QStringList names;
            for (const QByteArray &d : dropped)
                names << QString::fromLatin1(d);
            note(names.join(QStringLiteral(", ")),
                 QStringLiteral("در فايل داده جايي ندارد و ذخيره نشد."));
        }
    }

private:
    static bool isSilent(const QByteArray &name)
    {
        // Bookkeeping of the writing program, not the person.
        static const QList<QByteArray> silent = {"VERSION", "PRODID", "REV",          "UID",
                                                 "KIND",    "BEGIN",  "CLIENTPIDMAP", "X-ABLABEL"};
        return silent.contains(name);
    }

    void note(const QString &where, const QString &what) { m_draft.notes.append({where, what}); }

    void collectLabels()
    {
        for (const Property &p : m_props)
            if (p.name == "X-ABLABEL" && !p.group.isEmpty())
                m_labels.append({p.group, p.value.toLower()});
    }
    bool labelSaysMobile(const Property &p) const
    {
        if (p.group.isEmpty())
            return false;
        for (const auto &[group, label] : m_labels)
            if (group == p.group &&
                (label.contains("mobile") || label.contains("cell") || label.contains("iphone")))
                return true;
        return false;
    }

    QByteArray rawBytes(const Property &p)
    {
        const Param *enc = p.param("ENCODING");
        const QByteArray kind = enc && !enc->values.isEmpty() ? enc->values.first().toUpper() : "";
        if (kind == "QUOTED-PRINTABLE")
            return fromQuotedPrintable(p.value);
        if (kind == "B" || kind == "BASE64") {
            auto decoded = QByteArray::fromBase64Encoding(p.value.trimmed());
            if (decoded)
                return *decoded;
            note(QString::fromLatin1(p.name),
                 QStringLiteral("مقدار base64 خراب است؛ همان طور که نوشته شده خوانده شد."));
        }
        return p.value;
    }

    // The value as Unicode, before any unescaping.
    QString decoded(const Property &p)
    {
        const QByteArray bytes = rawBytes(p);
        const Param *cs = p.param("CHARSET");
        const QByteArray charset = cs && !cs->values.isEmpty() ? cs->values.first().toUpper() : "";
        if (charset.isEmpty() || charset == "UTF-8" || charset == "UTF8")
            return QString::fromUtf8(bytes);
        if (charset == "WINDOWS-1256" || charset == "CP1256")
            return Cp1256Codec::decode(bytes);
        if (charset == "US-ASCII" || charset == "ISO-8859-1" || charset == "LATIN1")
            return QString::fromLatin1(bytes);
        QStringDecoder named(charset.constData());
        if (named.isValid())
            return named(bytes);
        note(QString::fromLatin1(p.name),
             QStringLiteral("کدگذاري %1 شناخته نيست؛ مقدار به صورت UTF-8 خوانده شد.")
                 .arg(QString::fromLatin1(charset)));
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

    QString text(const Property &p) { return unescape(decoded(p)); }

    // Components split at unescaped ';', each a list split at unescaped ','.
    QList<QStringList> structured(const Property &p)
    {
        const QString s = decoded(p);
        QList<QStringList> comps(1);
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
                comps.last() << cur;
                cur.clear();
                comps.append(QStringList());
            } else if (c == u',' && !m_v21) {
                comps.last() << cur;
                cur.clear();
            } else {
                cur += c;
            }
        }
        comps.last() << cur;
        return comps;
    }

    static QString joined(const QStringList &values, const QString &sep)
    {
        QStringList kept;
        for (const QString &v : values)
            if (!v.isEmpty())
                kept << v;
        return kept.join(sep);
    }

    void takeName(const Property *n, const Property *fn)
    {
        if (n) {
            const QList<QStringList> c = structured(*n);
            m_draft.family = joined(c.value(0), QStringLiteral(" "));
            m_draft.name = joined(c.value(1), QStringLiteral(" "));
            const QString parts[] = {QStringLiteral("نام مياني"), QStringLiteral("پيشوند"),
                                     QStringLiteral("پسوند")};
            for (int k = 2; k < 5; ++k) {
                const QString extra = joined(c.value(k), QStringLiteral(" "));
                if (!extra.isEmpty())
                    note(QStringLiteral("N"),
                         QStringLiteral("%1 «%2» ذخيره نشد.").arg(parts[k - 2], extra));
            }
        }
        if (fn && m_draft.name.isEmpty() && m_draft.family.isEmpty()) {
            // No usable N: the formatted name, family after its last space.
            const QString full = text(*fn);
            const qsizetype space = full.lastIndexOf(u' ');
            if (space < 0) {
                m_draft.name = full;
            } else {
                m_draft.name = full.left(space);
                m_draft.family = full.mid(space + 1);
            }
        }
    }

    void takePhone(const Property &p)
    {
        QString number = text(p);
        if (number.startsWith(QStringLiteral("tel:"), Qt::CaseInsensitive))
            number.remove(0, 4);
        if (number.isEmpty())
            return;
        const bool cell =
            p.hasType("CELL") || p.hasType("MOBILE") || p.hasType("IPHONE") || labelSaysMobile(p);
        QString &slot = cell ? m_draft.mobile : m_draft.phone;
        if (slot.isEmpty()) {
            slot = number;
            return;
        }
        note(QStringLiteral("TEL"),
             cell ? QStringLiteral("شماره موبايل ديگر «%1» ذخيره نشد: فقط يک شماره موبايل جا دارد.")
                        .arg(number)
                  : QStringLiteral("شماره تلفن ديگر «%1» ذخيره نشد: فقط يک شماره تلفن جا دارد.")
                        .arg(number));
    }

    QString joinAddress(const Property &p)
    {
        QStringList parts;
        for (const QStringList &comp : structured(p)) {
            const QString v = joined(comp, QStringLiteral(", "));
            if (!v.isEmpty())
                parts << v;
        }
        return parts.join(QStringLiteral(", "));
    }

    void takeAddress(const Property *adr, const Property *label)
    {
        if (adr) {
            m_draft.address = joinAddress(*adr);
            if (m_draft.address.isEmpty()) {
                if (const Param *l = adr->param("LABEL"); l && !l->values.isEmpty())
                    m_draft.address = unescape(QString::fromUtf8(l->values.join(',')));
            }
        }
        if (m_draft.address.isEmpty() && label)
            m_draft.address = text(*label);
    }

    const QList<Property> &m_props;
    ContactDraft &m_draft;
    bool m_v21 = false;
    QList<std::pair<QByteArray, QByteArray>> m_labels;
};

} // namespace

bool VcardReader::looksLikeVcard(QByteArrayView text)
{
    TextLines lines(text);
    while (!lines.atEnd()) {
        const QByteArrayView line = lines.next().trimmed();
        if (line.isEmpty())
            continue;
        return line.size() == 11 && QByteArray(line.data(), line.size()).toUpper() == "BEGIN:VCARD";
    }
    return false;
}

ReadResult VcardReader::read(QByteArrayView text)
{
    ReadResult result;
    const auto fail = [&result](qsizetype line, const QString &message) {
        result.error = message;
        result.errorLine = line;
        result.contacts.clear();
        return result;
    };
    const QString tooLong = QStringLiteral("خط بيش از %1 مگابايت است؛ اين فايل vCard درستي نيست.")
                                .arg(TextInput::MaxLine / (1024 * 1024));

    TextLines lines(text);
    bool inCard = false;
    qsizetype cardLine = 0;
    QList<Property> props;
    QByteArray logical;
    while (!lines.atEnd()) {
        const qsizetype lineNo = lines.nextNumber();
        const QByteArrayView first = lines.next();
        if (first.size() > TextInput::MaxLine)
            return fail(lineNo, tooLong);
        if (first.trimmed().isEmpty())
            continue;
        logical = first.toByteArray();
        const bool qp = headSays(first, "QUOTED-PRINTABLE");
        while (!lines.atEnd()) {
            const QByteArrayView next = lines.peek();
            if (qp && logical.endsWith('=')) {
                // A soft line break of quoted-printable.
                logical.chop(1);
                logical += next;
            } else if (!next.isEmpty() && (next[0] == ' ' || next[0] == '\t')) {
                logical += next.sliced(1);
            } else {
                break;
            }
            lines.next();
            if (logical.size() > TextInput::MaxLine)
                return fail(lineNo, tooLong);
        }
        if (headSays(first, "BASE64")) {
            // vCard 2.1 may run base64 data over unindented lines up to a blank one.
            while (!lines.atEnd()) {
                const QByteArrayView next = lines.peek();
                if (next.trimmed().isEmpty()) {
                    lines.next();
                    break;
                }
                if (next.contains(':'))
                    break;
                logical += next.trimmed();
                lines.next();
                if (logical.size() > TextInput::MaxLine)
                    return fail(lineNo, tooLong);
            }
        }

        Property prop;
        QString why;
        if (!parseProperty(logical, prop, why))
            return fail(lineNo, why);
        prop.line = lineNo;
        if (prop.name == "BEGIN") {
            const QByteArray what = prop.value.trimmed().toUpper();
            if (what != "VCARD")
                return fail(lineNo, QStringLiteral("BEGIN:%1 پشتيباني نمي شود؛ فقط BEGIN:VCARD.")
                                        .arg(QString::fromUtf8(what.left(40))));
            if (inCard)
                return fail(lineNo, QStringLiteral("BEGIN:VCARD درون کارتي که از خط %1 شروع شده "
                                                   "است؛ END:VCARD آن کارت جا افتاده است.")
                                        .arg(cardLine));
            inCard = true;
            cardLine = lineNo;
            props.clear();
            continue;
        }
        if (prop.name == "END") {
            const QByteArray what = prop.value.trimmed().toUpper();
            if (!inCard)
                return fail(lineNo, QStringLiteral("END:%1 بدون BEGIN:VCARD پيش از آن.")
                                        .arg(QString::fromUtf8(what.left(40))));
            if (what != "VCARD")
                return fail(lineNo, QStringLiteral("END:%1 کارت خط %2 را نمي بندد؛ END:VCARD "
                                                   "لازم است.")
                                        .arg(QString::fromUtf8(what.left(40)))
                                        .arg(cardLine));
            ContactDraft draft;
            draft.line = cardLine;
            draft.index = int(result.contacts.size()) + 1;
            CardReader(props, draft).run();
            result.contacts.push_back(std::move(draft));
            inCard = false;
            continue;
        }
        if (!inCard)
            return fail(lineNo, QStringLiteral("اين خط بيرون از کارت است (پيش از BEGIN:VCARD)."));
        props.append(std::move(prop));
    }
    if (inCard)
        return fail(cardLine, QStringLiteral("کارتي که از خط %1 شروع شده هرگز بسته نشده است "
                                             "(END:VCARD ندارد).")
                                  .arg(cardLine));
    return result;
}
