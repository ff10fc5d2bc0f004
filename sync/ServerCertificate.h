#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

// What an HTTPS server shows when its certificate was refused: whether it is
// self-signed, so that trusting that one certificate would do, and which one.
class ServerCertificate
{
public:
    enum Verdict
    {
        Accepted,   // the handshake went through
        SelfSigned, // only untrusted because nobody signed it: it may be trusted
        Refused,    // something else is wrong with it (name, dates)
        NoAnswer,   // no handshake at all
    };

    // Connects and looks; blocking, for a worker thread. certificate gets the
    // one to trust for SelfSigned; why says what is wrong otherwise.
    static Verdict check(const QUrl &url, const QList<QSslCertificate> &trusted,
                         QSslCertificate &certificate, QString &why);

    // SHA-256 as "AB:CD:…", as browsers show it.
    static QString fingerprint(const QSslCertificate &certificate);
};
