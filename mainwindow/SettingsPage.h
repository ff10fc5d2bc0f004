#pragma once

#include <QObject>
#include <QString>

class QAbstractButton;
class QCheckBox;
class QLineEdit;
class QWidget;
class ContactStore;
class FileDialogs;
class ModalBoxes;
class PasswordStore;
class SoundPlayer;
struct FrmMainServices;
namespace Ui {
class FrmMain;
}

// The settings page: a small player for a chosen wave file, and the change of
// the login password.
class SettingsPage : public QObject
{
    Q_OBJECT
public:
    struct Controls
    {
        QAbstractButton *browse = nullptr;
        QAbstractButton *play = nullptr;
        QAbstractButton *stop = nullptr;
        QCheckBox *repeat = nullptr;
        QLineEdit *oldPass = nullptr;
        QLineEdit *newPass = nullptr;
        QAbstractButton *pass = nullptr;
    };

    SettingsPage(Ui::FrmMain &ui, const FrmMainServices &services, QWidget *dialogParent);

    // Run when the page button shows the page, not when its tab does.
    void enter();

private:
    void CmdBrowse_Click();
    void CmdPlay_Click();
    void CmdStop_Click();
    void CmdPass_Click();

    Controls m_c;
    const ContactStore &m_store; // only where the file dialog starts
    ModalBoxes &m_boxes;
    PasswordStore &m_passwords;
    SoundPlayer &m_player;
    FileDialogs &m_fileDialogs;
    QWidget *m_dialogParent;
    QString m_password;     // the last value read from the settings
    QString m_soundFile;    // the file dialog's file name: the player's only state
    QString m_oldPassSheet; // TxtOldPass as laid out
};
