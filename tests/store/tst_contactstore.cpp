#include <functional>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "store/ContactStore.h"
#include "tests/store/StoreTestUtil.h"
#include "tests/support/ReadRecord.h"
#include "tests/support/SlipInIo.h"

using namespace storetest;

namespace {

constexpr uid_t kNobody = 65534;

// Runs op in a child as nobody, since root passes every permission check.
// Returns the error kind, or 100 + kind when the error does not name `path`.
int asNobody(const std::function<StoreError()> &op, const QString &path)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(99);
        const StoreError e = op();
        const bool named = e.path() == path && e.message().contains(path);
        ::_exit(int(e.kind()) + (named ? 0 : 100));
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

bool chownNobody(const QString &path)
{
    return ::chown(QFile::encodeName(path).constData(), kNobody, kNobody) == 0;
}

} // namespace

class TestContactStore : public QObject
{
    Q_OBJECT
private slots:
    void count_data();
    void count();
    void countMissing();
    void openCreatesFolderAndFile();
    void openRecoversFromTempFile();
    void openReportsUncreatableFolder();
    void dataPathThatIsAFolder();
    void folderNameIgnoresCase();
    void readAll();
    void readAllCreatesMissingFile();
    void appendAfterPartialRecord();
    void appendRefusedAtLimit();
    void appendKeepsOwnerOnlyMode();
    void appendRecords();
    void appendRecordsAtLimit();
    void appendRecordsOnlyAtCountedSize();
    void readOnlyDataFileRefusesEveryChange_data();
    void readOnlyDataFileRefusesEveryChange();
    void missingDataFileComesBackFromLeftover_data();
    void missingDataFileComesBackFromLeftover();
    void permissionProblemsSaySo();
    void linksAreNeverFollowed();
    void ownersStay();
    void atDataFolder();
    void rewrite();
    void rewriteRejectsBadNumbers_data();
    void rewriteRejectsBadNumbers();
    void verifiedWritesRefuseChangedRecords();
    void deleteRecord_data();
    void deleteRecord();
    void deleteRejectsBadNumbersWithoutTempFile();
    void deleteEmptiesLeftoverTemp();
    void deleteKeepsFileMode();
    void writersWaitForLock();
    void errorsNameTheFile();
};

void TestContactStore::count_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("overflow");
    QTest::newRow("empty") << qint64(0) << 0 << false;
    QTest::newRow("155") << qint64(155) << 0 << false;
    QTest::newRow("156") << qint64(156) << 1 << false;
    QTest::newRow("157") << qint64(157) << 1 << false;
    QTest::newRow("max") << qint64(5111652) << 32767 << false;
    QTest::newRow("max plus partial") << qint64(5111807) << 32767 << false;
    QTest::newRow("overflow") << qint64(5111808) << 0 << true;
}

void TestContactStore::count()
{
    QFETCH(qint64, bytes);
    QFETCH(int, expected);
    QFETCH(bool, overflow);
    QTemporaryDir dir;
    writeData(dir.path(), {});
    QVERIFY(QFile::resize(dataPath(dir.path()), bytes));
    ContactStore store(dir.path());
    qint16 n = -1;
    const StoreError e = store.CountRecords(n);
    QCOMPARE(e.kind(), overflow ? StoreError::Overflow : StoreError::None);
    if (!overflow)
        QCOMPARE(int(n), expected);
    qint64 whole = 0;
    QVERIFY(store.CountWholeRecords(whole).ok());
    QCOMPARE(whole, bytes / 156);
}

void TestContactStore::countMissing()
{
    QTemporaryDir dir;
    ContactStore store(dir.path());
    qint16 n;
    QCOMPARE(store.CountRecords(n).kind(), StoreError::PathNotFound);
    QVERIFY(QDir(dir.path()).mkdir("File"));
    QCOMPARE(store.CountRecords(n).kind(), StoreError::FileNotFound);
    QCOMPARE(store.AppendRecord(contact(1)).kind(), StoreError::FileNotFound);
    QCOMPARE(store.AppendRecords({contact(1)}).kind(), StoreError::FileNotFound);
    QCOMPARE(store.DeleteRecord(1).kind(), StoreError::FileNotFound);
    QVERIFY(!QFile::exists(dataPath(dir.path())));
    QVERIFY(!QFile::exists(dir.path() + "/File/quorvel1.dat"));
}

