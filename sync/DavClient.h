#pragma once

#include <functional>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

#include "sync/DavTransport.h"

// A blocking WebDAV client on QtNetwork. The password goes with every request
// (Basic), but only over HTTPS or to this machine; redirects are followed by
// hand so that the same rule holds for each hop.
class DavClient : public DavTransport
{
public:
    DavClient();

    void setCredentials(const QString &user, const QString &password);
    bool hasCredentials() const { return !m_auth.isEmpty(); }
    // Trusts the certificates in a PEM file besides the system's. False with why.
    bool addCaFile(const QString &path, QString &why);
    void addCaCertificates(const QList<QSslCertificate> &certs) { m_extraCas += certs; }

    // HTTPS, or HTTP to a loopback address.
    static bool safeForPassword(const QUrl &url);

    DavReply send(const DavRequest &request) override;
    // Several at once (the server decides how many it serves in parallel);
    // done(n) after each answer. Replies in the order of the requests.
    std::vector<DavReply> sendAll(const std::vector<DavRequest> &requests,
                                  const std::function<void(qsizetype)> &done = {}) override;

    // How long the requests waited for the server, in all, in ms.
    qint64 serverMs() const { return m_serverMs; }

private:
    class Call;
    QNetworkReply *start(const DavRequest &request, const QUrl &url);

    QNetworkAccessManager m_nam;
    QByteArray m_auth;
    QList<QSslCertificate> m_extraCas;
    qint64 m_serverMs = 0;
};
