#pragma once

#include <functional>
#include <vector>

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QNetworkAccessManager>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

#include "sync/DavTransport.h"

// A blocking WebDAV client on QtNetwork. The password goes with every request
// (Basic), but only over HTTPS or to this machine. Redirects are followed by
// hand and only within the origin the request was made to, so neither the
// password nor a contact ever reaches a server the user did not name. Every
// answer is bounded: in size, in time per request and in time for the run.
class DavClient : public DavTransport
{
public:
    static constexpr qint64 MaxReply = 64 * 1024 * 1024;
    static constexpr int RequestDeadlineMs = 120 * 1000;
    static constexpr qint64 RunDeadlineMs = 60 * 60 * 1000;
    static constexpr int MaxRedirects = 5;

    DavClient();

    void setCredentials(const QString &user, const QString &password);
    bool hasCredentials() const { return !m_auth.isEmpty(); }
    // Trusts the certificates in a PEM file besides the system's. False with why.
    bool addCaFile(const QString &path, QString &why);
    void addCaCertificates(const QList<QSslCertificate> &certs) { m_extraCas += certs; }

    // Each request must be answered within requestMs of its start, and all
    // of them within runMs of the first.
    void setDeadlines(int requestMs, qint64 runMs);

    // HTTPS, or HTTP to a loopback address.
    static bool safeForPassword(const QUrl &url);
    // Same scheme, host and port.
    static bool sameOrigin(const QUrl &a, const QUrl &b);

    DavReply send(const DavRequest &request) override;
    // Several at once (the server decides how many it serves in parallel);
    // done(n) after each answer. Replies in the order of the requests.
    std::vector<DavReply> sendAll(const std::vector<DavRequest> &requests,
                                  const std::function<void(qsizetype)> &done = {}) override;

    // How long the requests waited for the server, in all, in ms.
    qint64 serverMs() const { return m_serverMs; }

private:
    class Call;
    class Batch;
    QNetworkReply *start(const DavRequest &request, const QUrl &url);

    QNetworkAccessManager m_nam;
    QByteArray m_auth;
    QList<QSslCertificate> m_extraCas;
    qint64 m_serverMs = 0;
    int m_requestMs = RequestDeadlineMs;
    qint64 m_runMs = RunDeadlineMs;
    QElapsedTimer m_run; // from the first request
    bool m_runOver = false; // the run's deadline has fired: nothing more is sent
};
