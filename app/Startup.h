#pragma once

#include <memory>

#include <QObject>
#include <QPointer>

#include "app/FrmLoad.h"
#include "app/FrmLogin.h"
#include "mainwindow/FrmMainServices.h"

class FrmMain;

// Opens the windows in their order: splash, login, main window. Owns them; the
// services are the caller's.
class Startup : public QObject
{
    Q_OBJECT
public:
    explicit Startup(const FrmMainServices &services, int splashMs = FrmLoad::HandOverMs);
    ~Startup() override;

    void start();

    FrmLoad *splash() const { return m_splash; }
    FrmLogin *login() const { return m_login; }
    FrmMain *mainWindow() const { return m_main.get(); }

signals:
    // The program is to end now with this status (the login was closed, or
    // the main window could not load). A closed main window ends it by itself.
    void finished(int exitCode);

private:
    void openLogin();
    void openMain();
    void end(int exitCode);

    FrmMainServices m_services;
    int m_splashMs;
    QPointer<FrmLoad> m_splash;
    QPointer<FrmLogin> m_login;
    std::unique_ptr<FrmMain> m_main;
};