void TestContactStore::openCreatesFolderAndFile()
{
    QTemporaryDir dir;
    ContactStore store(dir.path());
    QVERIFY(store.Open().ok());
    QCOMPARE(readData(dir.path()), QByteArray());
    QCOMPARE(QFile::permissions(dataPath(dir.path())) & 0x7777,
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    // An existing file is left alone.
    writeData(dir.path(), records(1, 2));
    QVERIFY(store.Open().ok());
    QCOMPARE(readData(dir.path()), records(1, 2));
}

void TestContactStore::openRecoversFromTempFile()
{
    QTemporaryDir dir;
    writeData(dir.path(), records(1, 3));
    QVERIFY(QFile::rename(dataPath(dir.path()), dir.path() + "/File/quorvel1.dat"));
    ContactStore store(dir.path());
    QVERIFY(store.Open().ok());
    QCOMPARE(readData(dir.path()), records(1, 3));
    QVERIFY(!QFile::exists(dir.path() + "/File/quorvel1.dat"));
}

void TestContactStore::openReportsUncreatableFolder()
{
    QTemporaryDir dir;
    const QString program = dir.path() + "/missing/deeper";
    ContactStore store(program);
    const StoreError e = store.Open();
    QCOMPARE(e.kind(), StoreError::PathNotFound);
    QVERIFY(e.message().contains(program));
}

void TestContactStore::dataPathThatIsAFolder()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("File/quorvel.dat"));
    ContactStore store(dir.path());
    const StoreError e = store.Open();
    QCOMPARE(e.kind(), StoreError::DiskError);
    QVERIFY(e.message().contains("quorvel.dat"));
    qint16 n = 0;
    QCOMPARE(store.CountRecords(n).kind(), StoreError::DiskError);
    QCOMPARE(store.AppendRecord(contact(1)).kind(), StoreError::DiskError);
}

void TestContactStore::folderNameIgnoresCase()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("file"));
    ContactStore store(dir.path());
    QCOMPARE(store.dataDir(), dir.path() + "/file");
    QVERIFY(store.Open().ok());
    QVERIFY(!QFileInfo::exists(dir.path() + "/File"));
    QVERIFY(store.AppendRecord(contact(1)).ok());
    QCOMPARE(QFileInfo(dir.path() + "/file/quorvel.dat").size(), 156);
}

void TestContactStore::readAll()
{
    QTemporaryDir dir;
    writeData(dir.path(), {});
    ContactStore store(dir.path());
    int calls = 0;
    const auto visit = [&](const ContactRecord &, qint64) { return ++calls, true; };
    QVERIFY(store.ReadAllRecords(visit).ok());
    QCOMPARE(calls, 0);

    writeData(dir.path(), records(1, 1) + "x");
    QVERIFY(store.ReadAllRecords(visit).ok());
    QCOMPARE(calls, 1);

    // Order and numbering across the internal read chunks.
    writeData(dir.path(), records(1, 5000));
    qint64 last = 0;
    bool inOrder = true;
    QVERIFY(store
                .ReadAllRecords([&](const ContactRecord &r, qint64 n) {
                    inOrder = inOrder && n == last + 1 && r.ID() == qint16(n);
                    last = n;
                    return true;
                })
                .ok());
    QVERIFY(inOrder);
    QCOMPARE(last, 5000);
    std::vector<ContactRecord> all{contact(9)};
    writeData(dir.path(), records(1, 5000) + "x");
    QVERIFY(store.ReadAll(all).ok());
    QCOMPARE(all.size(), size_t(5000));
    QCOMPARE(all.front(), contact(1));
    QCOMPARE(all.back(), contact(5000));
    QVERIFY(QFile::remove(dataPath(dir.path())));
    QVERIFY(QDir(dir.path()).rmdir("File"));
    QCOMPARE(store.ReadAll(all).kind(), StoreError::PathNotFound);
    QVERIFY(all.empty());
    writeData(dir.path(), records(1, 5000));

    // Stopping early.
    calls = 0;
    QVERIFY(store.ReadAllRecords([&](const ContactRecord &, qint64) { return ++calls < 3; }).ok());
    QCOMPARE(calls, 3);

    ContactRecord r;
    QVERIFY(readRecord(store, 4097, r).ok());
    QCOMPARE(r, contact(4097));
    QCOMPARE(readRecord(store, 0, r).kind(), StoreError::BadRecordNumber);
    QCOMPARE(readRecord(store, 5001, r).kind(), StoreError::BadRecordNumber);
}

