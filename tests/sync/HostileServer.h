#pragma once

#include <functional>
#include <utility>

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

// A scripted HTTP/1.1 server in this process, on a loopback address and a free
// port: each request gets what the test's script answers, sent whole, cut
// short, one byte at a time, or without end. It serves while the client's
// event loop runs, so a blocking client can be tested against it.
class HostileServer : public QObject
{
public:
    enum class Send
    {
        Whole,
        Cut,     // a Content-Length the body never reaches, then the connection closes
        Trickle, // a byte every 100 ms, for ever
        Endless  // no length, and bytes as fast as the client reads them
    };
    struct Request
    {
        QByteArray method;
        QByteArray target;
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };
    struct Answer
    {
        QByteArray status = "207 Multi-Status";
        QList<std::pair<QByteArray, QByteArray>> headers;
        QByteArray body;
        Send send = Send::Whole;
    };
    using Script = std::function<Answer(const Request &)>;

    explicit HostileServer(Script script, const QHostAddress &address = QHostAddress::LocalHost)
        : m_script(std::move(script))
    {
        if (!m_server.listen(address, 0))
            qFatal("cannot listen on %s", qPrintable(address.toString()));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                ++m_connections;
                s->setParent(this);
                connect(s, &QTcpSocket::readyRead, this, [this, s] { serve(s); });
                connect(s, &QTcpSocket::disconnected, this, [this, s] {
                    m_pending.remove(s);
                    s->deleteLater();
                });
            }
        });
    }

    QUrl url(const QString &path = QStringLiteral("/"),
             const QString &scheme = QStringLiteral("http")) const
    {
        return QUrl(QStringLiteral("%1://%2:%3%4")
                        .arg(scheme, m_server.serverAddress().toString())
                        .arg(m_server.serverPort())
                        .arg(path));
    }
    const QList<Request> &requests() const { return m_requests; }
    int connections() const { return m_connections; }

private:
    void serve(QTcpSocket *s)
    {
        QByteArray &in = m_pending[s];
        in += s->readAll();
        for (;;) {
            const qsizetype end = in.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            Request r;
            const QList<QByteArray> lines = in.first(end).split('\n');
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            r.method = first.value(0);
            r.target = first.value(1);
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon > 0)
                    r.headers.insert(lines[i].first(colon).trimmed().toLower(),
                                     lines[i].sliced(colon + 1).trimmed());
            }
            const qsizetype length = r.headers.value("content-length").toLongLong();
            if (in.size() < end + 4 + length)
                return;
            r.body = in.sliced(end + 4, length);
            in.remove(0, end + 4 + length);
            m_requests.append(r);
            answer(s, m_script(r));
        }
    }

    void answer(QTcpSocket *s, const Answer &a)
    {
        QByteArray head = "HTTP/1.1 " + a.status + "\r\n";
        bool sized = false; // the script may promise a length of its own
        for (const auto &[name, value] : a.headers) {
            head += name + ": " + value + "\r\n";
            sized = sized || name.compare("Content-Length", Qt::CaseInsensitive) == 0;
        }
        switch (a.send) {
        case Send::Whole:
            s->write(head + "Content-Length: " + QByteArray::number(a.body.size()) + "\r\n\r\n" +
                     a.body);
            return;
        case Send::Cut:
            s->write(head + "Content-Length: " + QByteArray::number(a.body.size() + 1000) +
                     "\r\n\r\n" + a.body);
            s->disconnectFromHost();
            return;
        case Send::Trickle: {
            s->write(head + (sized ? "" : "Content-Length: 1000000\r\n") + "\r\n");
            auto *drip = new QTimer(s);
            connect(drip, &QTimer::timeout, s, [s] { s->write(" "); });
            drip->start(100);
            return;
        }
        case Send::Endless: {
            s->write(head + "Connection: close\r\n\r\n");
            const QByteArray block = a.body.isEmpty() ? QByteArray(64 * 1024, ' ') : a.body;
            // Only as fast as the client takes it, so this side holds little.
            const auto more = [s, block] {
                while (s->state() == QAbstractSocket::ConnectedState &&
                       s->bytesToWrite() < 4 * block.size())
                    s->write(block);
            };
            connect(s, &QTcpSocket::bytesWritten, s, more);
            more();
            return;
        }
        }
    }

    Script m_script;
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_pending;
    QList<Request> m_requests;
    int m_connections = 0;
};
