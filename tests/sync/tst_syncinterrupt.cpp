#include <random>

#include <signal.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "store/ContactStore.h"
#include "tests/sync/RadicaleServer.h"
#include "tests/sync/SyncTestUtil.h"

using namespace synctest;

// The tool killed at random instants while both sides change between runs:
// the data file is whole after every kill, and the sync that finally runs to
// its end leaves both sides equal, with no contact twice and none lost.
class TestSyncInterrupt : public QObject
{
    Q_OBJECT

private slots:
    void convergesAfterKills()
    {
        RadicaleServer server;
        QString why;
        QVERIFY2(server.start(why), qPrintable(why));
        QTemporaryDir dir;
        ContactStore store = ContactStore::atDataFolder(dir.path());
        QVERIFY(!store.Open());
        const QStringList args{"sync",
                               server.book().toString(),
                               "--user",
                               "alice",
                               "--password-file",
                               server.passwordFile(),
                               "--data",
                               dir.path()};

        std::vector<ContactRecord> expected;
        for (int i = 1; i <= 8; ++i)
            expected.push_back(record(QString("Here%1").arg(i), "Local", "", "", qint16(i)));
        QVERIFY(!store.AppendRecords(expected));
        const auto addThere = [&](int i) {
            const QByteArray n = QByteArray::number(i);
            const auto a = server.request(
                "PUT", "/alice/book/there" + n + ".vcf",
                card("there" + n, "FN:There" + n + " Remote\nN:Remote;There" + n +
                                      ";;;\nX-HALVEX-ID:" + QByteArray::number(100 + i) + "\n"),
                {"If-None-Match:*"});
            QCOMPARE(a.status, 201);
            expected.push_back(record("There" + n, "Remote", "", "", qint16(100 + i)));
        };
        for (int i = 1; i <= 8; ++i)
            addThere(i);

        std::mt19937 random(20261207);
        QElapsedTimer clock;
        clock.start();
        int killed = 0;
        int fullRun = 300; // ms, learnt from the runs that ended by themselves
        for (int run = 0; run < 50; ++run) {
            // Between runs, as the window and another client would.
            if (run % 3 != 2) {
                const ContactRecord r =
                    record(QString("Added%1").arg(run), "Local", "", "", qint16(200 + run));
                QVERIFY(!store.AppendRecord(r));
                expected.push_back(r);
                addThere(50 + run);
            } else {
                const std::vector<ContactRecord> now = records(store);
                const qint64 n = 1 + run % qint64(now.size());
                ContactRecord r = now[size_t(n - 1)];
                const auto it = std::find(expected.begin(), expected.end(), r);
                QVERIFY(it != expected.end());
                r.setText(ContactRecord::Phone, QString("555%1").arg(run));
                QVERIFY(!store.RewriteRecord(n, r));
                *it = r;
            }
            QProcess p;
            p.setStandardInputFile(QProcess::nullDevice());
            p.start(HALVEX_CONTACTS, args);
            QVERIFY(p.waitForStarted());
            QElapsedTimer took;
            took.start();
            p.waitForFinished(std::uniform_int_distribution<int>(0, fullRun)(random));
            if (p.state() != QProcess::NotRunning) {
                ::kill(pid_t(p.processId()), SIGKILL);
                ++killed;
            } else {
                fullRun = int(took.elapsed());
            }
            QVERIFY(p.state() == QProcess::NotRunning || p.waitForFinished(30000));
            QCOMPARE(QFileInfo(store.dataFilePath()).size() % ContactRecord::Size, 0);
        }
        QVERIFY2(clock.elapsed() < 60000, qPrintable(QString::number(clock.elapsed())));
        qInfo("%d of 50 runs killed, in %lld ms", killed, clock.elapsed());
        QVERIFY(killed >= 25);

        const QString settled = "به سرور: 0 تازه، 0 تغيير، 0 حذف. از سرور: 0 تازه، 0 تغيير، 0 "
                                "حذف. ناسازگاري: 0.";
        for (int i = 0; i < 2; ++i) {
            QProcess p;
            p.setStandardInputFile(QProcess::nullDevice());
            p.start(HALVEX_CONTACTS, args);
            QVERIFY(p.waitForFinished(60000));
            QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
            const QString out = QString::fromUtf8(p.readAllStandardOutput());
            QVERIFY2(out.contains("ناسازگاري: 0.") && (i == 0 || out.contains(settled)),
                     qPrintable(out));
        }
        QCOMPARE(sorted(records(store)), sorted(expected));
        QCOMPARE(sorted(serverRecords(server)), sorted(expected));
    }
};

QTEST_GUILESS_MAIN(TestSyncInterrupt)
#include "tst_syncinterrupt.moc"
