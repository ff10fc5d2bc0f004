#pragma once

#include <memory>

#include <QWidget>

namespace Ui {
class FrmLogin;
}
class ActivationStep;
class ModalBoxes;
class PasswordStore;

// The password gate, shaped by its skin. It only says that the user passed or
// asked to end the program; the caller opens the main window or ends.
class FrmLogin : public QWidget
{
    Q_OBJECT
public:
    static constexpr qreal LoadOpacity = 200.0 / 255.0;

    FrmLogin(PasswordStore &passwords, ModalBoxes &boxes, QWidget *parent = nullptr);
    ~FrmLogin() override;

    // The value of Password as read at the last activation.
    QString storedPassword() const { return m_storedPassword; }

    void Form_Load();
    // Reads the password; with none set, lets the user through at once.
    void Form_Activate();

signals:
    void passed();
    void closeRequested();
    // The password could not be read; the user has been told why.
    void failed();

private:
    void CmdLog_Click();
    void CmdClose_Click();
    void pass();

    std::unique_ptr<Ui::FrmLogin> m_ui;
    PasswordStore &m_passwords;
    ModalBoxes &m_boxes;
    QString m_storedPassword;
    ActivationStep *m_activation = nullptr;
    bool m_passed = false;
    bool m_failed = false;
};
