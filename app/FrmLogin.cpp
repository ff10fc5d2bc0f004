#include "app/FrmLogin.h"

#include "app/ActivationStep.h"
#include "HalvexInfo.h"
#include "platform/Fonts.h"
#include "platform/ModalBoxes.h"
#include "platform/PasswordStore.h"
#include "ui_FrmLogin.h"

FrmLogin::FrmLogin(PasswordStore &passwords, ModalBoxes &boxes, QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::FrmLogin>()), m_passwords(passwords),
      m_boxes(boxes)
{
    m_ui->setupUi(this);
    Fonts::applyFractionalSizes(this);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(234, 340);
    move(369, 112);
    // No input method may see the password.
    m_ui->txtpass1->setAttribute(Qt::WA_InputMethodEnabled, false);

    connect(m_ui->CmdLog, &QAbstractButton::clicked, this, &FrmLogin::CmdLog_Click);
    // The tab order starts at CmdClose, but a user types the password first and
    // presses Enter to log in, not to end the program.
    connect(m_ui->txtpass1, &QLineEdit::returnPressed, this, &FrmLogin::CmdLog_Click);
    m_ui->txtpass1->setFocus();
    connect(m_ui->CmdClose, &QAbstractButton::clicked, this, &FrmLogin::CmdClose_Click);
    m_activation = new ActivationStep(this, [this] { Form_Activate(); });
    Form_Load();
}

FrmLogin::~FrmLogin() = default;

void FrmLogin::Form_Load()
{
    // Half see-through until the skin's first tick shapes the window and makes it opaque.
    setWindowOpacity(LoadOpacity);
}

void FrmLogin::Form_Activate()
{
    if (m_passed || m_failed)
        return;
    QString why;
    if (!m_passwords.read(m_storedPassword, why)) {
        // Settings that cannot be read are not "no password": nobody passes.
        m_failed = true;
        m_boxes.critical(this, why + QStringLiteral("\nبرنامه بسته مي شود."),
                         QLatin1String(HalvexInfo::Name) + QStringLiteral(" Login"));
        emit failed();
        return;
    }
    if (m_storedPassword.trimmed().isEmpty())
        pass();
}

void FrmLogin::CmdLog_Click()
{
    // Letter case and surrounding spaces do not matter; the value is the one
    // read at the last activation.
    const QString typed = m_ui->txtpass1->text().toUpper().trimmed();
    const QString expected = m_storedPassword.toUpper().trimmed();
    if (typed == expected) {
        pass();
        return;
    }
    m_boxes.critical(this, QStringLiteral("متاسفانه کلمه عبور شما فاقد اعتبار است"),
                     QLatin1String(HalvexInfo::Name) + QStringLiteral(" Login"));
    m_ui->txtpass1->setSelection(0, int(m_ui->txtpass1->text().size()));
    m_ui->txtpass1->setFocus();
}

void FrmLogin::CmdClose_Click()
{
    emit closeRequested();
}

void FrmLogin::pass()
{
    m_passed = true;
    close();
    emit passed();
}