void TestContactStore::readAllCreatesMissingFile()
{
    QTemporaryDir dir;
    ContactStore store(dir.path());
    const auto visit = [](const ContactRecord &, qint64) { return true; };
    QCOMPARE(store.ReadAllRecords(visit).kind(), StoreError::PathNotFound);
    QVERIFY(QDir(dir.path()).mkdir("File"));
    QVERIFY(store.ReadAllRecords(visit).ok());
    QVERIFY(QFile::exists(dataPath(dir.path())));
}

void TestContactStore::appendAfterPartialRecord()
{
    QTemporaryDir dir;
    writeData(dir.path(), records(1, 1) + "x");
    ContactStore store(dir.path());
    qint64 after = 0;
    QVERIFY(store.AppendRecord(contact(2), &after).ok());
    QCOMPARE(after, 2);
    QCOMPARE(readData(dir.path()).toHex(), records(1, 2).toHex());
    QVERIFY(store.AppendRecord(contact(3)).ok());
    QCOMPARE(readData(dir.path()), records(1, 3));
}

void TestContactStore::appendRefusedAtLimit()
{
    QTemporaryDir dir;
    writeData(dir.path(), {});
    QVERIFY(QFile::resize(dataPath(dir.path()), qint64(32766) * 156));
    ContactStore store(dir.path());
    qint64 after = 0;
    QVERIFY(store.AppendRecord(contact(32767), &after).ok());
    QCOMPARE(after, 32767);
    QCOMPARE(QFileInfo(dataPath(dir.path())).size(), qint64(32767) * 156);
    QCOMPARE(store.AppendRecord(contact(1)).kind(), StoreError::Overflow);
    QCOMPARE(QFileInfo(dataPath(dir.path())).size(), qint64(32767) * 156);
}

void TestContactStore::appendKeepsOwnerOnlyMode()
{
    QTemporaryDir dir;
    ContactStore store(dir.path());
    QVERIFY(store.Open().ok());
    QVERIFY(store.AppendRecord(contact(1)).ok());
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(dataPath(dir.path())).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0600u);
}

