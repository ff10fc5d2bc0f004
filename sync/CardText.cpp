#include "sync/CardText.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "contacts/ContactImport.h"
#include "contacts/RecordBuilder.h"
#include "contacts/TextLines.h"
#include "contacts/VcardProperty.h"

namespace {

// One content line as it stood (its folds, soft breaks and line ending
// included), and its parts once unfolded.
struct Line
{
    QByteArray raw;
    qsizetype number = 0; // of its first physical line, counted from 1
    QByteArray ending;    // of its last physical line: kept for a rewritten line
    QByteArray head;      // group.NAME;params
    QByteArray name;      // upper case, without the group
    QByteArray params;    // from the first ';'
    QByteArray value;     // as written: escaped, and encoded when the head says so
    bool qp = false;
    bool b64 = false;     // base64 as the reader takes it: the rewritten line drops it
    bool uri = false;     // VALUE=uri: a number written as tel:...
    bool foreign = false; // a charset other than UTF-8
    bool edited = false;
    bool dropped = false;
};

qsizetype colonOf(QByteArrayView line)
{
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (!quoted && line[i] == ':')
            return i;
    }
    return -1;
}

void split(Line &l, const QByteArray &unfolded)
{
    const qsizetype colon = colonOf(unfolded);
    if (colon < 0)
        return; // no property: a blank line, or text the reader refuses
    l.head = unfolded.first(colon);
    l.value = unfolded.sliced(colon + 1);
    QByteArrayView name = l.head;
    if (const qsizetype semi = name.indexOf(';'); semi >= 0) {
        l.params = l.head.sliced(semi);
        name = name.first(semi);
    }
    if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0)
        name = name.sliced(dot + 1);
    l.name = name.trimmed().toByteArray().toUpper();
    VcardProperty prop;
    QString why;
    if (!VcardProperty::parse(unfolded, prop, why))
        return;
    l.qp = prop.quotedPrintable();
    l.b64 = prop.base64();
    l.uri = prop.uri;
    l.foreign = !prop.charset.isEmpty() && !vcardtext::same(prop.charset, "UTF-8") &&
                !vcardtext::same(prop.charset, "UTF8");
}

// How the reader continues a line that begins with first: quoted-printable
// soft breaks, or 2.1's unindented base64 up to a blank line.
void continuation(QByteArrayView first, bool &qp, bool &b64)
{
    VcardProperty prop;
    QString why;
    if (VcardProperty::parse(first, prop, why)) {
        qp = prop.quotedPrintable();
        b64 = prop.base64();
        return;
    }
    const qsizetype colon = first.indexOf(':');
    const QByteArray head = (colon < 0 ? first : first.first(colon)).toByteArray().toUpper();
    qp = head.contains(';') && head.contains("QUOTED-PRINTABLE");
    b64 = head.contains(';') && head.contains("BASE64");
}

// Content lines joined as the import's reader joins them: folds, quoted-
// printable soft breaks and 2.1's base64. Every byte of the card is in one raw.
std::vector<Line> linesOf(const QByteArray &card)
{
    std::vector<Line> out;
    QList<QByteArray> unfolded;
    bool qp = false, b64 = false, inBase64 = false;
    const char sep = TextLines::separatorOf(card); // as the reader counts lines
    qsizetype number = 0;
    for (qsizetype at = 0; at < card.size();) {
        qsizetype end = card.indexOf(sep, at);
        end = end < 0 ? card.size() : end + 1;
        const QByteArray physical = card.sliced(at, end - at);
        at = end;
        ++number;
        QByteArray text = physical;
        const qsizetype bare = text.endsWith("\r\n") ? 2 : text.endsWith(sep) ? 1 : 0;
        const QByteArray ending = text.right(bare);
        text.chop(bare);
        const bool open = !out.empty() && !unfolded.back().trimmed().isEmpty();
        const bool blank = text.trimmed().isEmpty();
        if (open && !inBase64 && qp && unfolded.back().endsWith('=')) {
            unfolded.back().chop(1);
            unfolded.back() += text;
        } else if (open && !inBase64 && (text.startsWith(' ') || text.startsWith('\t'))) {
            unfolded.back() += text.sliced(1);
        } else if (open && b64 && !text.contains(':')) {
            inBase64 = !blank; // the blank line ends it, and is part of it
            b64 = !blank;
            unfolded.back() += text.trimmed();
        } else {
            out.push_back({});
            out.back().number = number;
            unfolded.append(text);
            inBase64 = false;
            continuation(text, qp, b64);
            if (blank)
                qp = b64 = false;
        }
        out.back().raw += physical;
        out.back().ending = ending;
    }
    for (size_t i = 0; i < out.size(); ++i)
        split(out[i], unfolded[qsizetype(i)]);
    return out;
}

