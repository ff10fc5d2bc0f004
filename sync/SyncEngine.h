#pragma once

#include <atomic>
#include <functional>
#include <vector>

#include <QString>
#include <QUrl>

#include "contacts/VcardWriter.h"
#include "store/ContactRecord.h"
#include "sync/SyncReport.h"

class ContactStore;
class DavTransport;
class SyncState;
struct BookContents;
struct SyncPlan;

// Two-way sync of the data file with one CardDAV address book, three-way from
// the state the last sync left. A pass reads both sides, lets the planner
// decide, writes the server's cards first and then the data file in one
// all-or-nothing write that holds only if the file is still as read; a card
// changed meanwhile (412) or a file changed meanwhile makes another pass.
class SyncEngine
{
public:
    SyncEngine(ContactStore &store, DavTransport &client, const QUrl &book,
               VcardWriter::Version version);

    void setDryRun(bool on) { m_dryRun = on; }
    // Lets a sync delete every paired contact of one side when the other was emptied.
    void setForceDelete(bool on) { m_forceDelete = on; }
    void setProgress(std::function<void(const QString &)> show) { m_progress = std::move(show); }
    // The server's writes done and due, as they go.
    void setCounts(std::function<void(qint64, qint64)> f) { m_counts = std::move(f); }
    // Checked between requests: a stop leaves both sides whole, and the next
    // sync finishes the job. run() then fails with stopped() true.
    void setStop(const std::atomic_bool *stop) { m_stop = stop; }
    bool stopped() const { return m_stop && m_stop->load(); }
    // For tests: what another client or the window does at those instants.
    void setBeforeServerWrites(std::function<void()> f) { m_beforeServer = std::move(f); }
    void setBeforeLocalWrite(std::function<void()> f) { m_beforeLocal = std::move(f); }

    // False with why; what was done by then is in the report and the state.
    bool run(SyncReport &report, QString &why);

private:
    enum Outcome
    {
        Done,
        Again,
        Failed
    };
    Outcome pass(SyncReport &report, QString &why);
    bool readSides(std::vector<ContactRecord> &local, SyncState &state, QString &why);
    QString refusal(const SyncPlan &plan) const;
    // The write phase: the state between, the server, then the data file.
    Outcome write(const SyncState &state, const std::vector<ContactRecord> &local,
                  const BookContents &contents, SyncPlan &plan, SyncReport &report, QString &why);
    // Sends the plan's writes and takes in the answers; false with why when
    // the server refused one. again: a card changed meanwhile.
    bool sendWrites(const std::vector<ContactRecord> &local, SyncPlan &plan, bool &again,
                    QString &why);
    void progress(const QString &what) const;
    QUrl urlOf(const QString &path) const;

    ContactStore &m_store;
    DavTransport &m_client;
    QUrl m_book;
    VcardWriter::Version m_version;
    bool m_dryRun = false;
    bool m_forceDelete = false;
    std::function<void(const QString &)> m_progress;
    std::function<void(qint64, qint64)> m_counts;
    const std::atomic_bool *m_stop = nullptr;
    std::function<void()> m_beforeServer;
    std::function<void()> m_beforeLocal;
    QByteArray m_stateOnDisk; // the state file as this pass read it
};
