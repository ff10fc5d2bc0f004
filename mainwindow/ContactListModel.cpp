#include "mainwindow/ContactListModel.h"

#include <algorithm>
#include <numeric>

#include <QCollator>
#include <QLocale>

#include "mainwindow/FieldCaptions.h"
#include "mainwindow/PersianLetters.h"

namespace {

// Only spaces: the padding of a field, or what the user typed around a value.
QString trimmedSpaces(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == u' ')
        ++b;
    while (e > b && s[e - 1] == u' ')
        --e;
    return s.mid(b, e - b);
}

// The field a text column shows; the ID column is a number, not a field.
ContactRecord::Field fieldOf(int column)
{
    switch (column) {
    case ContactListModel::NameColumn:
        return ContactRecord::Name;
    case ContactListModel::FamilyColumn:
        return ContactRecord::Family;
    case ContactListModel::PhoneColumn:
        return ContactRecord::Phone;
    case ContactListModel::MobileColumn:
        return ContactRecord::Mobile;
    default:
        return ContactRecord::Address;
    }
}

// A number's value for sorting: its digits without leading zeros; longer is
// larger. A field without digits sorts after every number.
QByteArray numberKey(QByteArrayView field)
{
    QByteArray digits;
    for (const char c : field)
        if (c >= '0' && c <= '9' && !(digits.isEmpty() && c == '0'))
            digits += c;
    const bool any = field.contains('0') || !digits.isEmpty();
    if (!any)
        return QByteArray(1, char(0x7F));
    return QByteArray(1, char('0' + std::min<qsizetype>(digits.size(), 60))) + digits;
}

} // namespace

QString ContactListModel::shownText(const ContactRecord &record, ContactRecord::Field field)
{
    return PersianLetters::shown(trimmedSpaces(record.text(field)));
}

ContactListModel::ContactListModel(const ImageList *images, QObject *parent)
    : QAbstractTableModel(parent), m_images(images)
{
}

void ContactListModel::setRecords(std::vector<ContactRecord> records)
{
    beginResetModel();
    m_records = std::move(records);
    m_rows = sortedOrder();
    m_listed = true;
    endResetModel();
}

qint64 ContactListModel::recordPosition(int row) const
{
    return m_rows.empty() ? row : m_rows[size_t(row)];
}

int ContactListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_records.size());
}

int ContactListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_listed ? 0 : 6;
}

QVariant ContactListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_records.size()))
        return {};
    const ContactRecord &r = m_records[size_t(recordPosition(index.row()))];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        if (index.column() == IdColumn)
            return QString::number(r.ID());
        if (index.column() >= 0 && index.column() < 6)
            return shownText(r, fieldOf(index.column()));
    }
    if (role == Qt::DecorationRole && index.column() == NameColumn)
        return m_images->icon(1);
    return {};
}

QVariant ContactListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= 6)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const int icons[] = {1, 2, 5, 6, 4, 3};
    if (role == Qt::DisplayRole)
        return FieldCaptions::of(section);
    if (role == Qt::DecorationRole)
        return m_images->icon(icons[section]);
    // A first click on a heading sorts upwards, whatever the last column's order was.
    if (role == Qt::InitialSortOrderRole)
        return int(Qt::AscendingOrder);
    return {};
}

void ContactListModel::sort(int column, Qt::SortOrder order)
{
    if (column >= 6)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<qint64> positions;
    positions.reserve(size_t(before.size()));
    for (const QModelIndex &i : before)
        positions.push_back(recordPosition(i.row()));

    m_sortColumn = column < 0 ? -1 : column;
    m_sortOrder = order;
    m_rows = sortedOrder();

    std::vector<int> rowOf(m_records.size());
    for (size_t row = 0; row < m_records.size(); ++row)
        rowOf[size_t(recordPosition(int(row)))] = int(row);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after << index(rowOf[size_t(positions[size_t(i)])], before[i].column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::vector<int> ContactListModel::sortedOrder() const
{
    if (m_sortColumn < 0)
        return {};
    std::vector<int> rows(m_records.size());
    std::iota(rows.begin(), rows.end(), 0);
    const bool up = m_sortOrder == Qt::AscendingOrder;
    // Equal keys keep their file order in both directions.
    const auto sortBy = [&](const auto &keys) {
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
            return up ? keys[size_t(a)] < keys[size_t(b)] : keys[size_t(b)] < keys[size_t(a)];
        });
    };
    if (m_sortColumn == IdColumn) {
        std::vector<qint16> ids;
        ids.reserve(m_records.size());
        for (const ContactRecord &r : m_records)
            ids.push_back(r.ID());
        sortBy(ids);
    } else if (m_sortColumn == PhoneColumn || m_sortColumn == MobileColumn) {
        std::vector<QByteArray> keys;
        keys.reserve(m_records.size());
        for (const ContactRecord &r : m_records)
            keys.push_back(numberKey(r.fieldBytes(fieldOf(m_sortColumn))));
        sortBy(keys);
    } else {
        // Keys once per row: comparing with the collator costs a conversion each time.
        QCollator collator(QLocale(QLocale::Persian, QLocale::Iran));
        std::vector<QCollatorSortKey> keys;
        keys.reserve(m_records.size());
        for (const ContactRecord &r : m_records)
            keys.push_back(collator.sortKey(shownText(r, fieldOf(m_sortColumn))));
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
            const int c = keys[size_t(a)].compare(keys[size_t(b)]);
            return up ? c < 0 : c > 0;
        });
    }
    return rows;
}
