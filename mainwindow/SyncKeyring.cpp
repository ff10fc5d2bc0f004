#include "mainwindow/SyncKeyring.h"

#include "sync/Keyring.h"

namespace {

class DesktopKeyring : public SyncKeyring
{
public:
    bool read(const QString &user, const QUrl &server, QString &password) override
    {
        return Keyring::read(user, server, password);
    }
    bool write(const QString &user, const QUrl &server, const QString &password,
               QString &why) override
    {
        return Keyring::write(user, server, password, why);
    }
};

} // namespace

std::unique_ptr<SyncKeyring> SyncKeyring::desktop()
{
    return std::make_unique<DesktopKeyring>();
}
