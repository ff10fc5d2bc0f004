#include "mainwindow/AddListPage.h"

#include <vector>

#include <QAbstractButton>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTreeView>

#include "HalvexInfo.h"
#include "mainwindow/ContactListModel.h"
#include "mainwindow/ImageList.h"
#include "mainwindow/LeftToRightDelegate.h"
#include "platform/ModalBoxes.h"
#include "store/ContactStore.h"

AddListPage::AddListPage(const Controls &controls, ContactStore &store, ModalBoxes &boxes,
                         QWidget *dialogParent)
    : m_c(controls), m_store(store), m_boxes(boxes), m_dialogParent(dialogParent),
      m_form(controls.fields, boxes, dialogParent), m_images(std::make_unique<ImageList>())
{
    m_listModel = new ContactListModel(m_images.get(), this);
    m_c.list->setModel(m_listModel);
    auto *numbers = new LeftToRightDelegate(m_c.list);
    for (int column : {ContactListModel::PhoneColumn, ContactListModel::MobileColumn,
                       ContactListModel::IdColumn})
        m_c.list->setItemDelegateForColumn(column, numbers);
    m_c.list->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_c.list->header()->setStretchLastSection(false);
    // Fitting reads the rows in sight only; Qt's default of 1000 rows costs
    // tens of milliseconds on a full directory.
    m_c.list->header()->setResizeContentsPrecision(0);

    connect(m_c.add, &QAbstractButton::clicked, this, &AddListPage::cmdAdd_Click);
    connect(m_c.display, &QAbstractButton::clicked, this, &AddListPage::cmdDisplay_Click);
}

AddListPage::~AddListPage()
{
    // The list draws its icons from m_images; closing the window would make
    // the header ask for them after they are gone.
    m_c.list->setModel(nullptr);
}

bool AddListPage::countRecords()
{
    qint64 count = 0;
    if (StoreError e = m_store.CountWholeRecords(count)) {
        showStoreError(e);
        return false;
    }
    proposeNextId(count);
    return true;
}

void AddListPage::proposeNextId(qint64 recordCount)
{
    // Past the last record number there is nothing to propose.
    if (recordCount >= ContactStore::MaxRecords)
        m_c.fields[4]->clear();
    else
        m_c.fields[4]->setText(QString::number(recordCount + 1));
}

void AddListPage::showStoreError(const StoreError &error)
{
    m_boxes.critical(m_dialogParent, error.message(), QLatin1String(HalvexInfo::Name));
}

void AddListPage::tellFull()
{
    m_boxes.critical(m_dialogParent,
                     QStringLiteral("دفترچه پر است: بيش از %1 شخص را نمي توان ذخيره کرد.")
                         .arg(ContactStore::MaxRecords),
                     QLatin1String(HalvexInfo::Name));
}

void AddListPage::cmdAdd_Click()
{
    qint64 count = 0;
    if (StoreError e = m_store.CountWholeRecords(count)) {
        showStoreError(e);
        return;
    }
    if (count >= ContactStore::MaxRecords) {
        tellFull();
        return;
    }

    const std::optional<ContactRecord> record = m_form.record();
    if (!record)
        return;
    qint64 recordsAfter = 0;
    if (StoreError e = m_store.AppendRecord(*record, &recordsAfter)) {
        if (e.kind() == StoreError::Overflow)
            tellFull();
        else
            showStoreError(e);
        return;
    }

    m_form.clear();
    proposeNextId(recordsAfter);
    m_c.fields[0]->setFocus();
}

void AddListPage::showImported(qint64 recordsAfter)
{
    cmdDisplay_Click();
    proposeNextId(recordsAfter);
}

void AddListPage::cmdDisplay_Click()
{
    std::vector<ContactRecord> records;
    qint64 expected = 0;
    if (m_store.CountWholeRecords(expected).ok())
        records.reserve(size_t(expected));
    const StoreError e = m_store.ReadAllRecords([&records](const ContactRecord &r, qint64) {
        records.push_back(r);
        return true;
    });
    // Columns show even when the file could not be read. A reset forgets the
    // widths the user gave the columns, so they are carried over.
    QHeaderView *header = m_c.list->header();
    QList<int> widths;
    for (int c = 0; c < header->count(); ++c)
        widths << header->sectionSize(c);
    m_listModel->setRecords(std::move(records));
    if (widths.size() == header->count()) {
        for (int c = 0; c < header->count(); ++c)
            header->resizeSection(c, widths[c]);
    } else {
        fitColumns();
    }
    showFirstColumn();
    if (e)
        showStoreError(e);
}

void AddListPage::fitColumns()
{
    // Header and visible content, within reason; the user may resize them after.
    constexpr int kWidest = 220;
    for (int c = 0; c < m_listModel->columnCount(); ++c) {
        m_c.list->resizeColumnToContents(c);
        if (m_c.list->columnWidth(c) > kWidest)
            m_c.list->setColumnWidth(c, kWidest);
    }
}

void AddListPage::showFirstColumn()
{
    QScrollBar *bar = m_c.list->horizontalScrollBar();
    bar->setValue(bar->minimum());
}
