#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "store/ContactStore.h"
#include "store/FileLock.h"

class TestFileLock : public QObject
{
    Q_OBJECT
private slots:
    void oneHolderAtATime();
    void linkIsRefused();
    void syncLockIsApartFromWrites();
};

void TestFileLock::oneHolderAtATime()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/x.lock";
    FileLock first(path, 0);
    QVERIFY(first.locked());
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0600));

    // A second holder waits its time and gives up without an error of its own.
    FileLock second(path, 30);
    QVERIFY(!second.locked());
    QCOMPARE(second.error(), 0);

    // Moving hands the lock over; only the last owner's end releases it.
    FileLock moved(std::move(first));
    QVERIFY(moved.locked() && !first.locked());
    first.unlock();
    QVERIFY(!FileLock(path, 0).locked());
    moved.unlock();
    QVERIFY(FileLock(path, 0).locked());

    FileLock assigned(path, 0);
    QVERIFY(assigned.locked());
    assigned = FileLock(path + "2", 0); // the old lock goes with the assignment
    QVERIFY(FileLock(path, 0).locked());
}

void TestFileLock::linkIsRefused()
{
    QTemporaryDir dir;
    const QString victim = dir.path() + "/victim";
    QVERIFY(QFile::link(victim, dir.path() + "/x.lock"));
    FileLock lock(dir.path() + "/x.lock", 0);
    QVERIFY(!lock.locked());
    QCOMPARE(lock.error(), ELOOP);
    QVERIFY(!QFileInfo::exists(victim));
}

void TestFileLock::syncLockIsApartFromWrites()
{
    QTemporaryDir dir;
    ContactStore store = ContactStore::atDataFolder(dir.path());
    QVERIFY(store.Open().ok());
    FileLock held;
    QVERIFY(store.LockForSync(held).ok());
    QVERIFY(held.locked());
    FileLock again;
    const StoreError e = store.LockForSync(again);
    QCOMPARE(e.kind(), StoreError::InUse);
    QCOMPARE(e.path(), store.syncStatePath() + ".lock");
    QVERIFY(!again.locked());
    // Writers are not held up by a sync in progress.
    QVERIFY(store.AppendRecord(ContactRecord()).ok());
    held.unlock();
    QVERIFY(store.LockForSync(again).ok());
}

QTEST_APPLESS_MAIN(TestFileLock)
#include "tst_filelock.moc"
