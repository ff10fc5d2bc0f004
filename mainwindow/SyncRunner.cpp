#include "mainwindow/SyncRunner.h"

#include <QProgressDialog>
#include <QThread>

#include "store/ContactStore.h"
#include "sync/DavTransport.h"

SyncRunner::SyncRunner(ContactStore &store, QObject *parent)
    : QObject(parent), m_store(store), m_transport(&AccountSync::network)
{
    m_tick.setInterval(50);
    connect(&m_tick, &QTimer::timeout, this, &SyncRunner::showProgress);
}

SyncRunner::~SyncRunner()
{
    // The window is closing: the sync stops at its next safe point.
    if (m_thread) {
        m_stop = true;
        m_thread->wait();
        delete m_thread;
    }
    delete m_progress;
}

bool SyncRunner::start(const AccountSync::Request &request, QWidget *progressParent)
{
    if (m_thread)
        return false;
    m_stop = false;
    m_done = 0;
    m_total = 0;
    m_outcome = std::make_unique<AccountSync::Outcome>();
    m_thread = QThread::create([this, request] {
        AccountSync sync(m_store, m_transport);
        sync.setStop(&m_stop);
        sync.setWaitMs(m_waitMs);
        sync.setWaiting([this] { QMetaObject::invokeMethod(this, &SyncRunner::waiting); });
        sync.setCounts([this](qint64 done, qint64 total) {
            m_done = done;
            m_total = total;
        });
        *m_outcome = sync.run(request);
    });
    // Queued to this thread, so the outcome is read once the worker is done.
    connect(m_thread, &QThread::finished, this, &SyncRunner::ended);
    m_progressParent = progressParent;
    m_clock.start();
    if (progressParent)
        m_tick.start();
    m_thread->start();
    return true;
}

void SyncRunner::showProgress()
{
    if (!m_progressParent || m_clock.elapsed() < ShowAfterMs)
        return;
    if (!m_progress) {
        // Not modal: the window stays usable while the sync runs.
        m_progress = new QProgressDialog(QStringLiteral("همگام‌سازی با سرور..."),
                                         QStringLiteral("انصراف"), 0, 0, m_progressParent);
        m_progress->setObjectName(QStringLiteral("progress"));
        m_progress->setLayoutDirection(Qt::RightToLeft);
        m_progress->setWindowTitle(m_progressParent->window()->windowTitle());
        m_progress->setWindowModality(Qt::NonModal);
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
        m_progress->setMinimumDuration(0);
        connect(m_progress, &QProgressDialog::canceled, this, [this] {
            m_stop = true;
            m_progress->setLabelText(QStringLiteral("در حال توقف..."));
        });
        m_progress->show();
    }
    if (m_stop)
        return;
    const qint64 total = m_total;
    if (total <= 0) {
        m_progress->setRange(0, 0);
        return;
    }
    const qint64 done = std::min<qint64>(m_done, total);
    m_progress->setRange(0, int(std::min<qint64>(total, INT_MAX)));
    m_progress->setValue(int(done));
    m_progress->setLabelText(
        QStringLiteral("همگام‌سازی با سرور: %1 از %2").arg(done).arg(total));
}

void SyncRunner::ended()
{
    m_tick.stop();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    delete m_progress;
    const AccountSync::Outcome outcome = std::move(*m_outcome);
    m_outcome.reset();
    emit finished(outcome);
}
