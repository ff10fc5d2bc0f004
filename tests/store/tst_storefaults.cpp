#include <cerrno>
#include <random>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include "ContactStore.h"
#include "StoreIo.h"
#include "StoreTestUtil.h"

using namespace storetest;

namespace {

// Fails the Nth write, flush or rename (counted together); a failing write
// first puts half its bytes down, as a full disk does. Logs each of those calls
// with the name of the file it concerns.
class FaultyIo : public StoreIo
{
public:
    explicit FaultyIo(int failAt = 0) : m_failAt(failAt) {}
    bool fired() const { return m_fired; }
    QStringList log;

    int open(const QByteArray &path, int flags, mode_t mode) override
    {
        const int fd = StoreIo::open(path, flags, mode);
        if (fd >= 0)
            m_names[fd] = QFileInfo(QFile::decodeName(path)).fileName();
        return fd;
    }
    ssize_t pwrite(int fd, const void *buf, size_t n, off_t off) override
    {
        log << "write " + m_names.value(fd);
        if (hit()) {
            if (n > 1)
                StoreIo::pwrite(fd, buf, n / 2, off);
            errno = ENOSPC;
            return -1;
        }
        return StoreIo::pwrite(fd, buf, n, off);
    }
    int fsync(int fd) override
    {
        log << "fsync " + m_names.value(fd);
        if (hit()) {
            errno = EIO;
            return -1;
        }
        return StoreIo::fsync(fd);
    }
    int rename(const QByteArray &from, const QByteArray &to) override
    {
        log << "rename " + QFileInfo(QFile::decodeName(from)).fileName() + " " +
                   QFileInfo(QFile::decodeName(to)).fileName();
        if (hit()) {
            errno = EIO;
            return -1;
        }
        return StoreIo::rename(from, to);
    }

private:
    bool hit()
    {
        if (m_fired || ++m_calls != m_failAt)
            return false;
        m_fired = true;
        return true;
    }
    QHash<int, QString> m_names;
    int m_failAt;
    int m_calls = 0;
    bool m_fired = false;
};

} // namespace

class TestStoreFaults : public QObject
{
    Q_OBJECT
private slots:
    void everyFailurePoint_data();
    void everyFailurePoint();
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
