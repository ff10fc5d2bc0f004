#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

// A DAV server a test runs as a child process on 127.0.0.1 and a free port,
// with its storage in a temporary folder; stopped with the object. Changes
// "from another client" go through otherclient.py, not our code.
class DavTestServer
{
public:
    struct Answer
    {
        int status = 0;
        QByteArray etag;
        QByteArray body;
    };

    ~DavTestServer() { stop(); }

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
                                                method, url(path).toString()} +
                                        m_login + headers);
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

protected:
    // login: user and password, or "-" twice for a server that asks for none.
    DavTestServer(bool tls, const QStringList &login) : m_tls(tls), m_login(login) {}

    bool tls() const { return m_tls; }

    // The port the server's command line is then to name.
    bool takeFreePort(QString &why)
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            why = "no free port";
            return false;
        }
        m_port = probe.serverPort();
        probe.close();
        return true;
    }

    // Starts the server and waits until it takes connections.
    bool launch(const QString &name, const QString &program, const QStringList &arguments,
                QString &why)
    {
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(program, arguments);
        if (!m_server.waitForStarted(10000)) {
            why = name + " did not start: " + m_server.errorString();
            return false;
        }
        for (int i = 0; i < 400; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, m_port);
            if (s.waitForConnected(100))
                return true;
            if (m_server.state() == QProcess::NotRunning)
                break;
            QThread::msleep(50);
        }
        why = name + " did not answer: " + QString::fromLocal8Bit(m_server.readAll());
        return false;
    }

    QTemporaryDir m_dir;

private:
    bool m_tls;
    QStringList m_login;
    QProcess m_server;
    quint16 m_port = 0;
};
