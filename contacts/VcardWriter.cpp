#include "VcardWriter.h"

#include "FieldText.h"

namespace {

class Card
{
public:
    Card(const ContactRecord &r, qint64 n, QByteArray &out, QList<ExportWarning> &warnings)
        : m_record(r), m_n(n), m_out(out), m_warnings(warnings)
    {
    }

    QByteArrayView field(ContactRecord::Field f) const
    {
        return FieldText::unpadded(m_record.fieldBytes(f));
    }

    // A text value: \ , ; and newline escaped; other controls are not text in vCard.
    void escaped(ContactRecord::Field f)
    {
        for (const char c : field(f)) {
            switch (c) {
            case '\\':
                m_line += "\\\\";
                break;
            case ',':
                m_line += "\\,";
                break;
            case ';':
                m_line += "\\;";
                break;
            case '\n':
                m_line += "\\n";
                break;
            default:
                if (uchar(c) < 0x20 && c != '\t') {
                    m_line += FieldText::replacement();
                    m_warnings.append({m_n, f, uchar(c)});
                } else {
                    m_line += FieldText::utf8(uchar(c));
                }
            }
        }
    }

    void begin(const char *head)
    {
        m_line.clear();
        m_line += head;
    }
    void end() { VcardWriter::appendFolded(m_out, m_line); }
    QByteArray &line() { return m_line; }

private:
    const ContactRecord &m_record;
    qint64 m_n;
    QByteArray &m_out;
    QList<ExportWarning> &m_warnings;
    QByteArray m_line;
};

} // namespace

void VcardWriter::appendFolded(QByteArray &out, QByteArrayView line)
{
    if (line.size() <= FoldAt) {
        out += line;
        out += "\r\n";
        return;
    }
    qsizetype pos = 0;
    qsizetype room = FoldAt;
    while (pos < line.size()) {
        qsizetype end = std::min(pos + room, line.size());
        // Never between the bytes of one UTF-8 character.
        while (end < line.size() && end > pos + 1 && (uchar(line[end]) & 0xC0) == 0x80)
            --end;
        if (pos > 0)
            out += ' ';
        out += line.sliced(pos, end - pos);
        out += "\r\n";
        pos = end;
        room = FoldAt - 1; // the leading space counts
    }
}

void VcardWriter::write(const ContactRecord &record, qint64 n, Version version, QByteArray &out,
                        QList<ExportWarning> &warnings)
{
    Card card(record, n, out, warnings);
    out += version == V4 ? "BEGIN:VCARD\r\nVERSION:4.0\r\n" : "BEGIN:VCARD\r\nVERSION:3.0\r\n";

    const bool hasName = !card.field(ContactRecord::Name).isEmpty();
    const bool hasFamily = !card.field(ContactRecord::Family).isEmpty();
    // FN is required even when empty.
    card.begin("FN:");
    card.escaped(ContactRecord::Name);
    if (hasName && hasFamily)
        card.line() += ' ';
    card.escaped(ContactRecord::Family);
    card.end();
    // 3.0 requires N as well; 4.0 leaves an empty one out.
    if (hasName || hasFamily || version == V3) {
        card.begin("N:");
        card.escaped(ContactRecord::Family);
        card.line() += ';';
        card.escaped(ContactRecord::Name);
        card.line() += ";;;";
        card.end();
    }
    if (!card.field(ContactRecord::Phone).isEmpty()) {
        card.begin("TEL;TYPE=voice:");
        card.escaped(ContactRecord::Phone);
        card.end();
    }
    if (!card.field(ContactRecord::Mobile).isEmpty()) {
        card.begin("TEL;TYPE=cell:");
        card.escaped(ContactRecord::Mobile);
        card.end();
    }
    if (!card.field(ContactRecord::Address).isEmpty()) {
        card.begin("ADR:;;");
        card.escaped(ContactRecord::Address);
        card.line() += ";;;;";
        card.end();
    }
    out += "X-HALVEX-ID:";
    out += QByteArray::number(record.ID());
    out += "\r\nEND:VCARD\r\n";
}
