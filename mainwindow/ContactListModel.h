#pragma once

#include <vector>

#include <QAbstractTableModel>

#include "mainwindow/ImageList.h"
#include "store/ContactRecord.h"

// The list page: one row per record, six columns. Rows keep the raw records
// and decode a cell only when the view asks for it. The rows may be shown
// sorted by a column; the records themselves stay in file order.
class ContactListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        NameColumn,
        FamilyColumn,
        PhoneColumn,
        MobileColumn,
        IdColumn,
        AddressColumn
    };

    explicit ContactListModel(const ImageList *images, QObject *parent = nullptr);

    // A field as the list shows it: without the spaces around it, with
    // Persian letters for the Arabic ones the code page stores.
    static QString shownText(const ContactRecord &record, ContactRecord::Field field);

    // Replaces every row at once, keeping the order chosen. Until the first
    // call the list has no columns.
    void setRecords(std::vector<ContactRecord> records);

    // The record's position in the file (0-based) for a row as shown.
    qint64 recordPosition(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // A column below 0 shows the file order again.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    std::vector<int> sortedOrder() const;

    const ImageList *m_images;
    std::vector<ContactRecord> m_records;
    std::vector<int> m_rows; // row -> index in m_records; empty while in file order
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    bool m_listed = false;
};
