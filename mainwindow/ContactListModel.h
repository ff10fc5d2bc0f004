#pragma once

#include <vector>

#include <QAbstractTableModel>

#include "mainwindow/ImageList.h"
#include "store/ContactRecord.h"

// The list page: one row per record in file order, six columns. Rows keep the
// raw records and decode a cell only when the view asks for it.
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

    // A field as the list shows it: without the spaces around it.
    static QString shownText(const ContactRecord &record, ContactRecord::Field field);

    // Replaces every row at once. Until the first call the list has no columns.
    void setRecords(std::vector<ContactRecord> records);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const ImageList *m_images;
    std::vector<ContactRecord> m_records;
    bool m_listed = false;
};