void TestContactStore::appendRecords()
{
    QTemporaryDir dir;
    writeData(dir.path(), records(1, 2) + "part");
    const QByteArray path = QFile::encodeName(dataPath(dir.path()));
    QCOMPARE(::chmod(path.constData(), 0640), 0);
    ContactStore store(dir.path());
    // Nothing to add leaves even the partial tail alone.
    QVERIFY(store.AppendRecords({}).ok());
    QCOMPARE(readData(dir.path()), records(1, 2) + "part");

    QVERIFY(store.AppendRecords({contact(3), contact(4), contact(5)}).ok());
    QCOMPARE(readData(dir.path()).toHex(), records(1, 5).toHex());
    struct stat st;
    QCOMPARE(::stat(path.constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0640u);
    QVERIFY(!QFile::exists(dir.path() + "/File/quorvel1.dat"));

    // Into an empty file, with the count as the result.
    writeData(dir.path(), {});
    qint64 after = 0;
    QVERIFY(store.AppendRecords({contact(1)}, &after).ok());
    QCOMPARE(readData(dir.path()), records(1, 1));
    QCOMPARE(after, 1);
}

void TestContactStore::appendRecordsAtLimit()
{
    QTemporaryDir dir;
    writeData(dir.path(), {});
    const qint64 full = qint64(32767) * 156;
    QVERIFY(QFile::resize(dataPath(dir.path()), full - 3 * 156 + 7));
    const QByteArray before = readData(dir.path());
    ContactStore store(dir.path());
    // One too many refuses the whole batch.
    QCOMPARE(store.AppendRecords({contact(1), contact(2), contact(3), contact(4)}).kind(),
             StoreError::Overflow);
    QVERIFY(readData(dir.path()) == before);
    QVERIFY(!QFile::exists(dir.path() + "/File/quorvel1.dat"));

    QVERIFY(store.AppendRecords({contact(1), contact(2), contact(3)}).ok());
    const QByteArray after = readData(dir.path());
    QCOMPARE(after.size(), full);
    QVERIFY(after.startsWith(before.left(full - 3 * 156)));
    QVERIFY(after.endsWith(records(1, 3)));
    QCOMPARE(store.AppendRecords({contact(4)}).kind(), StoreError::Overflow);
    QCOMPARE(store.AppendRecords({}).kind(), StoreError::None);
}

void TestContactStore::appendRecordsOnlyAtCountedSize()
{
    QTemporaryDir dir;
    const QByteArray counted = records(1, 2) + "part";
    writeData(dir.path(), counted);
    // Another copy of the program appends between the count and the write.
    SlipInIo io([&] { QVERIFY(ContactStore(dir.path()).AppendRecord(contact(7)).ok()); });
    ContactStore store(dir.path(), &io);
    qint64 after = -1;
    const StoreError e = store.AppendRecords({contact(3)}, &after, counted.size());
    QCOMPARE(e.kind(), StoreError::FileChanged);
    QCOMPARE(e.path(), dataPath(dir.path()));
    QCOMPARE(after, -1);
    QCOMPARE(readData(dir.path()), records(1, 2) + contact(7).toByteArray());
    QVERIFY(!QFile::exists(dir.path() + "/File/quorvel1.dat"));

    // A count that still holds, partial tail and all, lets the append through.
    writeData(dir.path(), counted);
    QVERIFY(store.AppendRecords({contact(3)}, &after, counted.size()).ok());
    QCOMPARE(readData(dir.path()), records(1, 3));
    QCOMPARE(after, 3);
    QCOMPARE(store.AppendRecords({}, nullptr, 0).kind(), StoreError::FileChanged);
}

void TestContactStore::readOnlyDataFileRefusesEveryChange_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("refused");
    QTest::newRow("owner may only read") << 0400 << true;
    QTest::newRow("all may only read") << 0444 << true;
    QTest::newRow("group may write, owner not") << 0460 << true;
    QTest::newRow("owner may write") << 0600 << false;
    QTest::newRow("owner and group may write") << 0664 << false;
}

void TestContactStore::readOnlyDataFileRefusesEveryChange()
{
    // Decided from the mode alone, so root, who passes every check, is held too.
    QFETCH(int, mode);
    QFETCH(bool, refused);
    QTemporaryDir dir;
    ContactStore store(dir.path());
    std::vector<ContactRecord> two{contact(1), contact(2)};
    const std::function<StoreError()> writes[] = {
        [&] { return store.AppendRecord(contact(3)); },
        [&] { return store.AppendRecords({contact(3)}); },
        [&] { return store.RewriteRecord(1, contact(9)); }, [&] { return store.DeleteRecord(1); },
        [&] { return store.ReplaceAllRecords({contact(5)}, two); }};
    for (const auto &write : writes) {
        writeData(dir.path(), records(1, 2));
        const QByteArray path = QFile::encodeName(dataPath(dir.path()));
        QCOMPARE(::chmod(path.constData(), mode_t(mode)), 0);
        const StoreError e = write();
        if (refused) {
            QCOMPARE(e.kind(), StoreError::PermissionDenied);
            QCOMPARE(e.path(), dataPath(dir.path()));
            QCOMPARE(readData(dir.path()), records(1, 2));
        } else {
            QVERIFY2(e.ok(), qPrintable(e.message()));
            QVERIFY(readData(dir.path()) != records(1, 2));
        }
        struct stat st;
        QCOMPARE(::stat(path.constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), mode);
        QVERIFY(!QFile::exists(dir.path() + "/File/quorvel1.dat"));
        QVERIFY(QFile::setPermissions(QString::fromLocal8Bit(path),
                                      QFile::ReadOwner | QFile::WriteOwner));
    }
    // Reading is still fine.
    QVERIFY(QFile::setPermissions(dataPath(dir.path()), QFile::ReadOwner));
    std::vector<ContactRecord> read;
    QVERIFY(store.ReadAll(read).ok());
}

