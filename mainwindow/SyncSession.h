#pragma once

#include <functional>
#include <optional>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "mainwindow/SyncRunner.h"
#include "sync/AccountSync.h"

class ContactStore;
class ModalBoxes;
class SyncKeyring;
class QWidget;

// The window's side of the sync account: one runner for the dialog and the
// automatic sync, the password typed in this run of the program, and the
// status line's text. Every sync's outcome is kept with the account.
class SyncSession : public QObject
{
    Q_OBJECT
public:
    static constexpr int IntervalMs = 15 * 60 * 1000;
    using Done = std::function<void(const AccountSync::Outcome &)>;

    SyncSession(ContactStore &store, ModalBoxes &boxes, SyncKeyring &keyring, QString accountPath,
                QObject *parent = nullptr);
    ~SyncSession() override;

    SyncRunner &runner() { return m_runner; }
    ModalBoxes &boxes() { return m_boxes; }
    SyncKeyring &keyring() { return m_keyring; }
    const QString &accountPath() const { return m_accountPath; }
    // The saved account; an unreadable one is unset, with why.
    SyncAccount account(QString *why = nullptr) const;

    // The password typed in this run of the program for that user and
    // server, else the keyring's; empty when neither has one.
    QString password(const QString &user, const QUrl &url);
    void remember(const QString &user, const QUrl &url, const QString &password);

    // Runs now, or after the sync under way. progressParent: none for a
    // quiet sync. done gets the outcome on the window's thread.
    void run(const AccountSync::Request &request, QWidget *progressParent, Done done);

    // At the window's start: syncs now and every 15 minutes when the account
    // says so. window: the parent of a failure's message.
    void start(QWidget *window);
    void setAutomatic(bool on);
    QTimer &timer() { return m_timer; }
    // A tick of the automatic sync.
    void syncQuietly();

    QString status() const { return m_status; }

signals:
    void statusChanged(const QString &text);
    // The data file may have changed.
    void synced();

private:
    struct Queued
    {
        AccountSync::Request request;
        QPointer<QWidget> progressParent;
        Done done;
    };
    void ended(const AccountSync::Outcome &outcome);
    void keep(const AccountSync::Outcome &outcome);
    void setStatus(const QString &text);

    ContactStore &m_store;
    ModalBoxes &m_boxes;
    SyncKeyring &m_keyring;
    QString m_accountPath;
    SyncRunner m_runner;
    QTimer m_timer;
    QPointer<QWidget> m_window;
    QString m_password;
    QString m_passwordFor;
    QString m_status;
    std::optional<Queued> m_current;
    std::optional<Queued> m_next;
};
