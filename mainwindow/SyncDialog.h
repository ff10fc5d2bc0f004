#pragma once

#include <memory>

#include <QDialog>
#include <QString>

#include "sync/AccountSync.h"

namespace Ui {
class SyncDialog;
}
class SyncSession;

// Sets up the sync account and syncs from the window: the server's address,
// the user and the password, whether to keep the password in the keyring and
// whether to sync by itself; afterwards what the sync did. What the server
// asks of the user (a book among several, a new book, a self-signed
// certificate) is asked here, and the sync runs again with the answer.
class SyncDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SyncDialog(SyncSession &session, QWidget *parent = nullptr);
    ~SyncDialog() override;

    bool syncing() const { return m_syncing; }
    QString summaryText() const;
    QString reportText() const;

signals:
    // A sync this dialog started has ended.
    void ended(const AccountSync::Outcome &outcome);

private:
    void syncClicked();
    // False (after saying why) when the fields do not make an account.
    bool readFields(SyncAccount &account, QString &password);
    void sync(bool create);
    void showOutcome(const AccountSync::Outcome &outcome);
    void showReport(const AccountSync::Outcome &outcome);
    void showDetails(bool shown);
    void showBooks(const QList<AddressBook> &books);
    void fail(const QString &text);
    bool save();
    // Into the keyring, when asked to and the password was typed.
    void keepPassword();

    std::unique_ptr<Ui::SyncDialog> m_ui;
    SyncSession &m_session;
    SyncAccount m_account;
    QString m_password;
    bool m_syncing = false;
    bool m_typed = false; // the password was typed for this sync
};