QByteArray toQp(QByteArrayView in)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const uchar c = uchar(in[i]);
        if ((c > ' ' && c < 0x7f && c != '=') || (c == ' ' && i + 1 < in.size()))
            out += char(c);
        else
            out += '=' + QByteArray(1, kHex[c >> 4]) + kHex[c & 15];
    }
    return out;
}

// Components at unescaped ';'.
QList<QByteArray> components(const QByteArray &value)
{
    QList<QByteArray> out{QByteArray()};
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            out.back() += value.sliced(i, 2);
            ++i;
        } else if (value[i] == ';') {
            out.append(QByteArray());
        } else {
            out.back() += value[i];
        }
    }
    return out;
}

// The parameters as they were, but for the charset (the new text is UTF-8) and
// base64 (the new text is written plain).
QByteArray paramsFor(const QByteArray &params, bool b64)
{
    QByteArray out;
    bool quoted = false;
    qsizetype from = 1;
    for (qsizetype i = 1; i <= params.size(); ++i) {
        if (i < params.size() && params[i] == '"')
            quoted = !quoted;
        if (i < params.size() && (quoted || params[i] != ';'))
            continue;
        const QByteArray seg = params.sliced(from, i - from);
        const QByteArray word = seg.trimmed().toUpper();
        if (word.startsWith("CHARSET="))
            out += ";CHARSET=UTF-8";
        else if (!b64 || (word != "BASE64" && word != "B" && !word.startsWith("ENCODING=")))
            out += ';' + seg;
        from = i + 1;
    }
    return out;
}

// Folds at 75 octets, never inside a UTF-8 character. A quoted-printable
// line is left whole: a fold there could be taken for a soft break. The first
// piece keeps the name, parameters and colon (colon is where it stands): a
// line without one after 2.1's base64 would be read as more of its data.
QByteArray folded(const QByteArray &line, qsizetype colon, bool qp, const QByteArray &ending)
{
    if (qp)
        return line;
    QByteArray out;
    qsizetype from = 0;
    qsizetype room = std::max<qsizetype>(VcardWriter::FoldAt, colon + 1);
    while (line.size() - from > room) {
        qsizetype cut = from + room;
        const qsizetype least = from == 0 ? colon + 1 : from + 1;
        while (cut > least && (uchar(line[cut]) & 0xC0) == 0x80)
            --cut;
        out += line.sliced(from, cut - from) + ending + ' ';
        from = cut;
        room = VcardWriter::FoldAt - 1;
    }
    return out + line.sliced(from);
}

bool differs(const ContactRecord &a, const ContactRecord &b, ContactRecord::Field f)
{
    return a.fieldBytes(f) != b.fieldBytes(f);
}

} // namespace

