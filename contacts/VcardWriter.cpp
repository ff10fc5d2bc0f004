#include "VcardWriter.h"

#include <cstring>

#include "FieldText.h"

namespace {

class Card
{
public:
    // A field's escaped text, made once for the two lines that hold the name.
    struct Text
    {
        char bytes[3 * 20 + 1];
        qsizetype size = 0;
    };

    Card(const ContactRecord &r, qint64 n, QList<ExportWarning> &warnings)
        : m_record(r), m_n(n), m_warnings(warnings), m_table(FieldText::vcardText())
    {
    }

    QByteArrayView field(ContactRecord::Field f) const
    {
        return FieldText::unpadded(m_record.fieldBytes(f));
    }

    void begin(QByteArrayView head)
    {
        m_p = m_line;
        append(head);
    }
    void append(QByteArrayView bytes)
    {
        std::memcpy(m_p, bytes.data(), size_t(bytes.size()));
        m_p += bytes.size();
    }
    void append(const Text &text) { append(QByteArrayView(text.bytes, text.size)); }

    // A text value: \ , ; and newline escaped; other controls are not text in vCard.
    char *escape(ContactRecord::Field f, char *out)
    {
        const QByteArrayView v = field(f);
        uchar marks = 0;
        out = FieldText::put(out, v, m_table, marks);
        if (marks & FieldText::Lost)
            for (const char c : v)
                if (m_table[uchar(c)].size & FieldText::Lost)
                    m_warnings.append({m_n, f, uchar(c)});
        return out;
    }
    void escaped(ContactRecord::Field f) { m_p = escape(f, m_p); }
    void escape(ContactRecord::Field f, Text &text)
    {
        text.size = escape(f, text.bytes) - text.bytes;
    }

    // The line, folded, at out.
    char *end(char *out) const
    {
        const qsizetype size = m_p - m_line;
        if (size <= VcardWriter::FoldAt) {
            std::memcpy(out, m_line, size_t(size));
            out += size;
            *out++ = '\r';
            *out++ = '\n';
            return out;
        }
        return VcardWriter::fold(out, QByteArrayView(m_line, size));
    }

private:
    const ContactRecord &m_record;
    qint64 m_n;
    QList<ExportWarning> &m_warnings;
    const FieldText::Table &m_table;
    char m_line[VcardWriter::MaxCard / 2];
    char *m_p = m_line;
};

} // namespace

char *VcardWriter::fold(char *out, QByteArrayView line)
{
    qsizetype pos = 0;
    qsizetype room = FoldAt;
    while (pos < line.size()) {
        qsizetype end = std::min(pos + room, line.size());
        // Never between the bytes of one UTF-8 character.
        while (end < line.size() && end > pos + 1 && (uchar(line[end]) & 0xC0) == 0x80)
            --end;
        if (pos > 0)
            *out++ = ' ';
        std::memcpy(out, line.data() + pos, size_t(end - pos));
        out += end - pos;
        *out++ = '\r';
        *out++ = '\n';
        pos = end;
        room = FoldAt - 1; // the leading space counts
    }
    return out;
}

void VcardWriter::appendFolded(QByteArray &out, QByteArrayView line)
{
    const qsizetype start = out.size();
    out.resize(start + line.size() + 3 * (line.size() / (FoldAt - 1) + 1));
    char *end = fold(out.data() + start, line);
    out.resize(end - out.constData());
}

char *VcardWriter::write(const ContactRecord &record, qint64 n, Version version, char *p,
                         QList<ExportWarning> &warnings)
{
    const auto put = [&p](QByteArrayView s) {
        std::memcpy(p, s.data(), size_t(s.size()));
        p += s.size();
    };

    Card card(record, n, warnings);
    put(version == V4 ? QByteArrayView("BEGIN:VCARD\r\nVERSION:4.0\r\n")
                      : QByteArrayView("BEGIN:VCARD\r\nVERSION:3.0\r\n"));
    Card::Text name, family;
    card.escape(ContactRecord::Name, name);
    card.escape(ContactRecord::Family, family);
    // FN is required even when empty.
    card.begin("FN:");
    card.append(name);
    if (name.size && family.size)
        card.append(" ");
    card.append(family);
    p = card.end(p);
    // 3.0 requires N as well; 4.0 leaves an empty one out.
    if (name.size || family.size || version == V3) {
        card.begin("N:");
        card.append(family);
        card.append(";");
        card.append(name);
        card.append(";;;");
        p = card.end(p);
    }
    if (!card.field(ContactRecord::Phone).isEmpty()) {
        card.begin("TEL;TYPE=voice:");
        card.escaped(ContactRecord::Phone);
        p = card.end(p);
    }
    if (!card.field(ContactRecord::Mobile).isEmpty()) {
        card.begin("TEL;TYPE=cell:");
        card.escaped(ContactRecord::Mobile);
        p = card.end(p);
    }
    if (!card.field(ContactRecord::Address).isEmpty()) {
        card.begin("ADR:;;");
        card.escaped(ContactRecord::Address);
        card.append(";;;;");
        p = card.end(p);
    }
    put("X-HALVEX-ID:");
    p = FieldText::putNumber(p, record.ID());
    put("\r\nEND:VCARD\r\n");
    return p;
}

void VcardWriter::write(const ContactRecord &record, qint64 n, Version version, QByteArray &out,
                        QList<ExportWarning> &warnings)
{
    const qsizetype start = out.size();
    out.resize(start + MaxCard);
    out.resize(write(record, n, version, out.data() + start, warnings) - out.constData());
}
