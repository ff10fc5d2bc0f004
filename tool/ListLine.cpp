#include "tool/ListLine.h"

#include "contacts/FieldText.h"
#include "store/ContactRecord.h"

namespace {

// Tabs, line ends and backslashes would break the one-line, tab-separated form.
void appendField(QByteArray &out, QByteArrayView field)
{
    static const FieldText::Table table = [] {
        FieldText::Table t = FieldText::utf8();
        t['\t'] = {{'\\', 't', 0}, 2};
        t['\n'] = {{'\\', 'n', 0}, 2};
        t['\r'] = {{'\\', 'r', 0}, 2};
        t['\\'] = {{'\\', '\\', 0}, 2};
        return t;
    }();
    const qsizetype start = out.size();
    out.resize(start + 3 * field.size() + 1);
    uchar marks = 0;
    char *end = FieldText::put(out.data() + start, field, table, marks);
    out.resize(end - out.constData());
}

} // namespace

namespace ListLine {

void append(QByteArray &out, const ContactRecord &r, qint64 n)
{
    out += QByteArray::number(n);
    for (const ContactRecord::Field f : {ContactRecord::Name, ContactRecord::Family,
                                         ContactRecord::Phone, ContactRecord::Mobile}) {
        out += '\t';
        appendField(out, FieldText::unpadded(r.fieldBytes(f)));
    }
    out += '\t';
    out += QByteArray::number(r.ID());
    out += '\t';
    appendField(out, FieldText::unpadded(r.fieldBytes(ContactRecord::Address)));
    out += '\n';
}

} // namespace ListLine
