#pragma once

#include <memory>

#include <QString>
#include <QUrl>

// Where the window keeps the sync's password: the desktop keyring, or a
// stand-in in tests. Without a keyring nothing is found and nothing is kept.
class SyncKeyring
{
public:
    virtual ~SyncKeyring() = default;
    virtual bool read(const QString &user, const QUrl &server, QString &password) = 0;
    virtual bool write(const QString &user, const QUrl &server, const QString &password,
                       QString &why) = 0;

    // The desktop's, shared with the tool's --remember.
    static std::unique_ptr<SyncKeyring> desktop();
};
