#pragma once

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QUrl>

#include "tests/sync/DavTestServer.h"

// Debian's Radicale, with one plain htpasswd user.
class RadicaleServer : public DavTestServer
{
public:
    static constexpr auto User = "alice";
    static constexpr auto Password = "secret";

    // withBook false: the user has no address book yet.
    explicit RadicaleServer(bool tls = false, bool withBook = true)
        : DavTestServer(tls, {User, Password}), m_withBook(withBook)
    {
    }

    // False with why; the address book /alice/book/ exists after it.
    bool start(QString &why)
    {
        const QString dir = m_dir.path();
        writeFile(dir + "/users", QByteArray(User) + ':' + Password + '\n');
        writeFile(dir + "/password", QByteArray(Password) + '\n');
        QFile::setPermissions(dir + "/password", QFile::ReadOwner | QFile::WriteOwner);
        if (!takeFreePort(why))
            return false;
        QByteArray config = "[server]\nhosts = 127.0.0.1:" + QByteArray::number(port()) + '\n';
        if (tls()) {
            QProcess openssl;
            openssl.start("openssl",
                          {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                           "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                           dir + "/key.pem", "-out", caFile()});
            if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0) {
                why = "openssl: " + QString::fromLocal8Bit(openssl.readAllStandardError());
                return false;
            }
            config += "ssl = True\ncertificate = " + QFile::encodeName(caFile()) +
                      "\nkey = " + QFile::encodeName(dir) + "/key.pem\n";
        }
        config += "[auth]\ntype = htpasswd\nhtpasswd_filename = " + QFile::encodeName(dir) +
                  "/users\nhtpasswd_encryption = plain\ndelay = 0\n"
                  "[rights]\ntype = owner_only\n[storage]\nfilesystem_folder = " +
                  QFile::encodeName(dir) + "/storage\n[logging]\nlevel = warning\n";
        writeFile(dir + "/config", config);
        return launch("radicale", "/usr/bin/python3", {"-m", "radicale", "-C", dir + "/config"},
                      why) &&
               (!m_withBook || makeBook("/alice/book/", why));
    }

    QUrl book() const { return url("/alice/book/"); }
    QString passwordFile() const { return m_dir.path() + "/password"; }

    bool makeBook(const QString &path, QString &why) const
    {
        const Answer a = request(
            "MKCOL", path,
            "<?xml version=\"1.0\"?><mkcol xmlns=\"DAV:\" "
            "xmlns:C=\"urn:ietf:params:xml:ns:carddav\"><set><prop><resourcetype><collection/>"
            "<C:addressbook/></resourcetype><displayname>Book</displayname></prop></set></mkcol>");
        if (a.status == 201)
            return true;
        why = QStringLiteral("MKCOL %1: %2 %3").arg(path).arg(a.status).arg(a.body);
        return false;
    }

    // The card at path as the server holds it, or empty.
    QByteArray card(const QString &path) const
    {
        const Answer a = request("GET", path);
        return a.status == 200 ? a.body : QByteArray();
    }

    // Each card of the book, by path, as the server stored it: read from its
    // storage folder, which is quicker than a request per card.
    QMap<QString, QByteArray> cards(const QString &book = "/alice/book/") const
    {
        QMap<QString, QByteArray> out;
        const QDir dir(m_dir.path() + "/storage/collection-root" + book);
        for (const QString &name : dir.entryList(QDir::Files)) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::ReadOnly))
                out.insert(book + name, f.readAll());
        }
        return out;
    }

private:
    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
    }

    bool m_withBook;
};
