#include "contacts/CsvRowReader.h"

#include <algorithm>
#include <optional>
#include <utility>

#include <QStringList>

#include "contacts/CsvText.h"
#include "contacts/PhoneChoice.h"
#include "store/Cp1256Codec.h"

namespace {

// Column names said for one row's dropped values; the rest are counted.
constexpr qsizetype kNamesShown = 5;

QString joinNonEmpty(const QStringList &parts)
{
    QStringList kept;
    for (const QString &p : parts)
        if (!p.isEmpty())
            kept << p;
    return kept.join(QStringLiteral(", "));
}

PhoneChoice::Kind kindOfType(const QString &type)
{
    if (type.contains(QLatin1String("mobile")) || type.contains(QLatin1String("cell")))
        return PhoneChoice::Mobile;
    if (type.contains(QLatin1String("fax")))
        return PhoneChoice::Fax;
    if (type.contains(QLatin1String("pager")))
        return PhoneChoice::Pager;
    return PhoneChoice::Voice;
}

} // namespace

void CsvRowReader::addName(QByteArrayView name)
{
    m_names += name;
    m_nameEnds.push_back(quint32(m_names.size()));
}

void CsvRowReader::clearNames()
{
    m_names.clear();
    m_nameEnds.clear();
}

bool CsvRowReader::classify()
{
    const qsizetype count = qsizetype(m_nameEnds.size());
    bool ours = false;
    for (qsizetype c = 0; c < count && !ours; ++c)
        ours = !rawName(c).isEmpty() && CsvColumns::isOurs({name(c)});
    QHash<QString, int> groups;
    m_roles.assign(size_t(count), quint8(CsvColumns::Unknown));
    bool known = false;
    for (qsizetype c = 0; c < count; ++c) {
        if (rawName(c).isEmpty())
            continue;
        const CsvColumns::Column col = CsvColumns::classify(name(c), ours);
        m_roles[size_t(c)] = quint8(col.role);
        if (!col.group.isEmpty()) {
            auto it = groups.constFind(col.group);
            if (it == groups.cend())
                it = groups.insert(col.group, int(groups.size()));
            m_groupOf.insert(c, *it);
        }
        known = known || (col.role != CsvColumns::Unknown && col.role != CsvColumns::Ignored);
    }
    return known;
}

void CsvRowReader::beginRow()
{
    m_values.clear();
    m_bytes.clear();
    m_dropped.clear();
    m_droppedCount = 0;
    m_extra = false;
}

void CsvRowReader::addField(qsizetype c, QByteArrayView field)
{
    field = CsvText::unguarded(field);
    if (c >= qsizetype(m_roles.size())) {
        m_extra = m_extra || !blank(field);
        return;
    }
    switch (role(c)) {
    case CsvColumns::Ignored:
        return;
    case CsvColumns::Unknown:
        if (!blank(field))
            drop(m_dropped, m_droppedCount, c);
        return;
    default:
        m_values.push_back({quint32(c), quint32(m_bytes.size()), quint32(field.size())});
        m_bytes += field;
    }
}

ContactDraft CsvRowReader::read(qsizetype line, int index)
{
    ContactDraft d;
    d.line = line;
    d.index = index;
    QList<qsizetype> conflicts;
    qsizetype conflictCount = 0;
    takeNames(d, conflicts, conflictCount);
    takePhones(d);
    takeAddress(d);
    if (m_extra)
        d.note(QStringLiteral("CSV"), QStringLiteral("مقدارهاي بيش از ستونهاي سرستون ذخيره نشد."));
    const qsizetype total = m_droppedCount + conflictCount;
    if (total > 0) {
        // In column order, the first few by name.
        QList<qsizetype> shown = m_dropped + conflicts;
        std::sort(shown.begin(), shown.end());
        shown.resize(std::min(shown.size(), kNamesShown));
        QStringList names;
        for (const qsizetype c : std::as_const(shown))
            names << name(c);
        QString where = names.join(QStringLiteral(", "));
        if (total > shown.size())
            where += QStringLiteral(" و %1 ستون ديگر").arg(total - shown.size());
        d.note(where, QStringLiteral("در فايل داده جايي ندارد و ذخيره نشد."));
    }
    return d;
}

QString CsvRowReader::decode(QByteArrayView b) const
{
    return m_utf8 ? QString::fromUtf8(b) : Cp1256Codec::decode(b);
}

