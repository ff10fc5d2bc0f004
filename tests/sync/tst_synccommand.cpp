#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "store/ContactStore.h"
#include "sync/DavClient.h"
#include "sync/SyncAccount.h"
#include "tests/sync/RadicaleServer.h"
#include "tests/sync/SyncTestUtil.h"

// halvex-contacts sync as a user runs it: discovery, credentials, HTTPS and the
// failures, each with its message and exit status.
using namespace synctest;

class TestSyncCommand : public QObject
{
    Q_OBJECT

private:
    RadicaleServer m_server;
    QTemporaryDir m_dir;

    struct Run
    {
        int status = -1;
        QString out;
        QString err;
    };

    // The account lives in a config folder of the test's own.
    Run run(const QStringList &args, const QMap<QString, QString> &env = {})
    {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("XDG_CONFIG_HOME", m_dir.path() + "/config");
        for (auto it = env.cbegin(); it != env.cend(); ++it)
            e.insert(it.key(), it.value());
        p.setProcessEnvironment(e);
        p.setStandardInputFile(QProcess::nullDevice()); // no terminal to ask on
        p.start(HALVEX_CONTACTS,
                QStringList{"sync"} + args + QStringList{"--data", m_dir.path() + "/data"});
        Run r;
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
            return r;
        r.status = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    QString file(const QString &name, const QByteArray &bytes, QFile::Permissions perms)
    {
        const QString path = m_dir.path() + '/' + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        f.setPermissions(perms);
        return path;
    }

private slots:
    void initTestCase()
    {
        QString why;
        QVERIFY2(m_server.start(why), qPrintable(why));
    }

    void findsTheBookFromTheServersAddress()
    {
        const QStringList login{"--user", "alice", "--password-file", m_server.passwordFile()};
        Run r = run(QStringList{m_server.root().toString(), "--dry-run"} + login);
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains("آزمايشي"));
        QVERIFY(!QFile::exists(m_dir.path() + "/data/quorvel.dat"));

        r = run(QStringList{m_server.root().toString()} + login);
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(m_server.book().toString()), qPrintable(r.out));
        r = run(QStringList{m_server.book().toString()} + login);
        QCOMPARE(r.status, 0);
    }

    void refusesWithTheReason()
    {
        const QString good = m_server.passwordFile();
        const QString wrong = file("wrong", "nope\n", QFile::ReadOwner | QFile::WriteOwner);
        const QString open = file("open", "secret\n", QFile::ReadOwner | QFile::ReadOther);
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QString down = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
        closed.close();
        const QString book = m_server.book().toString();
        const QString secretUrl =
            m_server.url("/alice/book/").toString().replace("http://", "http://alice:secret@");

        const struct
        {
            QStringList args;
            int status;
            QString says;
        } cases[] = {
            {{book, "--user", "alice", "--password-file", wrong}, 1, "401"},
            {{m_server.url("/alice/nosuch/").toString(), "--user", "alice", "--password-file",
              good},
             1,
             "دفترچه نشاني CardDAV نيست"},
            {{down, "--user", "alice", "--password-file", good}, 1, "نپذيرفت"},
            {{book, "--user", "alice", "--password-file", open}, 1, "chmod 600"},
            {{book, "--user", "alice"}, 1, "رمز لازم است"},
            {{secretUrl}, 2, "رمز را در نشاني ننويسيد"},
            {{}, 2, "sync URL"},
        };
        for (const auto &c : cases) {
            const Run r = run(c.args);
            QVERIFY2(r.status == c.status && r.err.contains(c.says),
                     qPrintable(c.args.join(' ') + " -> " + QString::number(r.status) + r.err));
        }
        QVERIFY(!DavClient::safeForPassword(QUrl("http://192.0.2.1/")));
        QVERIFY(DavClient::safeForPassword(QUrl("http://[::1]:8080/")));
        QVERIFY(DavClient::safeForPassword(QUrl("https://192.0.2.1/")));
    }

    void asksOnTheTerminalWithoutEcho()
    {
        QProcess p;
        p.start("/usr/bin/python3",
                {HALVEX_SYNC_TESTS "/onterminal.py", "رمز alice: ", RadicaleServer::Password,
                 HALVEX_CONTACTS, "sync", m_server.book().toString(), "--user", "alice", "--data",
                 m_dir.path() + "/data"});
        QVERIFY(p.waitForFinished(60000));
        const QString shown = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(p.exitCode() == 0, qPrintable(shown));
        QVERIFY(shown.contains("همگام شد"));
        QVERIFY(!shown.contains(RadicaleServer::Password));
    }

    void anEmptiedDataFileDeletesNothingUnlessForced()
    {
        ContactStore store = ContactStore::atDataFolder(m_dir.path() + "/data");
        QVERIFY(!store.Open());
        const std::vector<ContactRecord> two = {record("Ali", "Rezaei", "5550001", "", 1),
                                                record("Sara", "Karimi", "5550002", "", 2)};
        QVERIFY(!store.AppendRecords(two));
        const QStringList args{m_server.book().toString(), "--user", "alice", "--password-file",
                               m_server.passwordFile()};
        QCOMPARE(run(args).status, 0);
        const auto cards = m_server.cards();
        QVERIFY(cards.size() >= 2);

        QVERIFY(!store.ReplaceAllRecords({}, records(store)));
        Run r = run(args);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains("--force-delete"), qPrintable(r.err));
        QCOMPARE(m_server.cards(), cards);
        r = run(args + QStringList{"--force-delete"});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(m_server.cards().size(), cards.size() - 2);
    }

    void listsSeveralBooksAndAsksForOne()
    {
        QString why;
        QVERIFY2(m_server.makeBook("/alice/office/", why), qPrintable(why));
        const Run r = run({m_server.root().toString(), "--user", "alice", "--password-file",
                           m_server.passwordFile()});
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains(m_server.url("/alice/office/").toString()));
        QVERIFY(r.err.contains(m_server.book().toString()));
        QCOMPARE(m_server.request("DELETE", "/alice/office/").status, 200);
    }

    void theSavedAccountServesTheToolAndTheTimer()
    {
        const QString config = m_dir.path() + "/config/halvex/sync.conf";
        const QStringList login{"--user", "alice", "--password-file", m_server.passwordFile()};
        // A URL is used as given, and kept only with --remember.
        Run r = run(QStringList{m_server.root().toString()} + login);
        QCOMPARE(r.status, 0);
        QVERIFY(!QFile::exists(config));
        r = run(QStringList{m_server.root().toString(), "--remember"} + login);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        SyncAccount account;
        QString why;
        QVERIFY(account.load(config, why));
        QCOMPARE(account.url, m_server.book());
        QCOMPARE(account.user, QStringLiteral("alice"));
        QVERIFY(account.lastTime.isValid());
        QFile kept(config);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QVERIFY(!kept.readAll().contains(RadicaleServer::Password));

        // Without a URL: the account, its outcome kept with it.
        r = run({"--password-file", m_server.passwordFile()});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(m_server.book().toString()));
        // The timer names its password file in the environment; one that is
        // not there is no password, and the run says what it needs.
        r = run({}, {{"HALVEX_SYNC_PASSWORD_FILE", m_server.passwordFile()}});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        r = run({}, {{"HALVEX_SYNC_PASSWORD_FILE", m_dir.path() + "/none"}});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains("رمز لازم است"));

        // An environment file from before accounts still works.
        QFile::remove(config);
        r = run({}, {{"HALVEX_SYNC_URL", m_server.book().toString()},
                     {"HALVEX_SYNC_USER", "alice"},
                     {"HALVEX_SYNC_PASSWORD_FILE", m_server.passwordFile()}});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY(!QFile::exists(config));
    }

    void aFreshAccountGetsABookOnlyWhenAsked()
    {
        RadicaleServer fresh(false, false);
        QString why;
        QVERIFY2(fresh.start(why), qPrintable(why));
        QDir(m_dir.path() + "/data").removeRecursively(); // paired with the other server
        const QStringList args{fresh.root().toString(), "--user", "alice", "--password-file",
                               fresh.passwordFile()};
        Run r = run(args);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains("no address book; add --create to make one"), qPrintable(r.err));
        r = run(args + QStringList{"--create"});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY(r.out.contains("Halvex"));
        r = run(args);
        QCOMPARE(r.status, 0);
    }

    void httpsWithASelfSignedCertificate()
    {
        QDir(m_dir.path() + "/data").removeRecursively(); // paired with the other server
        RadicaleServer tls(true);
        QString why;
        QVERIFY2(tls.start(why), qPrintable(why));
        const QStringList args{tls.book().toString(), "--user", "alice", "--password-file",
                               tls.passwordFile()};
        Run r = run(args);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains("--ca-file"), qPrintable(r.err));
        r = run(args + QStringList{"--ca-file", tls.caFile()});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        // Remembered, the certificate goes with the account.
        r = run(args + QStringList{"--ca-file", tls.caFile(), "--remember"});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        r = run({"--password-file", tls.passwordFile()});
        QVERIFY2(r.status == 0, qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestSyncCommand)
#include "tst_synccommand.moc"
