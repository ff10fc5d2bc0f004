// A card from a server on arbitrary bytes, edited: the edited card reads as
// the record now is, and every line but the edited fields' is unchanged.
#include <cstdint>

#include <QDateTime>
#include <QSet>

#include "contacts/VcardProperty.h"
#include "contacts/VcardWriter.h"
#include "sync/CardText.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

// Content lines as a vCard reader joins them, with their upper-case names.
QList<std::pair<QByteArray, QByteArray>> contentLines(const QByteArray &card)
{
    QList<QByteArray> lines;
    bool qp = false; // the reader's own test, on the line's first part
    for (const QByteArray &line : card.split('\n')) {
        const QByteArray &last = lines.isEmpty() ? QByteArray() : lines.back();
        const bool soft = qp && (last.endsWith('=') || last.endsWith("=\r"));
        if (!lines.isEmpty() && (soft || line.startsWith(' ') || line.startsWith('\t'))) {
            lines.back() += '\n' + line;
            continue;
        }
        lines.append(line);
        VcardProperty prop;
        QString why;
        const QByteArray bare = QByteArray(line).replace('\r', "");
        qp = VcardProperty::parse(bare, prop, why)
                 ? prop.quotedPrintable()
                 : bare.left(bare.indexOf(':')).toUpper().contains("QUOTED-PRINTABLE");
    }
    QList<std::pair<QByteArray, QByteArray>> out;
    for (const QByteArray &line : std::as_const(lines)) {
        QByteArray name = QByteArray(line).replace("\n ", "").replace("\n\t", "");
        qsizetype end = 0;
        while (end < name.size() && name[end] != ';' && name[end] != ':')
            ++end;
        name.truncate(end);
        out.append({name.mid(name.lastIndexOf('.') + 1).trimmed().toUpper(), line});
    }
    return out;
}

QByteArray without(const QByteArray &card, const QSet<QByteArray> &names)
{
    QByteArray out;
    // A line without a colon is no property: blank, or 2.1's base64 going on
    // (of an edited line, perhaps), which the reader joins to the line above.
    for (const auto &[name, text] : contentLines(card))
        if (!names.contains(name) && text.contains(':'))
            out += text + '\n';
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // The first byte says which fields change, and to what.
    const uchar how = data[0];
    const QByteArray card(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1);
    CardContact took;
    QString why;
    if (!CardText::read(card, 7, took, why))
        return 0;
    static const QString values[] = {QStringLiteral("رضا"), QStringLiteral("a;b,c\\d"),
                                     QStringLiteral("09121234567"),
                                     QStringLiteral("تهران، خیابان آزادی، کوچه ۱۲")};
    ContactRecord now = took.record;
    QSet<QByteArray> touched{"REV"};
    const struct
    {
        ContactRecord::Field field;
        QList<QByteArray> lines;
    } fields[] = {{ContactRecord::Name, {"FN", "N"}},
                  {ContactRecord::Family, {"FN", "N"}},
                  {ContactRecord::Phone, {"TEL"}},
                  {ContactRecord::Mobile, {"TEL"}},
                  {ContactRecord::Address, {"ADR"}}};
    for (int i = 0; i < 5; ++i) {
        if (!(how & (1 << i)))
            continue;
        now.setText(fields[i].field, values[(how >> 5) % 4]);
        for (const QByteArray &n : fields[i].lines)
            touched.insert(n);
    }
    const QDateTime when(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC);
    const QByteArray edited = CardText::edit(card, took, took.record, now, when);
    CardContact back;
    FUZZ_CHECK(CardText::read(edited, 7, back, why));
    // Unless the record holds a byte a card cannot carry (a control character).
    QByteArray written;
    QList<ExportWarning> lost;
    VcardWriter::write(now, 1, VcardWriter::V4, written, lost);
    FUZZ_CHECK(!lost.isEmpty() || back.record == now);
    FUZZ_CHECK(without(edited, touched) == without(card, touched));
    if (now == took.record)
        FUZZ_CHECK(edited == card);
    return 0;
}
