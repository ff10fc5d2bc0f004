#include "CsvWriter.h"

#include "FieldText.h"

namespace {

void appendField(const ContactRecord &r, ContactRecord::Field f, qint64 n, QByteArray &out,
                 QList<ExportWarning> &warnings)
{
    const QByteArrayView v = FieldText::unpadded(r.fieldBytes(f));
    // Leading blanks are quoted too, so no reader mistakes them for layout.
    bool quote = !v.isEmpty() && (v.front() == ' ' || v.front() == '\t');
    for (const char c : v)
        quote = quote || c == ',' || c == '"' || c == '\r' || c == '\n';
    if (quote)
        out += '"';
    for (const char c : v) {
        if (c == '"') {
            out += "\"\"";
        } else if (c == '\0') {
            out += FieldText::replacement();
            warnings.append({n, f, 0});
        } else {
            out += FieldText::utf8(uchar(c));
        }
    }
    if (quote)
        out += '"';
}

} // namespace

void CsvWriter::begin(QByteArray &out)
{
    out += "\xEF\xBB\xBFName,Family,Phone,Mobile,ID,Address\r\n";
}

void CsvWriter::write(const ContactRecord &record, qint64 n, QByteArray &out,
                      QList<ExportWarning> &warnings)
{
    appendField(record, ContactRecord::Name, n, out, warnings);
    out += ',';
    appendField(record, ContactRecord::Family, n, out, warnings);
    out += ',';
    appendField(record, ContactRecord::Phone, n, out, warnings);
    out += ',';
    appendField(record, ContactRecord::Mobile, n, out, warnings);
    out += ',';
    out += QByteArray::number(record.ID());
    out += ',';
    appendField(record, ContactRecord::Address, n, out, warnings);
    out += "\r\n";
}
