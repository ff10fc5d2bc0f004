#include "sync/CardText.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "contacts/ContactImport.h"
#include "contacts/RecordBuilder.h"
#include "contacts/VcardProperty.h"
#include "sync/CardLine.h"

namespace {

using Line = CardLine;
using namespace cardline;

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
    for (const Line &l : CardLine::linesOf(card))
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
    Editor(const QByteArray &card, const ContactRecord &now) : m_lines(CardLine::linesOf(card))
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
        m_fresh = CardLine::linesOf(written);
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
