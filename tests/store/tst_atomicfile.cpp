#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "store/AtomicFile.h"
#include "tests/support/FaultyIo.h"

namespace {

constexpr uid_t kNobody = 65534;

QByteArray contentOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool put(const QString &path, const QByteArray &bytes, QFile::Permissions perms)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() &&
           f.setPermissions(perms);
}

struct stat statOf(const QString &path)
{
    struct stat st = {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

} // namespace

class TestAtomicFile : public QObject
{
    Q_OBJECT
private slots:
    void modeAndOwner();
    void staleCopyIsRemovedNeverFollowed_data();
    void staleCopyIsRemovedNeverFollowed();
    void refusesWhatIsNotAPlainFile();
    void streamedPiecesAndAbandonedCopy();
    void everyFailurePoint_data();
    void everyFailurePoint();
};

void TestAtomicFile::modeAndOwner()
{
    QTemporaryDir dir;
    const QString fresh = dir.path() + "/state";
    const mode_t oldMask = ::umask(077);
    const StoreError made = AtomicFile::replace(fresh, "one", 0640);
    ::umask(oldMask);
    QVERIFY2(made.ok(), qPrintable(made.message()));
    QCOMPARE(contentOf(fresh), QByteArray("one"));
    QCOMPARE(statOf(fresh).st_mode & 07777, mode_t(0640)); // not narrowed by the umask

    // An existing file keeps its own mode, not the one for new files.
    QVERIFY(put(fresh, "old", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    QVERIFY(AtomicFile::replace(fresh, "two", 0600).ok());
    QCOMPARE(contentOf(fresh), QByteArray("two"));
    QCOMPARE(statOf(fresh).st_mode & 07777, mode_t(0604));
    QVERIFY(!QFile::exists(fresh + ".new"));

    if (::geteuid() != 0)
        QSKIP("giving files to another user needs root");
    // Root writing in nobody's folder: a new file is nobody's, and an old one stays its owner's.
    const QString theirs = dir.path() + "/theirs";
    QVERIFY(QDir().mkdir(theirs));
    QCOMPARE(::chown(QFile::encodeName(theirs).constData(), kNobody, kNobody), 0);
    QVERIFY(AtomicFile::replace(theirs + "/new", "x", 0600).ok());
    QCOMPARE(statOf(theirs + "/new").st_uid, kNobody);
    QVERIFY(put(theirs + "/old", "y", QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(::chown(QFile::encodeName(theirs + "/old").constData(), 1, 1), 0);
    QVERIFY(AtomicFile::replace(theirs + "/old", "z", 0600).ok());
    QCOMPARE(statOf(theirs + "/old").st_uid, uid_t(1));
    QCOMPARE(statOf(theirs + "/old").st_gid, gid_t(1));
}

void TestAtomicFile::staleCopyIsRemovedNeverFollowed_data()
{
    QTest::addColumn<bool>("link");
    QTest::newRow("left-over copy") << false;
    QTest::newRow("link to another file") << true;
}

void TestAtomicFile::staleCopyIsRemovedNeverFollowed()
{
    QFETCH(bool, link);
    QTemporaryDir dir;
    const QString path = dir.path() + "/state";
    const QString victim = dir.path() + "/victim";
    QVERIFY(put(path, "old", QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(put(victim, "keep", QFile::ReadOwner | QFile::WriteOwner));
    if (link)
        QVERIFY(QFile::link(victim, path + ".new"));
    else
        QVERIFY(put(path + ".new", "half a write", QFile::ReadOwner));
    QVERIFY(AtomicFile::replace(path, "new", 0600).ok());
    QCOMPARE(contentOf(path), QByteArray("new"));
    QCOMPARE(contentOf(victim), QByteArray("keep"));
    QVERIFY(!QFileInfo::exists(path + ".new") && !QFileInfo(path + ".new").isSymLink());
}

void TestAtomicFile::refusesWhatIsNotAPlainFile()
{
    QTemporaryDir dir;
    const QString victim = dir.path() + "/victim";
    QVERIFY(put(victim, "keep", QFile::ReadOwner | QFile::WriteOwner));
    const QString link = dir.path() + "/link";
    QVERIFY(QFile::link(victim, link));
    StoreError e = AtomicFile::replace(link, "new", 0600);
    QCOMPARE(e.kind(), StoreError::IsLink);
    QCOMPARE(e.path(), link);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(contentOf(victim), QByteArray("keep"));

    QVERIFY(QDir(dir.path()).mkdir("folder"));
    e = AtomicFile::replace(dir.path() + "/folder", "new", 0600);
    QCOMPARE(e.kind(), StoreError::DiskError);
    QVERIFY(QFileInfo(dir.path() + "/folder").isDir());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 3);
}

void TestAtomicFile::streamedPiecesAndAbandonedCopy()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/data";
    const QString temp = dir.path() + "/copy";
    QVERIFY(put(path, "old", QFile::ReadOwner | QFile::WriteOwner));
    {
        AtomicFile file(path, nullptr, temp);
        QVERIFY(file.begin(0600).ok());
        QVERIFY(file.write("first ").ok() && file.write({}).ok());
        QVERIFY(QFile::exists(temp));
        QCOMPARE(contentOf(path), QByteArray("old"));
        // Dropped without a commit: the old file stays and the copy goes.
    }
    QCOMPARE(contentOf(path), QByteArray("old"));
    QVERIFY(!QFile::exists(temp));

    AtomicFile file(path, nullptr, temp);
    QVERIFY(file.begin(0600).ok());
    QVERIFY(file.write("first ").ok() && file.write("second").ok());
    QVERIFY(file.commit().ok());
    QCOMPARE(contentOf(path), QByteArray("first second"));
    QVERIFY(!QFile::exists(temp));
}

void TestAtomicFile::everyFailurePoint_data()
{
    QTest::addColumn<bool>("existing");
    QTest::newRow("replace") << true;
    QTest::newRow("create") << false;
}

void TestAtomicFile::everyFailurePoint()
{
    QFETCH(bool, existing);
    const int calls = FaultyIo::Write | FaultyIo::Fsync | FaultyIo::Rename | FaultyIo::Open |
                      FaultyIo::Lstat | FaultyIo::Stat | FaultyIo::Fstat | FaultyIo::Fchmod |
                      FaultyIo::Fchown;
    const QByteArray before = existing ? "old content" : "<missing>";
    for (int n = 1;; ++n) {
        QTemporaryDir dir;
        const QString path = dir.path() + "/state";
        if (existing)
            QVERIFY(put(path, before, QFile::ReadOwner | QFile::WriteOwner));
        FaultyIo io(n, calls);
        const StoreError e = AtomicFile::replace(path, "new content", 0600, &io);
        const QByteArray now = contentOf(path);
        QVERIFY(!QFile::exists(path + ".new"));
        if (!io.fired()) {
            QVERIFY2(e.ok(), qPrintable(e.message()));
            QCOMPARE(now, QByteArray("new content"));
            QVERIFY(n > 4);
            break;
        }
        // Only a failed folder sync after the rename leaves the new content, and says so.
        QVERIFY2(!e.ok(), qPrintable(QStringLiteral("fault %1 reported success").arg(n)));
        QCOMPARE(e.kind() == StoreError::Unconfirmed, now == "new content");
        if (e.kind() != StoreError::Unconfirmed)
            QCOMPARE(now, before);
    }
}

QTEST_APPLESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
