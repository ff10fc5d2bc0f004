#include "app/Startup.h"

#include <QApplication>
#include <QTimer>

#include "app/FrmLogin.h"
#include "mainwindow/FrmMain.h"

Startup::Startup(const FrmMainServices &services, int splashMs)
    : m_services(services), m_splashMs(splashMs)
{
}

Startup::~Startup()
{
    delete m_login;
    delete m_splash;
}

void Startup::start()
{
    // Between the splash and the login, and the login and the main window, no
    // window is open for a moment; that is no reason to end.
    QApplication::setQuitOnLastWindowClosed(false);
    m_splash = new FrmLoad(m_services.date, m_splashMs);
    connect(m_splash, &FrmLoad::handedOver, this, &Startup::openLogin);
    m_splash->show();
}

void Startup::openLogin()
{
    // The splash is gone for good.
    if (m_splash) {
        m_splash->deleteLater();
        m_splash = nullptr;
    }
    m_login = new FrmLogin(m_services.passwords, m_services.boxes);
    connect(m_login, &FrmLogin::passed, this, &Startup::openMain);
    connect(m_login, &FrmLogin::closeRequested, this, [this] { end(0); });
    connect(m_login, &FrmLogin::failed, this, [this] { end(1); });
    m_login->show();
}

void Startup::openMain()
{
    if (m_login) {
        m_login->deleteLater();
        m_login = nullptr;
    }
    m_main = std::make_unique<FrmMain>(m_services);
    if (!m_main->Form_Load()) {
        end(1);
        return;
    }
    // Never re-created for this: only a splash still open is told to stop.
    if (m_splash)
        m_splash->timer()->stop();
    m_main->show();
    // From now on closing the main window (and an about box left open) ends the program.
    QApplication::setQuitOnLastWindowClosed(true);
}

void Startup::end(int exitCode)
{
    // At once: no window is asked, nothing else runs.
    if (m_login)
        m_login->hide();
    if (m_splash)
        m_splash->hide();
    if (m_main)
        m_main->hide();
    emit finished(exitCode);
}
