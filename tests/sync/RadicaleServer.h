#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

// Debian's Radicale on 127.0.0.1 on a free port, with its storage in a
// temporary folder and one plain htpasswd user; stopped with the object.
// Changes "from another client" go through otherclient.py, not our code.
class RadicaleServer
{
public:
    struct Answer
    {
        int status = 0;
        QByteArray etag;
        QByteArray body;
    };

    static constexpr auto User = "alice";
    static constexpr auto Password = "secret";

    // withBook false: the user has no address book yet.
    explicit RadicaleServer(bool tls = false, bool withBook = true)
        : m_tls(tls), m_withBook(withBook)
    {
    }
    ~RadicaleServer() { stop(); }

    // False with why; the address book /alice/book/ exists after it.
    bool start(QString &why)
    {
        const QString dir = m_dir.path();
        writeFile(dir + "/users", QByteArray(User) + ':' + Password + '\n');
        writeFile(dir + "/password", QByteArray(Password) + '\n');
        QFile::setPermissions(dir + "/password", QFile::ReadOwner | QFile::WriteOwner);
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            why = "no free port";
            return false;
        }
        m_port = probe.serverPort();
        probe.close();
        QByteArray config = "[server]\nhosts = 127.0.0.1:" + QByteArray::number(m_port) + '\n';
        if (m_tls) {
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
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start("/usr/bin/python3", {"-m", "radicale", "-C", dir + "/config"});
        if (!m_server.waitForStarted(10000)) {
            why = "radicale did not start: " + m_server.errorString();
            return false;
        }
        for (int i = 0; i < 200; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, m_port);
            if (s.waitForConnected(100))
                return !m_withBook || makeBook("/alice/book/", why);
            if (m_server.state() == QProcess::NotRunning)
                break;
            QThread::msleep(50);
        }
        why = "radicale did not answer: " + QString::fromLocal8Bit(m_server.readAll());
        return false;
    }

    void stop()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }

    quint16 port() const { return m_port; }
    QUrl root() const
    {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2/").arg(m_tls ? "https" : "http").arg(m_port));
    }
    QUrl url(const QString &path) const { return root().resolved(QUrl(path)); }
    QUrl book() const { return url("/alice/book/"); }
    QString passwordFile() const { return m_dir.path() + "/password"; }
    QString caFile() const { return m_dir.path() + "/cert.pem"; }
    QString folder() const { return m_dir.path(); }

    Answer request(const QByteArray &method, const QString &path, const QByteArray &body = {},
                   const QStringList &headers = {}) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (m_tls)
            env.insert("OTHERCLIENT_CA", caFile());
        p.setProcessEnvironment(env);
        p.start("/usr/bin/python3", QStringList{QStringLiteral(HALVEX_SYNC_TESTS "/otherclient.py"),
                                                method, url(path).toString(), User, Password} +
                                        headers);
        p.write(body);
        p.closeWriteChannel();
        Answer a;
        if (!p.waitForFinished(60000))
            return a;
        const QByteArray out = p.readAllStandardOutput();
        const qsizetype first = out.indexOf('\n');
        const qsizetype second = out.indexOf('\n', first + 1);
        if (first < 0 || second < 0)
            return a;
        a.status = out.first(first).toInt();
        a.etag = out.sliced(first + 1, second - first - 1);
        a.body = out.sliced(second + 1);
        return a;
    }

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

    bool m_tls;
    bool m_withBook;
    QTemporaryDir m_dir;
    QProcess m_server;
    quint16 m_port = 0;
};
