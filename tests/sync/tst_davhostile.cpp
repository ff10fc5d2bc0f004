#include <sys/resource.h>

#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "sync/AddressBookFinder.h"
#include "sync/DavClient.h"
#include "tests/sync/HostileServer.h"

Q_DECLARE_METATYPE(HostileServer::Answer)

using Answer = HostileServer::Answer;
using Send = HostileServer::Send;

namespace {

const QByteArray kMultistatus =
    "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\"><d:response><d:href>/book/</d:href>"
    "<d:propstat><d:prop><d:getetag>\"1\"</d:getetag></d:prop><d:status>HTTP/1.1 200 OK"
    "</d:status></d:propstat></d:response></d:multistatus>";

Answer multistatus(const QByteArray &body, Send send = Send::Whole)
{
    return {"207 Multi-Status", {}, body, send};
}

Answer redirect(int status, const QString &to)
{
    return {QByteArray::number(status) + " Moved", {{"Location", to.toUtf8()}}, {}, Send::Whole};
}

long peakKiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

} // namespace

// The client against a server that tries to turn it against its user: every
// answer stays inside the origin asked, inside a size and inside a time.
class TestDavHostile : public QObject
{
    Q_OBJECT

private slots:
    // Another origin (host, scheme or port) never sees a request; the same
    // origin is followed, with the method, the body and the login.
    void redirects_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("target"); // "same", or the scheme and host of another origin
        for (const char *method : {"PROPFIND", "PUT"})
            for (const int status : {301, 302, 307, 308})
                for (const QString target : {"same", "http 127.0.0.2", "https 127.0.0.2",
                                             "https 127.0.0.1", "http 127.0.0.1"})
                    QTest::addRow("%s %d %s", method, status, qPrintable(target))
                        << QByteArray(method) << status << target;
    }
    void redirects()
    {
        QFETCH(QByteArray, method);
        QFETCH(int, status);
        QFETCH(QString, target);
        // The other origin: another address, or this one on another port.
        const QStringList where = target.split(u' ');
        HostileServer other([](const auto &) { return Answer{}; },
                            QHostAddress(where.value(1, QStringLiteral("127.0.0.1"))));
        const QUrl away = other.url(QStringLiteral("/stolen/"), where.value(0));
        HostileServer server([&](const HostileServer::Request &r) {
            if (r.target == "/book/")
                return redirect(status,
                                target == "same" ? QStringLiteral("/moved/") : away.toString());
            return Answer{"201 Created", {}, kMultistatus, Send::Whole};
        });
        DavClient client;
        client.setCredentials(QStringLiteral("alice"), QStringLiteral("secret"));
        const DavReply reply =
            client.send({method, server.url(QStringLiteral("/book/")), "BEGIN:VCARD", {}, 0});

        QCOMPARE(other.connections(), 0);
        if (target == "same") {
            QCOMPARE(reply.status, 201);
            QCOMPARE(reply.url, server.url(QStringLiteral("/moved/")));
            QCOMPARE(reply.body, kMultistatus);
            const HostileServer::Request &second = server.requests().at(1);
            QCOMPARE(second.method, method);
            QCOMPARE(second.body, QByteArray("BEGIN:VCARD"));
            QVERIFY(second.headers.value("authorization").startsWith("Basic "));
        } else {
            QCOMPARE(reply.status, 0);
            QCOMPARE(server.requests().size(), 1);
            QVERIFY2(reply.error.contains(server.url(QStringLiteral("/book/")).toString()) &&
                         reply.error.contains(away.toString()),
                     qPrintable(reply.error));
        }
    }

    // Five hops within the origin are followed, a sixth is not.
    void redirectChain_data()
    {
        QTest::addColumn<int>("hops");
        QTest::addColumn<bool>("followed");
        QTest::newRow("five") << 5 << true;
        QTest::newRow("six") << 6 << false;
    }
    void redirectChain()
    {
        QFETCH(int, hops);
        QFETCH(bool, followed);
        HostileServer server([hops](const HostileServer::Request &r) {
            const int at = r.target.mid(1).toInt();
            if (at < hops)
                return redirect(307, QStringLiteral("/%1").arg(at + 1));
            return multistatus(kMultistatus);
        });
        DavClient client;
        client.setCredentials(QStringLiteral("alice"), QStringLiteral("secret"));
        const DavReply reply =
            client.send({"PROPFIND", server.url(QStringLiteral("/0")), {}, {}, 0});
        QCOMPARE(reply.status == 207, followed);
        QCOMPARE(server.requests().size(), std::min(hops, DavClient::MaxRedirects) + 1);
    }

    // A reply past the limit ends the request, and what it held is let go:
    // an endless one costs no more than the limit, a declared one not even that.
    void repliesAreBounded_data()
    {
        QTest::addColumn<int>("send");
        QTest::addColumn<QByteArray>("length");
        QTest::newRow("endless") << int(Send::Endless) << QByteArray();
        QTest::newRow("declared too long")
            << int(Send::Whole) << QByteArray::number(DavClient::MaxReply + 1);
    }
    void repliesAreBounded()
    {
        QFETCH(int, send);
        QFETCH(QByteArray, length);
        HostileServer server([&](const auto &) {
            Answer a{"207 Multi-Status", {}, {}, Send(send)};
            if (!length.isEmpty()) { // a header that promises more than the client takes
                a.headers.append({"Content-Length", length});
                a.send = Send::Trickle;
            }
            return a;
        });
        const long before = peakKiB();
        DavClient client;
        const DavReply reply = client.send({"REPORT", server.url(), {}, {}, 1});
        QCOMPARE(reply.status, 0);
        QVERIFY2(reply.error.contains(QString::number(DavClient::MaxReply / (1024 * 1024))),
                 qPrintable(reply.error));
        QVERIFY(reply.body.isEmpty());
        // Generous: the limit, its copy while the buffer grows, and the sanitizers' share.
        QCOMPARE_LT(peakKiB() - before, 512L * 1024);
    }

    // A server that sends a byte now and then gets the deadline of the
    // request, counted from its start; and the run has one of its own, after
    // which nothing more is asked.
    void deadlines()
    {
        HostileServer server([](const auto &) { return multistatus({}, Send::Trickle); });
        DavClient perRequest;
        perRequest.setDeadlines(2000, 600000);
        DavReply reply = perRequest.send({"PROPFIND", server.url(), {}, {}, 0});
        QCOMPARE(reply.status, 0);
        QCOMPARE(reply.error, QStringLiteral("سرور در زمان پاسخ نداد"));

        DavClient perRun;
        perRun.setDeadlines(600000, 2000);
        const std::vector<DavReply> replies =
            perRun.sendAll({{"PROPFIND", server.url(QStringLiteral("/a")), {}, {}, 0},
                            {"PROPFIND", server.url(QStringLiteral("/b")), {}, {}, 0}});
        for (const DavReply &r : replies)
            QCOMPARE(r.error, QStringLiteral("سرور در زمان پاسخ نداد"));
        reply = perRun.send({"PROPFIND", server.url(QStringLiteral("/c")), {}, {}, 0});
        QCOMPARE(reply.error, QStringLiteral("سرور در زمان پاسخ نداد"));
        // Had it been sent, the client would have waited for its answer.
        for (const HostileServer::Request &r : server.requests())
            QVERIFY(r.target != "/c");
    }

    // Discovery says what really went wrong: a reply cut short, an empty or
    // broken multistatus, rather than that no address book is there.
    void discoveryTellsTheTruth_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QString>("says");
        QTest::newRow("cut") << multistatus(kMultistatus.left(60), Send::Cut)
                             << QStringLiteral("پیش از پایان پاسخ بست");
        QTest::newRow("empty") << multistatus("<multistatus xmlns=\"DAV:\"/>")
                               << QStringLiteral("خالی بود");
        QTest::newRow("no multistatus")
            << multistatus("<html/>") << QStringLiteral("WebDAV درستی نبود");
    }
    void discoveryTellsTheTruth()
    {
        QFETCH(Answer, answer);
        QFETCH(QString, says);
        for (const QString path : {"/", "/alice/book/"}) {
            HostileServer server([&](const auto &) { return answer; });
            DavClient client;
            QList<AddressBook> books;
            QString why;
            QVERIFY(!AddressBookFinder(client).find(server.url(path), books, why));
            QVERIFY2(why.contains(says), qPrintable(why));
            // No other address tried after it (QtNetwork may retry this one).
            for (const HostileServer::Request &r : server.requests())
                QCOMPARE(r.target, path.toUtf8());
        }
    }

    // What a server names reaches the terminal with its control characters
    // replaced: here an href that would retitle the window and ring the bell.
    void serverTextIsDefused()
    {
        const QByteArray href = "/book/%1B%5D0;owned%07.vcf";
        HostileServer server([&](const HostileServer::Request &r) {
            const QByteArray self = "<d:response><d:href>/book/</d:href><d:propstat><d:prop>"
                                    "<d:resourcetype><d:collection/><c:addressbook/>"
                                    "</d:resourcetype></d:prop><d:status>HTTP/1.1 200 OK"
                                    "</d:status></d:propstat></d:response>";
            const QByteArray card = "<d:response><d:href>" + href +
                                    "</d:href><d:propstat><d:prop><d:getetag>\"1\"</d:getetag>"
                                    "<c:address-data>no card</c:address-data></d:prop><d:status>"
                                    "HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
            const auto answer = [](const QByteArray &items) {
                return multistatus("<d:multistatus xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:"
                                   "ns:carddav\">" +
                                   items + "</d:multistatus>");
            };
            if (r.body.contains("sync-collection"))
                return Answer{"403 Forbidden", {}, {}, Send::Whole};
            if (r.body.contains("addressbook-multiget"))
                return answer(card);
            return answer(r.headers.value("depth") == "1" ? self + card : self);
        });
        QTemporaryDir data;
        QProcess tool;
        tool.setStandardInputFile(QProcess::nullDevice());
        QEventLoop loop; // the server lives in this thread
        connect(&tool, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit); // only against a hang
        tool.start(HALVEX_CONTACTS, {"sync", server.url(QStringLiteral("/book/")).toString(),
                                     "--data", data.path()});
        loop.exec();
        QCOMPARE(tool.state(), QProcess::NotRunning);
        const QByteArray out = tool.readAllStandardOutput() + tool.readAllStandardError();
        QVERIFY2(out.contains("\xef\xbf\xbd]0;owned\xef\xbf\xbd.vcf"), out.constData());
        QVERIFY(!out.contains('\x1b') && !out.contains('\x07'));
    }
};

QTEST_GUILESS_MAIN(TestDavHostile)
#include "tst_davhostile.moc"