bool CardText::read(const QByteArray &card, qint16 proposedId, CardContact &out, QString &why)
{
    if (card.size() > MaxCard) {
        why = QStringLiteral("کارت بیش از %1 مگابایت است").arg(MaxCard / (1024 * 1024));
        return false;
    }
    bool taken = false;
    const ReadResult r =
        ContactImport::read(card, ContactImport::Vcard, [&](const ContactDraft &draft) {
            if (taken)
                return;
            taken = true;
            out.notes = draft.notes;
            out.record = RecordBuilder::build(draft, proposedId, out.notes);
            out.hasId = draft.id.has_value() && !draft.id->isEmpty();
            out.phone = draft.phone.toString();
            out.mobile = draft.mobile.toString();
            out.phoneLine = draft.phoneLine;
            out.mobileLine = draft.mobileLine;
            // The only number, a mobile one given as the telephone, went to the
            // mobile: an edit of the mobile finds it on its own line.
            if (out.mobile.isEmpty() &&
                out.record.fieldBytes(ContactRecord::Phone).count(' ') ==
                    ContactRecord::width(ContactRecord::Phone) &&
                out.record.fieldBytes(ContactRecord::Mobile).count(' ') !=
                    ContactRecord::width(ContactRecord::Mobile)) {
                std::swap(out.phone, out.mobile);
                std::swap(out.phoneLine, out.mobileLine);
            }
            out.label = (draft.name.toString() + u' ' + draft.family.toString()).trimmed();
        });
    if (!r.ok() || !taken) {
        why = r.ok() ? QStringLiteral("کارتي در آن نيست") : r.error;
        return false;
    }
    return true;
}

VcardWriter::Version CardText::versionOf(const QByteArray &card)
{
    for (const Line &l : linesOf(card))
        if (l.name == "VERSION")
            return l.value.trimmed() == "4.0" ? VcardWriter::V4 : VcardWriter::V3;
    return VcardWriter::V3;
}

QByteArray CardText::create(const ContactRecord &record, VcardWriter::Version version,
                            const QByteArray &uid)
{
    QByteArray card;
    QList<ExportWarning> lost; // control characters; the record keeps them
    VcardWriter::write(record, 1, version, card, lost);
    // UID is required by CardDAV; it goes right after VERSION.
    const qsizetype at = card.indexOf("\r\n", card.indexOf("VERSION:")) + 2;
    card.insert(at, "UID:" + uid + "\r\n");
    return card;
}

namespace {

// The card's lines, rewritten in place: each field goes back to the line it
// was read from, in that line's own form.
class Editor
{
public:
    Editor(const QByteArray &card, const ContactRecord &now) : m_lines(linesOf(card))
    {
        // Only the first card is the contact; anything after it stays as it is.
        bool ended = false;
        for (Line &l : m_lines) {
            if (ended)
                l.name.clear();
            ended = ended || l.name == "END";
            if (l.name == "VERSION" && m_version.isEmpty())
                m_version = l.value.trimmed();
        }
        QList<ExportWarning> lost;
        QByteArray written;
        VcardWriter::write(now, 1, m_version == "4.0" ? VcardWriter::V4 : VcardWriter::V3, written,
                           lost);
        m_fresh = linesOf(written);
    }

    const Line *fresh(QByteArrayView name, QByteArrayView type = {}) const
    {
        for (const Line &l : m_fresh)
            if (l.name == name && (type.isEmpty() || l.params.contains(type)))
                return &l;
        return nullptr;
    }
    Line *first(QByteArrayView name)
    {
        for (Line &l : m_lines)
            if (l.name == name && !l.dropped)
                return &l;
        return nullptr;
    }
    // The TEL line the reader took a number from: the one beginning there.
    Line *tel(qsizetype number)
    {
        for (Line &l : m_lines)
            if (l.number == number && l.name == "TEL" && !l.dropped && !l.edited)
                return &l;
        return nullptr;
    }

