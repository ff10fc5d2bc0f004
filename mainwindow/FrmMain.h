#pragma once

#include <memory>

#include <QWidget>

#include "mainwindow/FrmMainServices.h"
#include "store/ContactStore.h"

namespace Ui {
class FrmMain;
}
class QTimer;
class AddListPage;
class ContactListModel;
class DeletePage;
class DirectoryTransfer;
class EditPage;
class Launcher;
class ListMenu;
class ModalBoxes;
class Registry;
class SearchPage;
class SettingsPage;
class SoundPlayer;
class TodayDate;

// The working window: seven pages behind a column of page buttons, with the
// clock, the date line and the scrolling welcome text. The pages do their own
// work; the window only shows them.
class FrmMain : public QWidget
{
    Q_OBJECT
public:
    static QString authorUrl();

    explicit FrmMain(const FrmMainServices &services, QWidget *parent = nullptr);
    ~FrmMain() override;

    // Counts the records and proposes the next number. False when the data
    // file cannot be made ready; the user has been told why.
    bool Form_Load();

    ContactStore &store() { return m_store; }
    ContactListModel *listModel() const;
    QTimer *timer() const { return m_timer; }
    SearchPage *searchPage() const { return m_searchPage; }
    SearchPage *editPage() const;
    SearchPage *deletePage() const;
    ListMenu *listMenu() const { return m_listMenu; }
    DirectoryTransfer *transfer() const;
    bool HintCleared() const { return m_hintCleared; }
    QString dateLine();

public slots:
    void Timer1_Timer();

protected:
    void changeEvent(QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void wirePageButtons();
    void showPage(int index);
    void setWelcomeBold(bool bold);
    void CmdAboutUsTab_Click();
    bool fileDrag(QEvent *event);

    std::unique_ptr<Ui::FrmMain> m_ui;
    ContactStore &m_store;
    ModalBoxes &m_boxes;
    TodayDate &m_date;
    Launcher &m_launcher;
    Registry &m_registry;
    SoundPlayer &m_player;
    QTimer *m_timer = nullptr;
    bool m_hintCleared = false;             // shared by the three key boxes
    std::unique_ptr<AddListPage> m_addList; // goes before the list view it fills
    SearchPage *m_searchPage = nullptr;
    EditPage *m_editPage = nullptr;
    DeletePage *m_deletePage = nullptr;
    SettingsPage *m_settingsPage = nullptr;
    ListMenu *m_listMenu = nullptr;
};
