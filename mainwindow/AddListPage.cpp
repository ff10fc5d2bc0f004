#include "mainwindow/AddListPage.h"

#include <vector>

#include <QAbstractButton>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTreeView>

#include "mainwindow/ContactListModel.h"
#include "mainwindow/FrmMainServices.h"
#include "mainwindow/ImageList.h"
#include "mainwindow/LeftToRightDelegate.h"
#include "mainwindow/WindowTitle.h"
#include "platform/ModalBoxes.h"
#include "store/ContactStore.h"
#include "ui_FrmMain.h"

AddListPage::AddListPage(Ui::FrmMain &ui, const FrmMainServices &services, QWidget *dialogParent)
    : m_fields{ui.Text1, ui.Text2, ui.Text3, ui.Text4, ui.Text5, ui.Text6}, m_list(ui.l1),
      m_store(services.store), m_boxes(services.boxes), m_dialogParent(dialogParent),
      m_form(m_fields, services.boxes, dialogParent), m_images(std::make_unique<ImageList>())
{
    m_listModel = new ContactListModel(m_images.get(), this);
    m_list->setModel(m_listModel);
    auto *numbers = new LeftToRightDelegate(m_list);
    for (int column : {ContactListModel::PhoneColumn, ContactListModel::MobileColumn,
                       ContactListModel::IdColumn})
        m_list->setItemDelegateForColumn(column, numbers);
    QHeaderView *header = m_list->header();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    // Fitting reads the rows in sight only; Qt's default of 1000 rows costs
    // tens of milliseconds on a full directory.
    header->setResizeContentsPrecision(0);
    // A heading click sorts by its column, a second one reverses. Not the view's
    // own sorting, which would sort at once: the list starts in file order.
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setSortIndicatorShown(true);
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sortIndicatorChanged, m_listModel, &ContactListModel::sort);

    connect(ui.cmdAdd, &QAbstractButton::clicked, this, &AddListPage::cmdAdd_Click);
    connect(ui.cmdDisplay, &QAbstractButton::clicked, this, &AddListPage::cmdDisplay_Click);
}

AddListPage::~AddListPage()
{
    // The list draws its icons from m_images; closing the window would make
    // the header ask for them after they are gone.
    m_list->setModel(nullptr);
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
        m_fields[4]->clear();
    else
        m_fields[4]->setText(QString::number(recordCount + 1));
}

void AddListPage::showStoreError(const StoreError &error)
{
    m_boxes.critical(m_dialogParent, error.message(), kTitle);
}

void AddListPage::tellFull()
{
    m_boxes.critical(m_dialogParent,
                     QStringLiteral("دفترچه پر است: بيش از %1 شخص را نمي توان ذخيره کرد.")
                         .arg(ContactStore::MaxRecords),
                     kTitle);
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
    m_fields[0]->setFocus();
}

void AddListPage::showImported(qint64 recordsAfter)
{
    cmdDisplay_Click();
    proposeNextId(recordsAfter);
}

void AddListPage::cmdDisplay_Click()
{
    std::vector<ContactRecord> records;
    const StoreError e = m_store.ReadAll(records);
    // Columns show even when the file could not be read. A reset forgets the
    // widths the user gave the columns, so they are carried over.
    QHeaderView *header = m_list->header();
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
        m_list->resizeColumnToContents(c);
        if (m_list->columnWidth(c) > kWidest)
            m_list->setColumnWidth(c, kWidest);
    }
}

void AddListPage::showFirstColumn()
{
    QScrollBar *bar = m_list->horizontalScrollBar();
    bar->setValue(bar->minimum());
}
