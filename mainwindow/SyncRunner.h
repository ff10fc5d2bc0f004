#pragma once

#include <atomic>
#include <memory>

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "sync/AccountSync.h"

class ContactStore;
class QProgressDialog;
class QThread;
class QWidget;

// Runs the account's sync on a worker thread with its own network client,
// while the window stays usable. One at a time: the window's syncs share one
// runner. A sync that is not quiet shows the progress window after half a
// second, with the server's writes counted and "انصراف" to stop at a safe
// point.
class SyncRunner : public QObject
{
    Q_OBJECT
public:
    static constexpr int ShowAfterMs = 500;

    explicit SyncRunner(ContactStore &store, QObject *parent = nullptr);
    ~SyncRunner() override;

    // For tests: a scripted server instead of the network.
    void setTransport(AccountSync::Transport transport) { m_transport = std::move(transport); }
    void setWaitMs(int ms) { m_waitMs = ms; }

    bool busy() const { return m_thread != nullptr; }
    // False when a sync is already running. progressParent: where the
    // progress window shows; none for a quiet sync.
    bool start(const AccountSync::Request &request, QWidget *progressParent);
    void stop() { m_stop = true; }

signals:
    void finished(const AccountSync::Outcome &outcome);
    // Another sync of the same data file holds it; this one waits its turn.
    void waiting();

private:
    void showProgress();
    void ended();

    ContactStore &m_store;
    AccountSync::Transport m_transport;
    int m_waitMs = 1000;
    QThread *m_thread = nullptr;
    std::unique_ptr<AccountSync::Outcome> m_outcome;
    std::atomic_bool m_stop{false};
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_total{0};
    QPointer<QWidget> m_progressParent;
    QPointer<QProgressDialog> m_progress;
    QTimer m_tick;
    QElapsedTimer m_clock;
};
