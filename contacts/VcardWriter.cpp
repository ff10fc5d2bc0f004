#include "contacts/VcardWriter.h"

#include <cstring>

#include "contacts/FieldText.h"

char *VcardWriter::fold(char *line, char *end)
{
    const qsizetype size = end - line;
    if (size <= FoldAt)
        return end;
    // Where the folds go, never between the bytes of one UTF-8 character.
    qsizetype cuts[MaxCard / (FoldAt - 1) + 1];
    int folds = 0;
    for (qsizetype pos = 0, room = FoldAt; size - pos > room; room = FoldAt - 1) {
        qsizetype cut = pos + room;
        while (cut > pos + 1 && (uchar(line[cut]) & 0xC0) == 0x80)
            --cut;
        cuts[folds++] = pos = cut;
    }
    // Each piece moves on by the folds before it, the last piece first.
    for (int i = folds - 1; i >= 0; --i) {
        const qsizetype to = i + 1 < folds ? cuts[i + 1] : size;
        std::memmove(line + cuts[i] + 3 * (i + 1), line + cuts[i], size_t(to - cuts[i]));
        std::memcpy(line + cuts[i] + 3 * i, "\r\n ", 3);
    }
    return end + 3 * folds;
}

char *VcardWriter::write(const ContactRecord &record, qint64 n, Version version, char *p,
                         QList<ExportWarning> &warnings, FieldText::Yeh yeh)
{
    const FieldText::Table &table = FieldText::vcardText(yeh);
    const auto field = [&record](ContactRecord::Field f) {
        return FieldText::unpadded(record.fieldBytes(f));
    };
    const auto put = [&p](QByteArrayView s) {
        std::memcpy(p, s.data(), size_t(s.size()));
        p += s.size();
    };
    // A text value: \ , ; and newline escaped; other controls are not text in
    // vCard. warn is false for a field said once already.
    const auto escaped = [&](ContactRecord::Field f, QByteArrayView v, bool warn = true) {
        uchar marks = 0;
        p = FieldText::put(p, v, table, marks);
        if (warn && (marks & FieldText::Lost))
            for (const char c : v)
                if (table[uchar(c)].size & FieldText::Lost)
                    warnings.append({n, f, uchar(c)});
    };
    char *line = p;
    const auto endLine = [&p, &line] {
        p = fold(line, p);
        *p++ = '\r';
        *p++ = '\n';
        line = p;
    };

    put(version == V4 ? QByteArrayView("BEGIN:VCARD\r\nVERSION:4.0\r\n")
                      : QByteArrayView("BEGIN:VCARD\r\nVERSION:3.0\r\n"));
    const QByteArrayView name = field(ContactRecord::Name);
    const QByteArrayView family = field(ContactRecord::Family);
    // FN is required even when empty.
    line = p;
    put("FN:");
    escaped(ContactRecord::Name, name);
    if (!name.isEmpty() && !family.isEmpty())
        put(" ");
    escaped(ContactRecord::Family, family);
    endLine();
    // 3.0 requires N as well; 4.0 leaves an empty one out.
    if (!name.isEmpty() || !family.isEmpty() || version == V3) {
        put("N:");
        escaped(ContactRecord::Family, family, false);
        put(";");
        escaped(ContactRecord::Name, name, false);
        put(";;;");
        endLine();
    }
    if (const QByteArrayView phone = field(ContactRecord::Phone); !phone.isEmpty()) {
        put("TEL;TYPE=voice:");
        escaped(ContactRecord::Phone, phone);
        endLine();
    }
    if (const QByteArrayView mobile = field(ContactRecord::Mobile); !mobile.isEmpty()) {
        put("TEL;TYPE=cell:");
        escaped(ContactRecord::Mobile, mobile);
        endLine();
    }
    if (const QByteArrayView address = field(ContactRecord::Address); !address.isEmpty()) {
        put("ADR:;;");
        escaped(ContactRecord::Address, address);
        put(";;;;");
        endLine();
    }
    put("X-HALVEX-ID:");
    p = FieldText::putNumber(p, record.ID());
    put("\r\nEND:VCARD\r\n");
    return p;
}

void VcardWriter::write(const ContactRecord &record, qint64 n, Version version, QByteArray &out,
                        QList<ExportWarning> &warnings, FieldText::Yeh yeh)
{
    const qsizetype start = out.size();
    out.resize(start + MaxCard);
    out.resize(write(record, n, version, out.data() + start, warnings, yeh) - out.constData());
}