QByteArrayView CsvRowReader::rawName(qsizetype c) const
{
    const quint32 from = c == 0 ? 0 : m_nameEnds[size_t(c - 1)];
    return QByteArrayView(m_names).sliced(from, m_nameEnds[size_t(c)] - from);
}

QString CsvRowReader::text(const Value &v) const
{
    return decode(QByteArrayView(m_bytes).sliced(v.at, v.size));
}

bool CsvRowReader::blank(QByteArrayView field) const
{
    return field.trimmed().isEmpty() || decode(field).trimmed().isEmpty();
}

void CsvRowReader::drop(QList<qsizetype> &shown, qsizetype &count, qsizetype c)
{
    ++count;
    if (shown.size() < kNamesShown)
        shown << c;
}

void CsvRowReader::takeNames(ContactDraft &d, QList<qsizetype> &dropped, qsizetype &count) const
{
    QString name, family, full;
    std::optional<QString> id;
    for (const Value &v : m_values) {
        const auto first = [&](QString &slot) {
            const QString value = text(v);
            if (slot.isEmpty())
                slot = value;
            else if (!value.isEmpty() && value != slot)
                drop(dropped, count, v.column);
        };
        switch (role(v.column)) {
        case CsvColumns::Given:
            first(name);
            break;
        case CsvColumns::Family:
            first(family);
            break;
        case CsvColumns::FullName:
            first(full);
            break;
        case CsvColumns::Id:
            if (!id)
                id = text(v);
            else if (const QString value = text(v); !value.isEmpty() && value != *id)
                drop(dropped, count, v.column);
            break;
        default:
            break;
        }
    }
    if (name.isEmpty() && family.isEmpty() && !full.isEmpty()) {
        const qsizetype space = full.lastIndexOf(u' ');
        name = space < 0 ? full : full.left(space);
        family = space < 0 ? QString() : full.mid(space + 1);
    }
    d.name = name;
    d.family = family;
    if (id && !id->isEmpty())
        d.id = *id;
}

void CsvRowReader::takePhones(ContactDraft &d) const
{
    // Types first: a Google "Phone 1 - Type" may follow its value.
    QHash<int, PhoneChoice::Kind> types;
    for (const Value &v : m_values)
        if (role(v.column) == CsvColumns::PhoneType)
            types[group(v)] = kindOfType(text(v).toLower());
    PhoneChoice phones(d, QStringLiteral("Phone"));
    for (const Value &v : m_values) {
        switch (role(v.column)) {
        case CsvColumns::Phone:
            phones.add(text(v), PhoneChoice::Voice);
            break;
        case CsvColumns::Mobile:
            phones.add(text(v), PhoneChoice::Mobile);
            break;
        case CsvColumns::Fax:
            phones.add(text(v), PhoneChoice::Fax);
            break;
        case CsvColumns::Pager:
            phones.add(text(v), PhoneChoice::Pager);
            break;
        case CsvColumns::PhoneValue:
            // Google puts several numbers of one kind in a cell, split by " ::: ".
            for (const QString &p : text(v).split(QStringLiteral(" ::: ")))
                phones.add(p, types.value(group(v), PhoneChoice::Voice));
            break;
        default:
            break;
        }
    }
    phones.finish();
}

// Groups are numbered in the header's order; one group is put together at
// a time, so a row of many groups costs no more than its values.
void CsvRowReader::takeAddress(ContactDraft &d) const
{
    std::vector<std::pair<int, quint32>> at; // group, index in m_values
    for (size_t i = 0; i < m_values.size(); ++i) {
        const CsvColumns::Role r = role(m_values[i].column);
        if (r == CsvColumns::AddressFormatted || r == CsvColumns::AddressPart)
            at.push_back({group(m_values[i]), quint32(i)});
    }
    std::sort(at.begin(), at.end());
    QString address;
    for (size_t i = 0; i < at.size();) {
        QString formatted;
        QStringList parts;
        const int g = at[i].first;
        for (; i < at.size() && at[i].first == g; ++i) {
            const Value &v = m_values[at[i].second];
            if (role(v.column) == CsvColumns::AddressFormatted)
                formatted = text(v);
            else
                parts << text(v);
        }
        const QString a = formatted.isEmpty() ? joinNonEmpty(parts) : formatted;
        if (a.isEmpty())
            continue;
        if (address.isEmpty())
            address = a;
        else
            d.note(QStringLiteral("Address"),
                   QStringLiteral("نشاني ديگر «%1» ذخيره نشد: فقط يک نشاني جا دارد.").arg(a));
    }
    d.address = address;
}