void TestContactStore::missingDataFileComesBackFromLeftover_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray three = records(1, 3);
    QTest::newRow("open") << "open" << three;
    QTest::newRow("list") << "list" << three;
    QTest::newRow("count") << "count" << three;
    QTest::newRow("read") << "read" << three;
    QTest::newRow("append") << "append" << records(1, 4);
    QTest::newRow("append many") << "append many" << records(1, 5);
    QTest::newRow("rewrite") << "rewrite" << records(1, 2) + contact(9).toByteArray();
    QTest::newRow("delete") << "delete" << records(2, 3);
}

void TestContactStore::missingDataFileComesBackFromLeftover()
{
    QFETCH(QString, op);
    QFETCH(QByteArray, expected);
    const auto run = [&op](ContactStore &store) {
        qint64 count = 0;
        ContactRecord r;
        if (op == "open")
            return store.Open();
        if (op == "list")
            return store.ReadAllRecords([](const ContactRecord &, qint64) { return true; });
        if (op == "count")
            return store.CountWholeRecords(count);
        if (op == "read")
            return readRecord(store, 2, r);
        if (op == "append")
            return store.AppendRecord(contact(4));
        if (op == "append many")
            return store.AppendRecords({contact(4), contact(5)});
        if (op == "rewrite")
            return store.RewriteRecord(3, contact(9));
        return store.DeleteRecord(1);
    };
    QTemporaryDir dir;
    writeData(dir.path(), records(1, 3));
    ContactStore store(dir.path());
    QVERIFY(store.Open().ok());
    // The data file vanishes while the program runs; the last deletion's copy is whole.
    const QString leftover = dir.path() + "/File/quorvel1.dat";
    QVERIFY(QFile::rename(dataPath(dir.path()), leftover));
    const StoreError e = run(store);
    QVERIFY2(e.ok(), qPrintable(e.message()));
    QCOMPARE(readData(dir.path()), expected);
    QVERIFY(!QFile::exists(leftover));

    // A cut copy is not the content: nothing creates a data file beside it or empties it.
    QVERIFY(QFile::rename(dataPath(dir.path()), leftover));
    QVERIFY(QFile::resize(leftover, expected.size() + 100));
    const auto leftoverBytes = [&] {
        QFile f(leftover);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    };
    const QByteArray cut = leftoverBytes();
    QCOMPARE(run(store).kind(), StoreError::FileNotFound);
    QVERIFY(!QFile::exists(dataPath(dir.path())));
    QCOMPARE(leftoverBytes(), cut);
}

