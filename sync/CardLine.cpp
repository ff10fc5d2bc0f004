#include "sync/CardLine.h"

#include "contacts/TextLines.h"
#include "contacts/VcardProperty.h"
#include "contacts/VcardWriter.h"

namespace {

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

void split(CardLine &l, const QByteArray &unfolded)
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

} // namespace

std::vector<CardLine> CardLine::linesOf(const QByteArray &card)
{
    std::vector<CardLine> out;
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

namespace cardline {

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

} // namespace cardline
