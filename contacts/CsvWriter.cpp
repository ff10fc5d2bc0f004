#include "contacts/CsvWriter.h"

#include <cstring>

#include "contacts/CsvText.h"
#include "contacts/FieldText.h"

namespace {

char *putField(char *p, const ContactRecord &r, ContactRecord::Field f, qint64 n,
               const FieldText::Table &table, QList<ExportWarning> &warnings)
{
    const QByteArrayView v = FieldText::unpadded(r.fieldBytes(f));
    if (v.isEmpty())
        return p;
    char *const start = p;
    if (CsvText::needsGuard(v))
        *p++ = '\'';
    uchar marks = 0;
    char *end = FieldText::put(p, v, table, marks);
    if (marks & FieldText::Lost)
        for (const char c : v)
            if (c == '\0')
                warnings.append({n, f, 0});
    // Leading blanks are quoted too, so no reader mistakes them for layout.
    if ((marks & FieldText::Quote) || v.front() == ' ' || v.front() == '\t') {
        std::memmove(start + 1, start, size_t(end - start));
        *start = '"';
        end[1] = '"';
        return end + 2;
    }
    return end;
}

} // namespace

void CsvWriter::begin(QByteArray &out)
{
    out += "\xEF\xBB\xBFName,Family,Phone,Mobile,ID,Address\r\n";
}

char *CsvWriter::write(const ContactRecord &record, qint64 n, char *p,
                       QList<ExportWarning> &warnings, FieldText::Yeh yeh)
{
    const FieldText::Table &table = FieldText::csvText(yeh);
    p = putField(p, record, ContactRecord::Name, n, table, warnings);
    *p++ = ',';
    p = putField(p, record, ContactRecord::Family, n, table, warnings);
    *p++ = ',';
    p = putField(p, record, ContactRecord::Phone, n, table, warnings);
    *p++ = ',';
    p = putField(p, record, ContactRecord::Mobile, n, table, warnings);
    *p++ = ',';
    p = FieldText::putNumber(p, record.ID());
    *p++ = ',';
    p = putField(p, record, ContactRecord::Address, n, table, warnings);
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

void CsvWriter::write(const ContactRecord &record, qint64 n, QByteArray &out,
                      QList<ExportWarning> &warnings, FieldText::Yeh yeh)
{
    const qsizetype start = out.size();
    out.resize(start + MaxRow);
    out.resize(write(record, n, out.data() + start, warnings, yeh) - out.constData());
}
