#include "app/HalvexApp.h"

#include <QApplication>

#include "app/Startup.h"
#include "HalvexInfo.h"
#include "mainwindow/SyncKeyring.h"
#include "mainwindow/SyncSession.h"
#include "platform/Fonts.h"
#include "platform/Translations.h"
#include "store/DataLocation.h"
#include "sync/SyncAccount.h"

HalvexApp::HalvexApp()
{
    QApplication::setApplicationName(QLatin1String(HalvexInfo::Name));
    QApplication::setApplicationVersion(QLatin1String(HalvexInfo::Version));
    Fonts::install();
    Translations::install();

    const QString base = DataLocation::baseFolder(QCoreApplication::applicationDirPath());
    // A folder that cannot be made is reported by the main window's load, with its path.
    if (DataLocation::kind(QCoreApplication::applicationDirPath()) == DataLocation::UserFolder)
        DataLocation::prepare(base);
    m_store = std::make_unique<ContactStore>(base);
    m_keyring = SyncKeyring::desktop();
    m_sync =
        std::make_unique<SyncSession>(*m_store, m_boxes, *m_keyring, SyncAccount::defaultPath());
    m_startup = std::make_unique<Startup>(FrmMainServices{*m_store, m_boxes, m_today, m_launcher,
                                                          m_passwords, m_registry, m_player,
                                                          m_fileDialogs, m_sync.get()});
}

HalvexApp::~HalvexApp() = default;

int HalvexApp::exec()
{
    int status = -1;
    QObject::connect(m_startup.get(), &Startup::finished, qApp, [&status](int code) {
        status = code;
        QCoreApplication::exit(code);
    });
    m_startup->start();
    const int loop = QApplication::exec();
    return status >= 0 ? status : loop;
}
