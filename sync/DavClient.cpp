#include "sync/DavClient.h"

#include <algorithm>
#include <climits>
#include <memory>

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QTimer>

namespace {

constexpr int kParallel = 6;                // QtNetwork's own limit of connections per server
constexpr qint64 kReadBuffer = 1024 * 1024; // what QtNetwork may hold before we read it

QString timeoutText()
{
    return QStringLiteral("سرور در زمان پاسخ نداد");
}

QString cutText()
{
    return QStringLiteral("سرور اتصال را پیش از پایان پاسخ بست");
}

QString networkText(QNetworkReply *reply)
{
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("سرور اتصال را نپذيرفت (شايد روشن نيست)");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("نام سرور پيدا نشد");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return timeoutText();
    case QNetworkReply::RemoteHostClosedError:
        return cutText();
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("گواهي HTTPS سرور پذيرفته نشد (%1)؛ اگر گواهي خودامضاست، آن را با "
                              "--ca-file بدهيد")
            .arg(reply->errorString());
    default:
        return reply->errorString();
    }
}

// A failure below HTTP, or a reply the server did not finish: whatever status
// came first, the body is not whole.
bool brokenOff(QNetworkReply::NetworkError e)
{
    return (e > QNetworkReply::NoError && e < QNetworkReply::ContentAccessDenied) ||
           e == QNetworkReply::ProtocolFailure;
}

QString shown(const QUrl &url)
{
    return url.toString(QUrl::RemoveUserInfo);
}

} // namespace

// One request in flight, with the redirects it follows.
class DavClient::Call
{
public:
    DavRequest request;
    QNetworkReply *reply = nullptr;
    QUrl at; // where this hop went
    int redirects = 0;
    DavReply result;
    QString failure; // set before an abort: what to tell the user
    QTimer deadline;
};

// The requests of one sendAll, at most kParallel at a time.
class DavClient::Batch
{
public:
    Batch(DavClient &client, const std::vector<DavRequest> &requests,
          const std::function<void(qsizetype)> &done)
        : m_client(client), m_requests(requests), m_done(done)
    {
    }

    std::vector<DavReply> run();

private:
    void startNext();
    void launch(Call &c, const QUrl &url);
    void take(Call &c);
    void landed(Call &c);
    void abort(Call &c, const QString &why);
    void finish(Call &c);

    DavClient &m_client;
    const std::vector<DavRequest> &m_requests;
    const std::function<void(qsizetype)> &m_done;
    std::vector<std::unique_ptr<Call>> m_calls;
    QEventLoop m_loop;
    qsizetype m_next = 0, m_finished = 0, m_running = 0;
    bool m_overdue = false;
};

std::vector<DavReply> DavClient::Batch::run()
{
    if (!m_client.m_run.isValid())
        m_client.m_run.start();
    m_calls.reserve(m_requests.size());
    QTimer runDeadline;
    runDeadline.setSingleShot(true);
    // A coarse timer may fire a little early; what is sent after it must
    // still find the run over.
    runDeadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&runDeadline, &QTimer::timeout, &m_loop, [this] {
        m_overdue = true;
        m_client.m_runOver = true;
        // An abort finishes its call at once and may start the next ones,
        // which see m_overdue and end too.
        for (size_t i = 0; i < m_calls.size(); ++i)
            if (m_calls[i]->reply)
                abort(*m_calls[i], timeoutText());
    });
    const qint64 left = m_client.m_runMs - m_client.m_run.elapsed();
    m_overdue = left <= 0 || m_client.m_runOver;
    if (!m_overdue)
        runDeadline.start(int(std::min<qint64>(left, INT_MAX)));
    startNext();
    if (m_finished < qsizetype(m_requests.size()))
        m_loop.exec();

    std::vector<DavReply> out;
    out.reserve(m_calls.size());
    for (auto &c : m_calls)
        out.push_back(std::move(c->result));
    return out;
}

void DavClient::Batch::startNext()
{
    while (m_running < kParallel && m_next < qsizetype(m_requests.size())) {
        Call &c = *m_calls.emplace_back(std::make_unique<Call>());
        c.request = m_requests[size_t(m_next++)];
        c.result.url = c.request.url;
        ++m_running;
        if (m_overdue) {
            c.result.error = timeoutText();
            finish(c);
        } else if (!m_client.m_auth.isEmpty() && !safeForPassword(c.request.url)) {
            c.result.error = QStringLiteral("رمز از راه HTTP بي رمزنگاري فرستاده نمي شود: %1؛ "
                                            "نشاني https بدهيد")
                                 .arg(shown(c.request.url));
            finish(c);
        } else {
            // From the request's start, redirects included: a server that
            // trickles its answer gets no more time for each byte it sends.
            c.deadline.setSingleShot(true);
            c.deadline.setTimerType(Qt::PreciseTimer);
            QObject::connect(&c.deadline, &QTimer::timeout, &m_loop,
                             [this, call = &c] { abort(*call, timeoutText()); });
            c.deadline.start(m_client.m_requestMs);
            launch(c, c.request.url);
        }
    }
    if (m_finished == qsizetype(m_requests.size()))
        m_loop.quit();
}

void DavClient::Batch::launch(Call &c, const QUrl &url)
{
    c.at = url;
    c.result.body.clear();
    c.reply = m_client.start(c.request, url);
    c.reply->setReadBufferSize(kReadBuffer);
    QObject::connect(c.reply, &QNetworkReply::metaDataChanged, &m_loop, [this, call = &c] {
        const QVariant length = call->reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > MaxReply)
            abort(*call,
                  QStringLiteral("پاسخ سرور بیش از %1 مگابایت است").arg(MaxReply / (1024 * 1024)));
    });
    QObject::connect(c.reply, &QNetworkReply::readyRead, &m_loop,
                     [this, call = &c] { take(*call); });
    QObject::connect(c.reply, &QNetworkReply::finished, &m_loop,
                     [this, call = &c] { landed(*call); });
}