void TestContactStore::permissionProblemsSaySo()
{
    if (::geteuid() != 0)
        QSKIP("switching to nobody needs root");
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::ExeOther));
    const QString program = dir.path();
    const QString folder = program + "/File";
    const QString data = dataPath(program);
    ContactStore store(program);
    const std::function<StoreError()> writes[] = {
        [&] { return store.AppendRecord(contact(3)); },
        [&] { return store.AppendRecords({contact(3)}); },
        [&] { return store.RewriteRecord(1, contact(9)); }, [&] { return store.DeleteRecord(1); }};

    // A start in a program folder the user may not write.
    QCOMPARE(asNobody([&] { return store.Open(); }, folder), int(StoreError::PermissionDenied));
    QVERIFY(!QFile::exists(folder));

    // A File folder the user may not write: the lock file cannot be made. The data
    // file itself is the user's. This is not another program holding the file.
    writeData(program, records(1, 2));
    QVERIFY(chownNobody(data));
    for (const auto &op : writes)
        QCOMPARE(asNobody(op, folder), int(StoreError::PermissionDenied));
    QCOMPARE(readData(program), records(1, 2));
    QVERIFY(QFile::remove(data));
    QCOMPARE(asNobody([&] { return store.Open(); }, folder), int(StoreError::PermissionDenied));
    QVERIFY(!QFile::exists(data));

    // A read-only data file in the user's own folder holds against every write,
    // a deletion and a bulk append included, though a rename needs only the folder.
    writeData(program, records(1, 2));
    QVERIFY(chownNobody(folder) && chownNobody(data));
    QVERIFY(QFile::setPermissions(data, QFile::ReadOwner));
    for (const auto &op : writes)
        QCOMPARE(asNobody(op, data), int(StoreError::PermissionDenied));
    QCOMPARE(readData(program), records(1, 2));
    QVERIFY(!QFile::exists(folder + "/quorvel1.dat"));
    // Reading it is still fine.
    const std::function<StoreError()> readAll = [&] {
        return store.ReadAllRecords([](auto &, qint64) { return true; });
    };
    QCOMPARE(asNobody(readAll, QString()), int(StoreError::None));

    // One the user may not even read says that, for a reading and for a write.
    QVERIFY(::chown(QFile::encodeName(data).constData(), 0, 0) == 0);
    QVERIFY(QFile::setPermissions(data, QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(asNobody(readAll, data), int(StoreError::ReadDenied));
    QCOMPARE(asNobody(writes[0], data), int(StoreError::ReadDenied));
}

void TestContactStore::linksAreNeverFollowed()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + "/File";
    const QString data = dataPath(dir.path());
    const QString temp = folder + "/quorvel1.dat";
    const QString victim = dir.path() + "/victim";
    const QByteArray victimBytes = records(70, 72);
    const auto plantVictim = [&] {
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly | QIODevice::Truncate));
        v.write(victimBytes);
    };
    const auto victimUntouched = [&] {
        QFile v(victim);
        return v.open(QIODevice::ReadOnly) && v.readAll() == victimBytes;
    };
    ContactStore store(dir.path());

    // A link in the copy's place, to a file, to nothing, to a folder: an import
    // and a deletion make their copy new beside it and follow none of them.
    QVERIFY(QDir().mkdir(dir.path() + "/elsewhere"));
    for (const QString &target : {victim, dir.path() + "/nothing", dir.path() + "/elsewhere"}) {
        plantVictim();
        writeData(dir.path(), records(1, 3));
        QFile::remove(temp);
        QVERIFY(QFile::link(target, temp));
        QVERIFY2(store.AppendRecords({contact(4)}).ok(), qPrintable(target));
        QVERIFY(QFile::link(target, temp));
        QVERIFY(store.DeleteRecord(1).ok());
        QCOMPARE(readData(dir.path()), records(2, 4));
        QVERIFY(victimUntouched());
        QVERIFY(!QFile::exists(dir.path() + "/nothing"));
        QVERIFY(QDir(dir.path() + "/elsewhere").isEmpty());
        QVERIFY(!QFileInfo(temp).isSymLink());
    }

    // A missing data file is not brought back from a link, however whole.
    QVERIFY(QFile::remove(data));
    QVERIFY(QFile::link(victim, temp));
    qint64 n = 0;
    QVERIFY(!store.CountWholeRecords(n).ok());
    QVERIFY(!store.Open().ok());
    QVERIFY(QFileInfo(temp).isSymLink() && !QFile::exists(data) && victimUntouched());
    QVERIFY(QFile::remove(temp));

    // A data file that is a link is refused by name, for reading and for writing.
    QVERIFY(QFile::link(victim, data));
    const std::function<StoreError()> ops[] = {
        [&] { return store.CountWholeRecords(n); },
        [&] { return store.ReadAllRecords([](auto &, qint64) { return true; }); },
        [&] { return store.AppendRecord(contact(9)); },
        [&] { return store.AppendRecords({contact(9)}); },
        [&] { return store.RewriteRecord(1, contact(9)); },
        [&] { return store.DeleteRecord(1); },
        [&] { return store.Open(); },
    };
    for (const auto &op : ops) {
        const StoreError e = op();
        QCOMPARE(e.kind(), StoreError::IsLink);
        QVERIFY(e.message().contains(data));
    }
    QVERIFY(victimUntouched());

    // So is a lock file that is a link.
    QVERIFY(QFile::remove(data));
    writeData(dir.path(), records(1, 1));
    QVERIFY(QFile::remove(folder + "/quorvel.dat.lock"));
    QVERIFY(QFile::link(victim, folder + "/quorvel.dat.lock"));
    QCOMPARE(store.AppendRecord(contact(2)).kind(), StoreError::IsLink);
    QCOMPARE(readData(dir.path()), records(1, 1));
    QVERIFY(victimUntouched());
}

