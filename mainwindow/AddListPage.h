#pragma once

#include <memory>

#include <QObject>

#include "mainwindow/ContactForm.h"

class QAbstractButton;
class QTreeView;
class ContactListModel;
class ContactStore;
class ImageList;
class ModalBoxes;
class StoreError;
struct FrmMainServices;
namespace Ui {
class FrmMain;
}

// The add page, which writes a new contact at the end of the data file, and the
// list page, which shows every contact when asked, in file order or sorted by
// the column whose heading was clicked.
class AddListPage : public QObject
{
    Q_OBJECT
public:
    AddListPage(Ui::FrmMain &ui, const FrmMainServices &services, QWidget *dialogParent);
    ~AddListPage() override;

    // The window's load step: counts the records and proposes the next number.
    bool countRecords();

    ContactListModel *listModel() const { return m_listModel; }
    // After contacts were added elsewhere: the list again, and the next number.
    void showImported(qint64 recordsAfter);

private:
    void cmdAdd_Click();
    void cmdDisplay_Click();
    void proposeNextId(qint64 recordCount);
    void fitColumns();
    void showFirstColumn();
    void showStoreError(const StoreError &error);
    void tellFull();

    ContactForm::Boxes m_fields; // Text1 to Text6
    QTreeView *m_list;
    ContactStore &m_store;
    ModalBoxes &m_boxes;
    QWidget *m_dialogParent;
    ContactForm m_form;
    std::unique_ptr<ImageList> m_images;
    ContactListModel *m_listModel = nullptr;
};
