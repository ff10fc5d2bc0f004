#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

#include "sync/AddressBookFinder.h"
#include "sync/SyncAccount.h"
#include "sync/SyncReport.h"

class ContactStore;
class DavTransport;

// One sync of the saved account, run on a worker thread: it finds the address
// book, makes one when asked, waits its turn on the data file's sync lock and
// syncs. What needs the user (a choice of book, a new book, a certificate, a
// password) comes back as the outcome, and the caller runs it again with the
// answer.
class AccountSync
{
public:
    struct Request
    {
        SyncAccount account;
        QString password;
        bool create = false; // make a book named "Halvex" when there is none
    };
    enum Result
    {
        Synced,
        Failed,
        Stopped,
        NoBook,
        SeveralBooks,
        WrongPassword,
        UntrustedCertificate,
    };
    struct Outcome
    {
        Result result = Failed;
        QString why;
        QList<AddressBook> books; // for SeveralBooks
        QUrl book;                // the one synced or made
        SyncReport report;
        QSslCertificate certificate; // the self-signed one, for UntrustedCertificate
    };
    // Made on the thread that runs the sync, where its network objects live.
    using Transport = std::function<std::unique_ptr<DavTransport>(const Request &)>;

    static constexpr auto NewBookName = "Halvex";

    AccountSync(ContactStore &store, Transport transport);

    void setCounts(std::function<void(qint64, qint64)> f) { m_counts = std::move(f); }
    void setStop(const std::atomic_bool *stop) { m_stop = stop; }
    // Called each time the lock is found taken, before the wait.
    void setWaiting(std::function<void()> f) { m_waiting = std::move(f); }
    void setWaitMs(int ms) { m_waitMs = ms; }

    Outcome run(const Request &request);

    // The network client, with the account's user, password and certificate.
    static std::unique_ptr<DavTransport> network(const Request &request);

private:
    bool stopped() const { return m_stop && m_stop->load(); }
    // False when stopped while another sync held the data file.
    bool waitTurn();
    void failure(const Request &request, bool refused, Outcome &out) const;

    ContactStore &m_store;
    Transport m_transport;
    std::function<void(qint64, qint64)> m_counts;
    std::function<void()> m_waiting;
    const std::atomic_bool *m_stop = nullptr;
    int m_waitMs = 1000;
};