void TestContactStore::ownersStay()
{
    if (::geteuid() != 0)
        QSKIP("making files for another user needs root");
    // Root works in nobody's folder: every file it leaves there stays nobody's,
    // with its mode, so nobody goes on working.
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::ExeOther));
    const QString folder = dir.path() + "/File";
    const QString data = dataPath(dir.path());
    QVERIFY(QDir().mkdir(folder) && chownNobody(folder));
    ContactStore store(dir.path());
    QVERIFY(store.Open().ok()); // makes the data file and the lock
    QVERIFY(QFile::setPermissions(data, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    QVERIFY(store.AppendRecords({contact(1), contact(2), contact(3)}).ok());
    QVERIFY(store.DeleteRecord(2).ok());
    const auto owned = [](const QString &path, mode_t mode) {
        struct stat st;
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 && st.st_uid == kNobody &&
               st.st_gid == kNobody && (mode == 0 || (st.st_mode & 07777) == mode);
    };
    QVERIFY(owned(data, 0640));
    QVERIFY(owned(folder + "/quorvel.dat.lock", 0));
    QCOMPARE(asNobody([&] { return store.AppendRecord(contact(4)); }, QString()),
             int(StoreError::None));
    QCOMPARE(readData(dir.path()), contact(1).toByteArray() + records(3, 4));
}

void TestContactStore::atDataFolder()
{
    QTemporaryDir dir;
    // A File folder inside is not looked for: the folder itself holds the data.
    writeData(dir.path(), records(1, 1));
    const QString folder = dir.path() + "/data";
    ContactStore store = ContactStore::atDataFolder(folder + "/");
    QCOMPARE(store.dataFilePath(), folder + "/quorvel.dat");
    QVERIFY(store.Open().ok());
    QVERIFY(store.AppendRecords({contact(2), contact(3)}).ok());
    QVERIFY(store.AppendRecord(contact(4)).ok());
    QFile f(folder + "/quorvel.dat");
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), records(2, 4));
    QCOMPARE(readData(dir.path()), records(1, 1));

    const ContactStore inside = ContactStore::atDataFolder(dir.path());
    qint64 n = -1;
    QCOMPARE(inside.CountWholeRecords(n).kind(), StoreError::FileNotFound);
}

void TestContactStore::rewrite()
{
    QTemporaryDir dir;
    writeData(dir.path(), records(1, 3));
    ContactStore store(dir.path());
    ContactRecord changed = contact(2);
    changed.setID(12);
    QVERIFY(store.RewriteRecord(2, changed).ok());
    QCOMPARE(readData(dir.path()), records(1, 1) + changed.toByteArray() + records(3, 3));
}

void TestContactStore::rewriteRejectsBadNumbers_data()
{
    QTest::addColumn<qint64>("n");
    QTest::newRow("zero") << qint64(0);
    QTest::newRow("negative") << qint64(-1);
    QTest::newRow("past end") << qint64(4);
    QTest::newRow("far past end") << qint64(40000);
}

void TestContactStore::rewriteRejectsBadNumbers()
{
    QFETCH(qint64, n);
    QTemporaryDir dir;
    writeData(dir.path(), records(1, 3));
    ContactStore store(dir.path());
    QCOMPARE(store.RewriteRecord(n, contact(9)).kind(), StoreError::BadRecordNumber);
    QCOMPARE(store.DeleteRecord(n).kind(), StoreError::BadRecordNumber);
    QCOMPARE(readData(dir.path()), records(1, 3));
    QVERIFY(!QFile::exists(dir.path() + "/File/quorvel1.dat"));
}

void TestContactStore::verifiedWritesRefuseChangedRecords()
{
    QTemporaryDir dir;
    writeData(dir.path(), records(1, 3));
    ContactStore store(dir.path());
    const ContactRecord seen = contact(1);
    // Record 2 is not what the caller saw.
    QCOMPARE(store.RewriteRecord(2, contact(9), &seen).kind(), StoreError::RecordChanged);
    QCOMPARE(store.DeleteRecord(2, &seen).kind(), StoreError::RecordChanged);
    // A number past the end, left over from a deletion, has moved too.
    QCOMPARE(store.RewriteRecord(4, contact(9), &seen).kind(), StoreError::RecordChanged);
    QCOMPARE(store.DeleteRecord(4, &seen).kind(), StoreError::RecordChanged);
    QCOMPARE(readData(dir.path()), records(1, 3));
    QVERIFY(!QFile::exists(dir.path() + "/File/quorvel1.dat"));
    const ContactRecord two = contact(2);
    QVERIFY(store.DeleteRecord(2, &two).ok());
    QCOMPARE(readData(dir.path()), records(1, 1) + records(3, 3));
}

