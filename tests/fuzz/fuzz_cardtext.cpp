// A card from a server on arbitrary bytes, edited: the edited card reads as
// the record now is, and every line but the edited fields' is unchanged.
#include <cstdint>

#include <QDateTime>
#include <QSet>

#include "sync/CardText.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

// Content lines as a vCard reader joins them, with their upper-case names.
QList<std::pair<QByteArray, QByteArray>> contentLines(const QByteArray &card)
{
    QList<std::pair<QByteArray, QByteArray>> out;
    for (QByteArray line : card.split('\n')) {
        const bool qpOpen = !out.isEmpty() && out.back().second.toUpper().contains("QUOTED-") &&
                            out.back().second.endsWith("=\r");
        if (!out.isEmpty() && (qpOpen || line.startsWith(' ') || line.startsWith('\t'))) {
            out.back().second += '\n' + line;
            continue;
        }
        QByteArray name = line;
        const qsizetype end = name.indexOf(';') >= 0 && name.indexOf(';') < name.indexOf(':')
                                  ? name.indexOf(';')
                                  : name.indexOf(':');
        name.truncate(end < 0 ? 0 : end);
        name = name.mid(name.lastIndexOf('.') + 1).trimmed().toUpper();
        out.append({name, line});
    }
    return out;
}

QByteArray without(const QByteArray &card, const QSet<QByteArray> &names)
{
    QByteArray out;
    for (const auto &[name, text] : contentLines(card))
        if (!names.contains(name))
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
    FUZZ_CHECK(back.record == now);
    FUZZ_CHECK(without(edited, touched) == without(card, touched));
    if (now == took.record)
        FUZZ_CHECK(edited == card);
    return 0;
}
