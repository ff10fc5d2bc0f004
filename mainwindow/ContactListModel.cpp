#include "mainwindow/ContactListModel.h"

#include "mainwindow/FieldCaptions.h"

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

} // namespace

QString ContactListModel::shownText(const ContactRecord &record, ContactRecord::Field field)
{
    return trimmedSpaces(record.text(field));
}

ContactListModel::ContactListModel(const ImageList *images, QObject *parent)
    : QAbstractTableModel(parent), m_images(images)
{
}

void ContactListModel::setRecords(std::vector<ContactRecord> records)
{
    beginResetModel();
    m_records = std::move(records);
    m_listed = true;
    endResetModel();
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
    const ContactRecord &r = m_records[size_t(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case NameColumn:
            return trimmedSpaces(r.text(ContactRecord::Name));
        case FamilyColumn:
            return trimmedSpaces(r.text(ContactRecord::Family));
        case PhoneColumn:
            return trimmedSpaces(r.text(ContactRecord::Phone));
        case MobileColumn:
            return trimmedSpaces(r.text(ContactRecord::Mobile));
        case IdColumn:
            return QString::number(r.ID());
        case AddressColumn:
            return trimmedSpaces(r.text(ContactRecord::Address));
        }
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
    return {};
}
