#include <functional>
#include <random>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "store/ContactStore.h"
#include "tests/store/StoreTestUtil.h"
#include "tests/support/FaultyIo.h"

using namespace storetest;

namespace {

// What the data file holds, found as the store finds it.
QByteArray dataIn(const QString &base)
{
    QFile f(ContactStore(base).dataFilePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestStoreFaults : public QObject
{
    Q_OBJECT
private slots:
    void everyFailurePoint_data();
    void everyFailurePoint();
    void everyProbeLockAndFolderCall_data();
    void everyProbeLockAndFolderCall();
    void replacementSyncsBeforeRename_data();
    void replacementSyncsBeforeRename();
    void killDuringDeletion();
};

void TestStoreFaults::everyFailurePoint_data()
{
    QTest::addColumn<int>("op"); // 0 append, 1 rewrite, 2 delete, 3 append many
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    const QByteArray three = records(1, 3);
    QTest::newRow("append") << 0 << three << records(1, 4);
    QTest::newRow("append over partial") << 0 << three + "xy" << records(1, 4);
    ContactRecord nine = contact(9);
    QTest::newRow("rewrite") << 1 << three << records(1, 1) + nine.toByteArray() + records(3, 3);
    QTest::newRow("delete middle") << 2 << three << records(1, 1) + records(3, 3);
    QTest::newRow("delete only") << 2 << records(1, 1) << QByteArray();
    QTest::newRow("append many") << 3 << three << records(1, 6);
    QTest::newRow("append many over partial") << 3 << three + "xy" << records(1, 6);
    QTest::newRow("append many to empty") << 3 << QByteArray() << records(4, 6);
    QTest::newRow("replace all") << 4 << three << records(4, 5);
}

void TestStoreFaults::everyFailurePoint()
{
    QFETCH(int, op);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    for (int n = 1;; ++n) {
        QTemporaryDir dir;
        writeData(dir.path(), before);
        FaultyIo io(n);
        ContactStore store(dir.path(), &io);
        StoreError e;
        switch (op) {
        case 0:
            e = store.AppendRecord(contact(4));
            break;
        case 1:
            e = store.RewriteRecord(2, contact(9));
            break;
        case 3:
            e = store.AppendRecords({contact(4), contact(5), contact(6)});
            break;
        case 4: {
            std::vector<ContactRecord> read;
            for (int i = 1; i <= 3; ++i)
                read.push_back(contact(i));
            e = store.ReplaceAllRecords({contact(4), contact(5)}, read);
            break;
        }
        default:
            e = store.DeleteRecord(before.size() > 156 ? 2 : 1);
        }
        const QByteArray now = readData(dir.path());
        if (!io.fired()) {
            QVERIFY2(e.ok(), qPrintable(e.message()));
            QCOMPARE(now, after);
            QVERIFY(n > 1);
            break;
        }
        // A reported failure leaves the old file. Only a failed folder sync after
        // the rename leaves the new one, and says the change was made.
        QVERIFY2(!e.ok(), qPrintable(QStringLiteral("fault %1 reported success").arg(n)));
        QVERIFY2(now == before || now == after, qPrintable(QStringLiteral("fault %1").arg(n)));
        QCOMPARE(e.tookEffect(), now == after);
        QCOMPARE(e.kind() == StoreError::Unconfirmed, now == after);
        if (now == after)
            QVERIFY(op >= 2);
        QVERIFY(!QFile::exists(dir.path() + "/File/quorvel1.dat"));
    }
}

void TestStoreFaults::everyProbeLockAndFolderCall_data()
{
    QTest::addColumn<int>("call");
    QTest::newRow("open") << int(FaultyIo::Open);
    QTest::newRow("stat") << int(FaultyIo::Stat);
    QTest::newRow("lstat") << int(FaultyIo::Lstat);
    QTest::newRow("fstat") << int(FaultyIo::Fstat);
    QTest::newRow("mkdir") << int(FaultyIo::Mkdir);
    QTest::newRow("fchmod") << int(FaultyIo::Fchmod);
    QTest::newRow("flock") << int(FaultyIo::Flock);
    QTest::newRow("list folder") << int(FaultyIo::ListDir);
}

void TestStoreFaults::everyProbeLockAndFolderCall()
{
    // These all come before anything is written, so each failure must be
    // reported and leave the old file whole. The folder is spelt "file" so
    // that it has to be searched for.
    QFETCH(int, call);
    using Run = std::function<StoreError(ContactStore &)>;
    const struct
    {
        QByteArray before, after;
        Run run;
    } ops[] = {
        {"<missing>", "", [](ContactStore &s) { return s.Open(); }},
        {records(1, 3), records(1, 3), [](ContactStore &s) { return s.Open(); }},
        {records(1, 3), records(1, 3),
         [](ContactStore &s) {
             qint64 n = 0;
             return s.CountWholeRecords(n);
         }},
        {records(1, 3), records(1, 3),
         [](ContactStore &s) { return s.ReadAllRecords([](auto &, qint64) { return true; }); }},
        {records(1, 3), records(1, 4), [](ContactStore &s) { return s.AppendRecord(contact(4)); }},
        {records(1, 3), records(1, 5),
         [](ContactStore &s) {
             return s.AppendRecords({contact(4), contact(5)});
         }},
        {records(1, 3), records(1, 1) + contact(9).toByteArray() + records(3, 3),
         [](ContactStore &s) { return s.RewriteRecord(2, contact(9)); }},
        {records(1, 3), records(2, 3), [](ContactStore &s) { return s.DeleteRecord(1); }},
    };
    bool reached = false;
    for (const auto &op : ops) {
        for (int n = 1;; ++n) {
            QTemporaryDir dir;
            if (op.before != "<missing>") {
                writeData(dir.path(), op.before);
                QVERIFY(QDir(dir.path()).rename("File", "file"));
            }
            FaultyIo io(n, call);
            ContactStore store(dir.path(), &io);
            const StoreError e = op.run(store);
            const QByteArray now = dataIn(dir.path());
            QVERIFY(!ContactStore(dir.path()).leftover());
            if (!io.fired()) {
                QVERIFY2(e.ok(), qPrintable(e.message()));
                QCOMPARE(now, op.after);
                break;
            }
            reached = true;
            QVERIFY2(!e.ok() && !e.tookEffect(),
                     qPrintable(QStringLiteral("fault %1 reported success").arg(n)));
            // Only a start that made the empty file, and then failed to look at
            // it, leaves the new content.
            QVERIFY2(now == op.before || (op.before == "<missing>" && now == op.after),
                     qPrintable(QStringLiteral("fault %1").arg(n)));
        }
    }
    QVERIFY(reached);
}

void TestStoreFaults::replacementSyncsBeforeRename_data()
{
    QTest::addColumn<bool>("deletion");
    QTest::newRow("delete") << true;
    QTest::newRow("append many") << false;
}

void TestStoreFaults::replacementSyncsBeforeRename()
{
    QFETCH(bool, deletion);
    QTemporaryDir dir;
    writeData(dir.path(), records(1, 3));
    FaultyIo io;
    ContactStore store(dir.path(), &io);
    QVERIFY(deletion ? store.DeleteRecord(2).ok()
                     : store.AppendRecords({contact(4), contact(5)}).ok());
    // The copy is on disk before it replaces the data file, and the rename is on
    // disk before success is reported; the data file itself is never written.
    const QStringList expected = {"write quorvel1.dat", "write quorvel1.dat", "fsync quorvel1.dat",
                                  "rename quorvel1.dat quorvel.dat", "fsync File"};
    QCOMPARE(io.log, expected);
}

void TestStoreFaults::killDuringDeletion()
{
    constexpr int kRecords = 2000;
    const QByteArray original = records(1, kRecords);
    QTemporaryDir dir;
    writeData(dir.path(), original);
    std::mt19937 rng(20261207);
    std::uniform_int_distribution<int> delayUs(0, 30000);

    for (int round = 0; round < 200; ++round) {
        const QByteArray before = readData(dir.path());
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ContactStore store(dir.path());
            for (;;) {
                if (!store.DeleteRecord(1).ok())
                    _exit(3);
                // Keep the file from running dry.
                qint64 left = 0;
                if (store.CountWholeRecords(left).ok() && left < 100)
                    _exit(0);
            }
        }
        ::usleep(useconds_t(delayUs(rng)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        QVERIFY2(!(WIFEXITED(status) && WEXITSTATUS(status) == 3), "a deletion failed");

        // Whatever the instant, the file is a whole suffix of the original.
        const QByteArray now = readData(dir.path());
        QVERIFY2(now.size() % 156 == 0, qPrintable(QString::number(now.size())));
        QVERIFY(now.size() <= before.size());
        QVERIFY2(original.endsWith(now), qPrintable(QStringLiteral("round %1").arg(round)));
        if (now.size() < 400 * 156)
            writeData(dir.path(), original);
    }
    // The lock left by the last killed child does not block the next writer.
    ContactStore store(dir.path());
    store.setLockTimeout(500);
    QVERIFY(store.DeleteRecord(1).ok());
}

QTEST_APPLESS_MAIN(TestStoreFaults)
#include "tst_storefaults.moc"
