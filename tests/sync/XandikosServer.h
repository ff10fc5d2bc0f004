#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include "sync/DavResponse.h"
#include "tests/sync/RadicaleServer.h"

// Debian's Xandikos on 127.0.0.1 on a free port, its storage in a temporary
// folder, with the address book it makes by default; stopped with the object.
// It asks for no login. Changes "from another client" go through
// otherclient.py, as with Radicale.
class XandikosServer
{
public:
    using Answer = RadicaleServer::Answer;

    ~XandikosServer() { stop(); }

    bool start(QString &why)
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            why = "no free port";
            return false;
        }
        m_port = probe.serverPort();
        probe.close();
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start("/usr/bin/xandikos", {"-d", m_dir.path(), "--defaults", "-l", "127.0.0.1",
                                             "-p", QString::number(m_port)});
        if (!m_server.waitForStarted(10000)) {
            why = "xandikos did not start: " + m_server.errorString();
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
        why = "xandikos did not answer: " + QString::fromLocal8Bit(m_server.readAll());
        return false;
    }

    void stop()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }

    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
    }
    QUrl book() const { return url(QStringLiteral("/user/contacts/addressbook/")); }

    Answer request(const QByteArray &method, const QString &path, const QByteArray &body = {},
                   const QStringList &headers = {}) const
    {
        QProcess p;
        p.start("/usr/bin/python3", QStringList{QStringLiteral(HALVEX_SYNC_TESTS "/otherclient.py"),
                                                method, url(path).toString(), "-", "-"} +
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

    // Each card of the book by path, as the server gives it.
    QMap<QString, QByteArray> cards() const
    {
        QMap<QString, QByteArray> out;
        const Answer listing = request("PROPFIND", book().path(), {}, {"Depth:1"});
        QList<DavResponse> items;
        DavResponse::parse(listing.body, book(), items);
        for (const DavResponse &r : std::as_const(items))
            if (!r.collection && r.path != book().path())
                out.insert(r.path, request("GET", r.path).body);
        return out;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_server;
    quint16 m_port = 0;
};
