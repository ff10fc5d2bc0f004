#include "mainwindow/SettingsPage.h"

#include <optional>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>

#include "mainwindow/FrmMainServices.h"
#include "platform/FileDialogs.h"
#include "platform/ModalBoxes.h"
#include "platform/PasswordStore.h"
#include "platform/SoundPlayer.h"
#include "store/ContactStore.h"
#include "ui_FrmMain.h"

SettingsPage::SettingsPage(Ui::FrmMain &ui, const FrmMainServices &services, QWidget *dialogParent)
    : QObject(dialogParent), m_c{ui.CmdBrowse,  ui.CmdPlay,  ui.CmdStop, ui.Check1,
                                 ui.TxtOldPass, ui.Txtpass2, ui.CmdPass},
      m_store(services.store), m_boxes(services.boxes), m_passwords(services.passwords),
      m_player(services.player), m_fileDialogs(services.fileDialogs), m_dialogParent(dialogParent),
      m_oldPassSheet(ui.TxtOldPass->styleSheet())
{
    connect(m_c.browse, &QAbstractButton::clicked, this, &SettingsPage::CmdBrowse_Click);
    connect(m_c.play, &QAbstractButton::clicked, this, &SettingsPage::CmdPlay_Click);
    connect(m_c.stop, &QAbstractButton::clicked, this, &SettingsPage::CmdStop_Click);
    connect(m_c.pass, &QAbstractButton::clicked, this, &SettingsPage::CmdPass_Click);
}

void SettingsPage::enter()
{
    QString why;
    // Unreadable settings are shown as a password that cannot be typed: the
    // change is refused, with the reason, when it is tried.
    const bool readable = m_passwords.read(m_password, why);
    // No password yet: there is nothing to type as the old one.
    const bool none = readable && m_password.trimmed().isEmpty();
    m_c.oldPass->setStyleSheet(
        none ? m_oldPassSheet + QStringLiteral(" QLineEdit { background-color: palette(button); }")
             : m_oldPassSheet);
    m_c.oldPass->setEnabled(!none);
    // A disabled box left holding the removed password would refuse every new one.
    if (none)
        m_c.oldPass->clear();
}

void SettingsPage::CmdBrowse_Click()
{
    // Cancelling keeps the file chosen before.
    if (const std::optional<QString> file =
            m_fileDialogs.openFile(m_dialogParent, QStringLiteral("جستجو"), m_store.dataDir(),
                                   QStringLiteral("Wave Sound (*.wav)")))
        m_soundFile = *file;
}

void SettingsPage::CmdPlay_Click()
{
    switch (m_c.repeat->checkState()) {
    case Qt::Unchecked:
        m_player.playOnce(m_soundFile);
        break;
    case Qt::Checked:
        m_player.playLoop(m_soundFile);
        break;
    case Qt::PartiallyChecked: // greyed: nothing
        break;
    }
}

void SettingsPage::CmdStop_Click()
{
    m_player.playOnceAndWait(m_soundFile);
}

void SettingsPage::CmdPass_Click()
{
    const QString title = QStringLiteral("ثبت کلمه عبور");
    QString why;
    if (!m_passwords.read(m_password, why)) {
        m_boxes.critical(m_dialogParent,
                         why + QStringLiteral("\nکلمه عبور ثبت نشد و فايل دست نخورد."), title);
        return;
    }
    // Exactly as typed, unlike the login, which ignores case and surrounding spaces.
    if (m_c.oldPass->text() != m_password) {
        m_boxes.critical(m_dialogParent, QStringLiteral("کلمه عبور قديم اشتباه مي باشد"), title);
        if (m_c.oldPass->isEnabled()) {
            m_c.oldPass->setFocus();
            m_c.oldPass->selectAll();
        }
        return;
    }
    if (!m_passwords.write(m_c.newPass->text().trimmed(), why)) {
        m_boxes.critical(m_dialogParent,
                         QStringLiteral("کلمه عبور ثبت نشد: تنظيمات برنامه قابل نوشتن نيست و "
                                        "کلمه عبور قبلي همچنان معتبر است.\n") +
                             why,
                         title);
        return;
    }
    m_boxes.message(m_dialogParent, QStringLiteral("کلمه عبور شما به ثبت رسيد"), title,
                    ModalBoxes::Information, ModalBoxes::Ok, ModalBoxes::AnswerOk);
}