void TestContactStore::deleteRecord_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("n");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("middle of three") << 3 << 2 << records(1, 1) + records(3, 3);
    QTest::newRow("first") << 3 << 1 << records(2, 3);
    QTest::newRow("last") << 3 << 3 << records(1, 2);
    QTest::newRow("only") << 1 << 1 << QByteArray();
    QTest::newRow("in a large file") << 5000 << 4500 << records(1, 4499) + records(4501, 5000);
}

void TestContactStore::deleteRecord()
{
    QFETCH(int, count);
    QFETCH(int, n);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    writeData(dir.path(), records(1, count) + "part"); // a partial tail is not a record
    ContactStore store(dir.path());
    QVERIFY(store.DeleteRecord(n).ok());
    QCOMPARE(readData(dir.path()), expected);
    qint64 left = -1;
    QVERIFY(store.CountWholeRecords(left).ok());
    QCOMPARE(left, count - 1);
    QVERIFY(!QFile::exists(dir.path() + "/File/quorvel1.dat"));
}

void TestContactStore::deleteRejectsBadNumbersWithoutTempFile()
{
    QTemporaryDir dir;
    writeData(dir.path(), {});
    ContactStore store(dir.path());
    QCOMPARE(store.DeleteRecord(0).kind(), StoreError::BadRecordNumber);
    QCOMPARE(store.DeleteRecord(1).kind(), StoreError::BadRecordNumber);
    QCOMPARE(readData(dir.path()), QByteArray());
    QVERIFY(!QFile::exists(dir.path() + "/File/quorvel1.dat"));
}

void TestContactStore::deleteEmptiesLeftoverTemp()
{
    QTemporaryDir dir;
    writeData(dir.path(), records(1, 2));
    {
        QFile old(dir.path() + "/File/quorvel1.dat");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(records(50, 60));
    }
    ContactStore store(dir.path());
    const auto left = store.leftover();
    QVERIFY(left);
    QCOMPARE(left->name, "quorvel1.dat");
    QCOMPARE(left->size, 11 * 156);
    QVERIFY(store.DeleteRecord(1).ok());
    QCOMPARE(readData(dir.path()), records(2, 2));
    QVERIFY(!store.leftover());
}

void TestContactStore::deleteKeepsFileMode()
{
    QTemporaryDir dir;
    writeData(dir.path(), records(1, 2));
    const QByteArray path = QFile::encodeName(dataPath(dir.path()));
    QCOMPARE(::chmod(path.constData(), 0640), 0);
    ContactStore store(dir.path());
    QVERIFY(store.DeleteRecord(1).ok());
    struct stat st;
    QCOMPARE(::stat(path.constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0640u);
}

void TestContactStore::writersWaitForLock()
{
    QTemporaryDir dir;
    writeData(dir.path(), records(1, 2));
    // Another copy of the program holding the lock.
    const QByteArray lockPath = QFile::encodeName(dir.path() + "/File/quorvel.dat.lock");
    const int other = ::open(lockPath.constData(), O_RDWR | O_CREAT, 0600);
    QVERIFY(other >= 0);
    QCOMPARE(::flock(other, LOCK_EX), 0);
    ContactStore store(dir.path());
    store.setLockTimeout(50);
    for (const StoreError &e : {store.AppendRecord(contact(3)), store.RewriteRecord(1, contact(9)),
                                store.DeleteRecord(1), store.AppendRecords({contact(3)})}) {
        QCOMPARE(e.kind(), StoreError::InUse);
        QVERIFY(e.message().contains(StoreError::kindName(StoreError::InUse)));
        QVERIFY(e.message().contains("quorvel.dat"));
    }
    QCOMPARE(readData(dir.path()), records(1, 2));
    ::close(other);
    QVERIFY(store.AppendRecord(contact(3)).ok());
}

void TestContactStore::errorsNameTheFile()
{
    const StoreError e(StoreError::Overflow, "/x/File/quorvel.dat");
    QVERIFY(e.message().contains("/x/File/quorvel.dat"));
    QVERIFY(e.message().contains("32767"));
    QVERIFY(StoreError().ok());
    QVERIFY(!StoreError().message().size());
}

QTEST_APPLESS_MAIN(TestContactStore)
#include "tst_contactstore.moc"