// Reads what has come so far, so that no more than the limit is ever held.
void DavClient::Batch::take(Call &c)
{
    if (!c.reply || !c.failure.isEmpty())
        return;
    const qint64 room = MaxReply - c.result.body.size();
    c.result.body += c.reply->read(std::max<qint64>(room, 0) + 1);
    if (c.result.body.size() > MaxReply) {
        c.result.body.clear();
        c.result.body.squeeze();
        abort(c, QStringLiteral("پاسخ سرور بیش از %1 مگابایت است").arg(MaxReply / (1024 * 1024)));
    }
}

void DavClient::Batch::abort(Call &c, const QString &why)
{
    if (!c.reply || !c.failure.isEmpty())
        return;
    c.failure = why;
    c.reply->abort(); // finished comes at once
}

void DavClient::Batch::landed(Call &c)
{
    take(c);
    QNetworkReply *reply = std::exchange(c.reply, nullptr);
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray location = reply->rawHeader("Location");
    c.result.url = c.at;
    if (!c.failure.isEmpty()) {
        c.result.error = c.failure;
    } else if (brokenOff(reply->error()) || status == 0) {
        c.result.error = networkText(reply);
    } else if (const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
               length.isValid() && length.toLongLong() > c.result.body.size()) {
        // QtNetwork does not always notice a connection closed early.
        c.result.error = cutText();
    } else if (status >= 300 && status < 400 && status != 304 && !location.isEmpty()) {
        const QUrl to = c.at.resolved(QUrl::fromEncoded(location));
        if (!sameOrigin(to, c.request.url)) {
            c.result.error =
                QStringLiteral(
                    "سرور %1 درخواست را به نشانی دیگری فرستاد: %2؛ نام "
                    "کاربر، رمز و مخاطب‌ها جز به همان نشانی‌ای "
                    "که "
                    "داده‌اید "
                    "فرستاده نمی‌شوند. نشانی تازه را خودتان "
                    "بدهید.")
                    .arg(shown(c.at), shown(to));
        } else if (++c.redirects > MaxRedirects) {
            c.result.error =
                QStringLiteral("بيش از %1 بار به جاي ديگر فرستاده شد").arg(MaxRedirects);
        } else {
            launch(c, to);
            return;
        }
    } else {
        c.result.status = status;
        c.result.etag = reply->rawHeader("ETag");
    }
    if (!c.result.error.isEmpty())
        c.result.body.clear();
    finish(c);
    startNext();
}

void DavClient::Batch::finish(Call &c)
{
    c.deadline.stop();
    --m_running;
    ++m_finished;
    if (m_done)
        m_done(m_finished);
}

DavClient::DavClient()
{
    // No cookies, no cache, no stored credentials: each run starts clean.
    m_nam.setCookieJar(nullptr);
}

void DavClient::setCredentials(const QString &user, const QString &password)
{
    m_auth = user.isEmpty() && password.isEmpty()
                 ? QByteArray()
                 : "Basic " + (user + u':' + password).toUtf8().toBase64();
}

void DavClient::setDeadlines(int requestMs, qint64 runMs)
{
    m_requestMs = requestMs;
    m_runMs = runMs;
}

bool DavClient::addCaFile(const QString &path, QString &why)
{
    const QList<QSslCertificate> certs = QSslCertificate::fromPath(path, QSsl::Pem);
    if (certs.isEmpty()) {
        why = QStringLiteral("در %1 گواهي PEM پيدا نشد").arg(path);
        return false;
    }
    m_extraCas += certs;
    return true;
}

bool DavClient::safeForPassword(const QUrl &url)
{
    if (url.scheme() == QLatin1String("https"))
        return true;
    const QString host = url.host();
    if (host == QLatin1String("localhost"))
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool DavClient::sameOrigin(const QUrl &a, const QUrl &b)
{
    const auto port = [](const QUrl &u) {
        return u.port(u.scheme() == QLatin1String("https") ? 443 : 80);
    };
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && port(a) == port(b);
}

QNetworkReply *DavClient::start(const DavRequest &request, const QUrl &url)
{
    QNetworkRequest r(url);
    r.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    r.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    r.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("halvex-contacts"));
    // Bodies as sent, so that their length is the one announced and the limit
    // counts what crossed the wire.
    r.setRawHeader("Accept-Encoding", "identity");
    if (!m_auth.isEmpty())
        r.setRawHeader("Authorization", m_auth);
    if (request.depth >= 0)
        r.setRawHeader("Depth", QByteArray::number(request.depth));
    if (!request.body.isEmpty() && !request.method.startsWith("PUT"))
        r.setRawHeader("Content-Type", "application/xml; charset=utf-8");
    for (const auto &[name, value] : request.headers)
        r.setRawHeader(name, value);
    if (url.scheme() == QLatin1String("https") && !m_extraCas.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(m_extraCas);
        r.setSslConfiguration(tls);
    }
    return m_nam.sendCustomRequest(r, request.method, request.body);
}

DavReply DavClient::send(const DavRequest &request)
{
    return sendAll({request}).front();
}

std::vector<DavReply> DavClient::sendAll(const std::vector<DavRequest> &requests,
                                         const std::function<void(qsizetype)> &done)
{
    QElapsedTimer clock;
    clock.start();
    std::vector<DavReply> out = Batch(*this, requests, done).run();
    m_serverMs += clock.elapsed();
    return out;
}
