#include "sync/CardText.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "contacts/ContactImport.h"
#include "contacts/RecordBuilder.h"

namespace {

// One content line: its text as it stood (folds included) and its parts.
struct Line
{
    QByteArray raw;
    QByteArray head; // group.NAME;params
    QByteArray name; // upper case, without the group
    QByteArray value;
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
    l.head = colon < 0 ? unfolded : unfolded.first(colon);
    l.value = colon < 0 ? QByteArray() : unfolded.sliced(colon + 1);
    QByteArrayView name = l.head;
    if (const qsizetype semi = name.indexOf(';'); semi >= 0)
        name = name.first(semi);
    if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0)
        name = name.sliced(dot + 1);
    l.name = name.toByteArray().toUpper();
}

std::vector<Line> linesOf(const QByteArray &card)
{
    std::vector<Line> out;
    QList<QByteArray> unfolded;
    for (QByteArray physical : card.split('\n')) {
        if (physical.endsWith('\r'))
            physical.chop(1);
        if (!out.empty() && (physical.startsWith(' ') || physical.startsWith('\t'))) {
            out.back().raw += "\r\n" + physical;
            unfolded.back() += physical.sliced(1);
        } else if (!physical.trimmed().isEmpty()) {
            out.push_back({physical, {}, {}, {}});
            unfolded.append(physical);
        }
    }
    for (size_t i = 0; i < out.size(); ++i)
        split(out[i], unfolded[qsizetype(i)]);
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

QString unescaped(const QByteArray &value)
{
    QString s = QString::fromUtf8(value);
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'\\' && i + 1 < s.size()) {
            const QChar c = s[++i];
            out += (c == u'n' || c == u'N') ? QChar(u'\n') : c;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool isUri(const Line &l)
{
    return l.head.toUpper().contains(";VALUE=URI");
}

// The number a TEL line holds, as the reader would take it.
bool holds(const Line &l, const QString &number)
{
    if (number.isEmpty())
        return false;
    const QString v = unescaped(l.value).trimmed();
    if (v == number)
        return true;
    return v.startsWith(QStringLiteral("tel:"), Qt::CaseInsensitive) && v.mid(4) == number;
}

// Folds at 75 octets, never inside a UTF-8 character.
QByteArray folded(const QByteArray &line)
{
    QByteArray out;
    qsizetype from = 0;
    qsizetype room = VcardWriter::FoldAt;
    while (line.size() - from > room) {
        qsizetype cut = from + room;
        while (cut > from + 1 && (uchar(line[cut]) & 0xC0) == 0x80)
            --cut;
        out += line.sliced(from, cut - from) + "\r\n ";
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
            // The only number, a mobile one given as the telephone, went to the
            // mobile: an edit of the mobile finds it on its own line.
            if (out.mobile.isEmpty() &&
                out.record.fieldBytes(ContactRecord::Phone).count(' ') ==
                    ContactRecord::width(ContactRecord::Phone) &&
                out.record.fieldBytes(ContactRecord::Mobile).count(' ') !=
                    ContactRecord::width(ContactRecord::Mobile))
                std::swap(out.phone, out.mobile);
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

QByteArray CardText::edit(const QByteArray &card, const CardContact &took,
                          const ContactRecord &base, const ContactRecord &now)
{
    std::vector<Line> lines = linesOf(card);
    QList<ExportWarning> lost;
    QByteArray written;
    VcardWriter::write(now, 1, versionOf(card), written, lost);
    const std::vector<Line> fresh = linesOf(written);
    const auto freshLine = [&fresh](QByteArrayView name, QByteArrayView type = {}) {
        for (const Line &l : fresh)
            if (l.name == name && (type.isEmpty() || l.head.contains(type)))
                return std::optional<Line>(l);
        return std::optional<Line>();
    };
    std::vector<Line> added;
    // Sets the value of the first line that matches, adds the new line when
    // none does, and drops the old one when the new record has none.
    const auto replace = [&](const std::function<bool(const Line &)> &matches,
                             const std::optional<Line> &with, bool keepUri = false) {
        for (Line &l : lines) {
            if (l.dropped || !matches(l))
                continue;
            if (!with) {
                l.dropped = true;
            } else {
                l.value = keepUri && isUri(l) ? "tel:" + with->value : with->value;
                l.edited = true;
            }
            return;
        }
        if (with)
            added.push_back(*with);
    };
    const auto named = [](QByteArrayView name) {
        return [name](const Line &l) { return l.name == name; };
    };

    if (differs(base, now, ContactRecord::Name) || differs(base, now, ContactRecord::Family)) {
        replace(named("FN"), freshLine("FN"));
        // N keeps its other components: middle names, prefixes, suffixes.
        const std::optional<Line> n = freshLine("N");
        for (Line &l : lines) {
            if (l.name != "N" || !n)
                continue;
            QList<QByteArray> old = components(l.value);
            const QList<QByteArray> mine = components(n->value);
            while (old.size() < 2)
                old.append(QByteArray());
            old[0] = mine.value(0);
            old[1] = mine.value(1);
            l.value = old.join(';');
            l.edited = true;
            break;
        }
        if (n && std::none_of(lines.begin(), lines.end(), named("N")))
            added.push_back(*n);
    }
    if (differs(base, now, ContactRecord::Phone))
        replace([&](const Line &l) { return l.name == "TEL" && holds(l, took.phone); },
                freshLine("TEL", "voice"), true);
    if (differs(base, now, ContactRecord::Mobile))
        replace([&](const Line &l) { return l.name == "TEL" && holds(l, took.mobile); },
                freshLine("TEL", "cell"), true);
    if (differs(base, now, ContactRecord::Address))
        replace(named("ADR"), freshLine("ADR"));
    if (base.ID() != now.ID())
        replace(named("X-HALVEX-ID"), freshLine("X-HALVEX-ID"));

    QByteArray out;
    for (const Line &l : lines) {
        if (l.dropped)
            continue;
        if (l.name == "END")
            for (const Line &a : added)
                out += a.raw + "\r\n";
        out += (l.edited ? folded(l.head + ':' + l.value) : l.raw) + "\r\n";
    }
    return out;
}
