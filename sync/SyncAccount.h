#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>

struct SyncReport;

// The one sync account of this user, shared by the window, the tool and the
// timer: ~/.config/halvex/sync.conf, readable by its owner only. The password
// never goes here; it lives in the desktop keyring or a password file.
class SyncAccount
{
public:
    QUrl url; // the address book's, or the server's to find it from
    QString user;
    bool autoSync = false;
    // A certificate trusted besides the system's (PEM), as --ca-file gives.
    QByteArray certificate;

    // The last sync's outcome.
    QDateTime lastTime; // invalid: never synced
    QString lastError;  // empty when it went through
    int sent = 0;
    int received = 0;
    int changed = 0;
    int deleted = 0;
    int conflicts = 0;

    bool isSet() const { return url.isValid() && !url.isEmpty(); }

    // $XDG_CONFIG_HOME/halvex/sync.conf.
    static QString defaultPath();

    // A missing file is an unset account. False with why.
    bool load(const QString &path, QString &why);
    // Mode 0600 after each save. False with why.
    bool save(const QString &path, QString &why) const;

    void record(const SyncReport &report, const QString &error, const QDateTime &when);
    // For the window's status line.
    QString lastResultText() const;
    // The SHA-256 of the trusted certificate, as "AB:CD:...", or empty.
    QString certificateFingerprint() const;
};
