#pragma once

#include <functional>

#include <QString>
#include <QUrl>

#include "contacts/VcardWriter.h"
#include "sync/SyncReport.h"

class ContactStore;
class DavClient;

// Two-way sync of the data file with one CardDAV address book, three-way from
// the state the last sync left. A pass reads both sides, writes the server's
// cards first and then the data file in one all-or-nothing write that holds
// only if the file is still as read; a card changed meanwhile (412) or a file
// changed meanwhile makes another pass.
class SyncEngine
{
public:
    SyncEngine(ContactStore &store, DavClient &client, const QUrl &book,
               VcardWriter::Version version);

    void setDryRun(bool on) { m_dryRun = on; }
    void setProgress(std::function<void(const QString &)> show) { m_progress = std::move(show); }
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

    ContactStore &m_store;
    DavClient &m_client;
    QUrl m_book;
    VcardWriter::Version m_version;
    bool m_dryRun = false;
    std::function<void(const QString &)> m_progress;
    std::function<void()> m_beforeServer;
    std::function<void()> m_beforeLocal;
};
