#pragma once

#include <QString>
#include <QUrl>

// The desktop's keyring (through QtKeychain), for --remember. Without the
// library, or without a keyring, nothing is found and nothing is kept.
class Keyring
{
public:
    static bool read(const QString &user, const QUrl &server, QString &password);
    static bool write(const QString &user, const QUrl &server, const QString &password,
                      QString &why);
};
