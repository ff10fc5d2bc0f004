#include "sync/DavClient.h"

#include <memory>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkReply>
#include <QSslConfiguration>

namespace {

constexpr int kParallel = 6; // QtNetwork's own limit of connections per server
constexpr int kMaxRedirects = 5;
constexpr int kTimeoutMs = 60000;

QString networkText(QNetworkReply *reply)
{
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("سرور اتصال را نپذيرفت (شايد روشن نيست)");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("نام سرور پيدا نشد");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral("سرور در زمان پاسخ نداد");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("گواهي HTTPS سرور پذيرفته نشد (%1)؛ اگر گواهي خودامضاست، آن را با "
                              "--ca-file بدهيد")
            .arg(reply->errorString());
    default:
        return reply->errorString();
    }
}

} // namespace

// One request in flight, with the redirects it follows.
class DavClient::Call
{
public:
    DavRequest request;
    QNetworkReply *reply = nullptr;
    int redirects = 0;
    DavReply result;
    bool done = false;
};

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

QNetworkReply *DavClient::start(const DavRequest &request, const QUrl &url)
{
    QNetworkRequest r(url);
    r.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    r.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    r.setTransferTimeout(kTimeoutMs);
    r.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("halvex-contacts"));
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
    std::vector<std::unique_ptr<Call>> calls;
    calls.reserve(requests.size());
    QEventLoop loop;
    qsizetype next = 0, finished = 0, running = 0;
    QElapsedTimer clock;
    clock.start();

    std::function<void(Call &, const QUrl &)> launch;
    const auto finish = [&](Call &c) {
        c.done = true;
        --running;
        ++finished;
        if (done)
            done(finished);
    };
    const auto startNext = [&] {
        while (running < kParallel && next < qsizetype(requests.size())) {
            auto &c = calls.emplace_back(std::make_unique<Call>());
            c->request = requests[size_t(next++)];
            ++running;
            if (!m_auth.isEmpty() && !safeForPassword(c->request.url)) {
                c->result.error =
                    QStringLiteral("رمز از راه HTTP بي رمزنگاري فرستاده نمي شود: %1؛ نشاني "
                                   "https بدهيد")
                        .arg(c->request.url.toString(QUrl::RemoveUserInfo));
                finish(*c);
                continue;
            }
            launch(*c, c->request.url);
        }
        if (finished == qsizetype(requests.size()))
            loop.quit();
    };
    launch = [&](Call &c, const QUrl &url) {
        c.reply = start(c.request, url);
        QObject::connect(c.reply, &QNetworkReply::finished, &loop, [&, url, call = &c] {
            QNetworkReply *reply = std::exchange(call->reply, nullptr);
            reply->deleteLater();
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            const QByteArray location = reply->rawHeader("Location");
            if (status >= 300 && status < 400 && status != 304 && !location.isEmpty()) {
                const QUrl to = url.resolved(QUrl::fromEncoded(location));
                if (++call->redirects > kMaxRedirects) {
                    call->result.error =
                        QStringLiteral("بيش از %1 بار به جاي ديگر فرستاده شد").arg(kMaxRedirects);
                } else if (!m_auth.isEmpty() && !safeForPassword(to)) {
                    call->result.error =
                        QStringLiteral("سرور به نشاني بي رمزنگاري %1 فرستاد؛ رمز آنجا فرستاده "
                                       "نمي شود")
                            .arg(to.toString(QUrl::RemoveUserInfo));
                } else {
                    launch(*call, to);
                    return;
                }
            } else if (status == 0) {
                call->result.error = networkText(reply);
            } else {
                call->result.status = status;
                call->result.body = reply->readAll();
                call->result.etag = reply->rawHeader("ETag");
            }
            call->result.url = url;
            finish(*call);
            startNext();
        });
    };
    startNext();
    if (finished < qsizetype(requests.size()))
        loop.exec();
    m_serverMs += clock.elapsed();

    std::vector<DavReply> out;
    out.reserve(calls.size());
    for (auto &c : calls)
        out.push_back(std::move(c->result));
    return out;
}
