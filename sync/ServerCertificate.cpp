#include "sync/ServerCertificate.h"

#include <QSslConfiguration>
#include <QSslSocket>

namespace {

constexpr int kWaitMs = 20000;

bool onlyUnsigned(const QSslError &e)
{
    switch (e.error()) {
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return true;
    default:
        return false;
    }
}

} // namespace

ServerCertificate::Verdict ServerCertificate::check(const QUrl &url,
                                                    const QList<QSslCertificate> &trusted,
                                                    QSslCertificate &certificate, QString &why)
{
    QSslSocket socket;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(trusted);
    socket.setSslConfiguration(tls);
    QList<QSslError> errors;
    QObject::connect(&socket, &QSslSocket::sslErrors,
                     [&errors](const QList<QSslError> &e) { errors = e; });
    socket.connectToHostEncrypted(url.host(), quint16(url.port(443)));
    if (socket.waitForEncrypted(kWaitMs))
        return Accepted;
    const QList<QSslCertificate> chain = socket.peerCertificateChain();
    if (errors.isEmpty() || chain.isEmpty()) {
        why = socket.errorString();
        return NoAnswer;
    }
    for (const QSslError &e : std::as_const(errors)) {
        if (!onlyUnsigned(e)) {
            why = e.errorString();
            return Refused;
        }
    }
    // The chain's own root when it shows one, else the server's certificate:
    // either is a single certificate the user can compare and trust.
    certificate = chain.back().isSelfSigned() ? chain.back() : chain.front();
    if (!certificate.isSelfSigned()) {
        why = errors.front().errorString();
        return Refused;
    }
    return SelfSigned;
}

QString ServerCertificate::fingerprint(const QSslCertificate &certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}