    // Sets at's value to with's (drops it when with is null); adds with when
    // the card had no such line.
    void put(Line *at, const Line *with)
    {
        if (at && !with) {
            at->dropped = true;
            m_changed = true;
        } else if (at) {
            set(*at, with->value);
        } else if (with) {
            m_added.push_back(*with);
            m_changed = true;
        }
    }
    void set(Line &l, const QByteArray &text)
    {
        l.value = l.qp ? toQp(text) : text;
        l.params = paramsFor(l.params, l.b64);
        l.edited = true;
        m_changed = true;
    }
    void name(const Line *fn, const Line *n);
    void phone(qsizetype line, const Line *with);
    void stamp(const QDateTime &when);
    QByteArray text() const;
    bool changed() const { return m_changed; }

private:
    std::vector<Line> m_lines;
    std::vector<Line> m_fresh;
    std::vector<Line> m_added;
    QByteArray m_version;
    bool m_changed = false;
};

void Editor::name(const Line *fn, const Line *n)
{
    put(first("FN"), fn);
    Line *old = first("N");
    if (!old || !n) {
        put(old, n);
        return;
    }
    // N keeps its other components: middle names, prefixes, suffixes; but in
    // another charset than UTF-8 they could not stay as they are.
    if (old->foreign) {
        set(*old, n->value);
        return;
    }
    QList<QByteArray> parts = components(old->qp    ? vcardtext::fromQuotedPrintable(old->value)
                                         : old->b64 ? QByteArray::fromBase64(old->value)
                                                    : old->value);
    const QList<QByteArray> mine = components(n->value);
    while (parts.size() < 2)
        parts.append(QByteArray());
    parts[0] = mine.value(0);
    parts[1] = mine.value(1);
    set(*old, parts.join(';'));
}

void Editor::phone(qsizetype line, const Line *with)
{
    Line *at = tel(line);
    if (!at || !with) {
        put(at, with);
        return;
    }
    // A number written as a URI stays one.
    QByteArray number = with->value;
    if (number.toLower().startsWith("tel:"))
        number = number.sliced(4);
    set(*at, at->uri ? "tel:" + number : number);
}

// Other clients see an edit by its REV: one the card had is set, and 4.0,
// where REV is how a card says when it changed, gets one.
void Editor::stamp(const QDateTime &when)
{
    const QByteArray rev = when.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")).toLatin1();
    if (Line *l = first("REV")) {
        l->params.clear(); // a VALUE=date or the like no longer holds
        set(*l, rev);
    } else if (m_version == "4.0") {
        Line l;
        l.head = "REV";
        l.value = rev;
        m_added.push_back(l);
    }
}

QByteArray Editor::text() const
{
    QByteArray out;
    for (const Line &l : m_lines) {
        if (l.dropped)
            continue;
        const QByteArray ending = l.ending.isEmpty() ? QByteArray("\r\n") : l.ending;
        if (l.name == "END")
            for (const Line &a : m_added)
                out += folded(a.head + ':' + a.value, a.head.size(), false, ending) + ending;
        if (!l.edited) {
            out += l.raw;
            continue;
        }
        QByteArray head = l.head;
        if (const qsizetype semi = head.indexOf(';'); semi >= 0)
            head.truncate(semi);
        out +=
            folded(head + l.params + ':' + l.value, head.size() + l.params.size(), l.qp, ending) +
            l.ending;
    }
    return out;
}

} // namespace

QByteArray CardText::edit(const QByteArray &card, const CardContact &took,
                          const ContactRecord &base, const ContactRecord &now,
                          const QDateTime &when)
{
    Editor e(card, now);
    if (differs(base, now, ContactRecord::Name) || differs(base, now, ContactRecord::Family))
        e.name(e.fresh("FN"), e.fresh("N"));
    if (differs(base, now, ContactRecord::Phone))
        e.phone(took.phoneLine, e.fresh("TEL", "voice"));
    if (differs(base, now, ContactRecord::Mobile))
        e.phone(took.mobileLine, e.fresh("TEL", "cell"));
    if (differs(base, now, ContactRecord::Address))
        e.put(e.first("ADR"), e.fresh("ADR"));
    if (base.ID() != now.ID())
        e.put(e.first("X-HALVEX-ID"), e.fresh("X-HALVEX-ID"));
    if (!e.changed())
        return card;
    e.stamp(when);
    return e.text();
}
