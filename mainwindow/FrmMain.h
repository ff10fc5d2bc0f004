#pragma once

#include <array>
#include <memory>

#include <QWidget>

#include "ContactStore.h"
#include "FrmMainServices.h"

namespace Ui {
class FrmMain;
}
class QLineEdit;
class QTimer;
class ContactListModel;
class FileDialogs;
class ImageList;
class Launcher;
class ModalBoxes;
class PasswordStore;
class Registry;
class SearchPage;
class SoundPlayer;
class TodayDate;

// The working window: seven pages behind a column of page buttons, with the
// clock, the date line and the scrolling welcome text.
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
    ContactListModel *listModel() const { return m_listModel; }
    QTimer *timer() const { return m_timer; }
    SearchPage *searchPage() const { return m_searchPage; }
    SearchPage *editPage() const { return m_editPage; }
    SearchPage *deletePage() const { return m_deletePage; }
    bool HintCleared() const { return m_hintCleared; }
    QString dateLine();

public slots:
    void Timer1_Timer();

protected:
    void changeEvent(QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showPage(int index);
    void setWelcomeBold(bool bold);
    void showStoreError(const StoreError &error);
    void proposeNextId(qint64 recordCount);

    void cmdAdd_Click();
    void cmdDisplay_Click();
    void CmdAboutUsTab_Click();
    void fitColumns();
    void showFirstColumn();
    void CmdSave_Click();
    void CmdDelete_Click();
    bool requireSelection(const SearchPage *page);

    void CmdSettingTab_Click();
    void CmdBrowse_Click();
    void CmdPlay_Click();
    void CmdStop_Click();
    void CmdPass_Click();
    // Name, Family, Phone, Mobile, ID, Address; false (and the user told) on a bad number.
    bool recordFromBoxes(const std::array<QLineEdit *, 6> &boxes, ContactRecord &record);

    std::unique_ptr<Ui::FrmMain> m_ui;
    std::unique_ptr<ImageList> m_images;
    ContactStore &m_store;
    ModalBoxes &m_boxes;
    TodayDate &m_date;
    Launcher &m_launcher;
    PasswordStore &m_passwords;
    Registry &m_registry;
    SoundPlayer &m_player;
    FileDialogs &m_fileDialogs;
    ContactListModel *m_listModel = nullptr;
    QTimer *m_timer = nullptr;
    bool m_hintCleared = false; // shared by the three key boxes
    SearchPage *m_searchPage = nullptr;
    SearchPage *m_editPage = nullptr;
    SearchPage *m_deletePage = nullptr;
    QString m_password;     // the last value read from the settings
    QString m_soundFile;    // the file dialog's file name: the player's only state
    QString m_oldPassSheet; // TxtOldPass as laid out
};
