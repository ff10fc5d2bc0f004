#include "mainwindow/SyncSession.h"

#include <QDateTime>
#include <QWidget>

#include "mainwindow/SyncKeyring.h"
#include "platform/ModalBoxes.h"
#include "sync/SyncAccount.h"

namespace {

const QString kTitle = QStringLiteral("همگام سازي با سرور");

// What stopped a sync, for the status line and a quiet sync's message.
QString failureText(const AccountSync::Outcome &o)
{
    switch (o.result) {
    case AccountSync::NoBook:
        return QStringLiteral("در این حساب دفترچهٔ نشانی‌ای نیست.");
    case AccountSync::SeveralBooks:
        return QStringLiteral("در این حساب چند دفترچهٔ نشانی هست؛ یکی را در پنجرهٔ "
                              "همگام‌سازی برگزینید.");
    case AccountSync::Synced:
    case AccountSync::Stopped:
        return {};
    default:
        return o.why.isEmpty() ? QStringLiteral("همگام‌سازی نشد.") : o.why;
    }
}

QString passwordKey(const QString &user, const QUrl &url)
{
    return user + u'@' + url.scheme() + u':' + url.host() + u':' + QString::number(url.port());
}

} // namespace

SyncSession::SyncSession(ContactStore &store, ModalBoxes &boxes, SyncKeyring &keyring,
                         QString accountPath, QObject *parent)
    : QObject(parent), m_store(store), m_boxes(boxes), m_keyring(keyring),
      m_accountPath(std::move(accountPath)), m_runner(store)
{
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &SyncSession::syncQuietly);
    connect(&m_runner, &SyncRunner::finished, this, &SyncSession::ended);
    m_status = account().lastResultText();
}

SyncSession::~SyncSession() = default;

SyncAccount SyncSession::account(QString *why) const
{
    SyncAccount a;
    QString error;
    if (!a.load(m_accountPath, error) && why)
        *why = error;
    return a;
}

void SyncSession::remember(const QString &user, const QUrl &url, const QString &password)
{
    m_passwordFor = passwordKey(user, url);
    m_password = password;
}

QString SyncSession::password(const QString &user, const QUrl &url)
{
    if (user.isEmpty())
        return {};
    if (!m_password.isEmpty() && m_passwordFor == passwordKey(user, url))
        return m_password;
    QString kept;
    if (m_keyring.read(user, url, kept))
        return kept;
    return {};
}

void SyncSession::run(const AccountSync::Request &request, QWidget *progressParent, Done done)
{
    Queued q{request, progressParent, std::move(done)};
    if (m_current) {
        m_next = std::move(q); // its turn comes when this one ends
        return;
    }
    m_current = std::move(q);
    m_runner.start(m_current->request, m_current->progressParent);
}

void SyncSession::ended(const AccountSync::Outcome &outcome)
{
    Queued was = std::move(*m_current);
    m_current.reset();
    keep(outcome);
    if (outcome.result == AccountSync::Synced)
        emit synced();
    if (was.done)
        was.done(outcome);
    if (m_next && !m_current) {
        m_current = std::move(m_next);
        m_next.reset();
        // A dialog closed meanwhile still gets its sync, quietly.
        m_runner.start(m_current->request, m_current->progressParent);
    }
}

void SyncSession::keep(const AccountSync::Outcome &outcome)
{
    if (outcome.result == AccountSync::Stopped)
        return;
    SyncAccount saved = account();
    saved.record(outcome.report, failureText(outcome), QDateTime::currentDateTime());
    QString why;
    saved.save(m_accountPath, why);
    setStatus(saved.lastResultText());
}

void SyncSession::setStatus(const QString &text)
{
    if (text == m_status)
        return;
    m_status = text;
    emit statusChanged(text);
}

void SyncSession::start(QWidget *window)
{
    m_window = window;
    if (account().autoSync)
        setAutomatic(true);
}

void SyncSession::setAutomatic(bool on)
{
    if (on == m_timer.isActive())
        return;
    if (!on) {
        m_timer.stop();
        return;
    }
    m_timer.start();
    syncQuietly();
}

void SyncSession::syncQuietly()
{
    if (m_current)
        return; // one is under way: this tick is its turn
    const SyncAccount a = account();
    if (!a.isSet() || !a.autoSync)
        return;
    AccountSync::Request request{a, password(a.user, a.url), false};
    if (!a.user.isEmpty() && request.password.isEmpty()) {
        // Asking every quarter of an hour would be worse than waiting.
        setStatus(QStringLiteral(
            "همگام‌سازی خودکار گذرواژه می‌خواهد: پنجرهٔ همگام‌سازی را "
            "باز "
            "کنید."));
        return;
    }
    run(request, nullptr, [this](const AccountSync::Outcome &o) {
        const QString failed = failureText(o);
        if (!failed.isEmpty())
            m_boxes.critical(
                m_window,
                QStringLiteral("همگام‌سازی خودکار نشد:\n%1").arg(failed),
                kTitle);
    });
}
