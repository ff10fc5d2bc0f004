#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "sync/SyncAccount.h"
#include "sync/SyncReport.h"

namespace {

int modeOf(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

} // namespace

class TestSyncAccount : public QObject
{
    Q_OBJECT

private slots:
    void keepsEveryFieldForItsOwnerOnly();
    void missingOrStrangeFiles();
    void lastResult();
    void livesInTheUsersConfigFolder();
};

void TestSyncAccount::keepsEveryFieldForItsOwnerOnly()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("halvex/sync.conf"));
    SyncAccount a;
    a.url = QUrl(QStringLiteral("https://dav.example.org/کاربر/book/"));
    a.user = QStringLiteral("مریم");
    a.autoSync = true;
    a.certificate = "-----BEGIN CERTIFICATE-----\nMIIB\nAAAA=\n-----END CERTIFICATE-----\n";
    SyncReport r;
    r.sent = 3;
    r.received = 2;
    r.changedHere = 1;
    r.changedThere = 4;
    r.deletedHere = 5;
    r.deletedThere = 6;
    r.conflict(QStringLiteral("one"));
    const QDateTime when(QDate(2026, 3, 1), QTime(8, 30), Qt::UTC);
    a.record(r, QStringLiteral("first\nsecond"), when);
    QString why;
    QVERIFY2(a.save(path, why), qPrintable(why));
    QCOMPARE(modeOf(path), 0600);

    SyncAccount b;
    QVERIFY2(b.load(path, why), qPrintable(why));
    QCOMPARE(b.url, a.url);
    QCOMPARE(b.user, a.user);
    QVERIFY(b.autoSync);
    QCOMPARE(b.certificate, a.certificate);
    QCOMPARE(b.lastTime, when);
    QCOMPARE(b.lastError, QStringLiteral("first\nsecond"));
    QCOMPARE((QList<int>{b.sent, b.received, b.changed, b.deleted, b.conflicts}),
             (QList<int>{3, 2, 5, 11, 1}));

    // A file others could read before is theirs no more after a save, and
    // what an earlier save held but this one does not is gone.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    SyncAccount plain;
    plain.url = QUrl(QStringLiteral("http://127.0.0.1:5232/"));
    QVERIFY2(plain.save(path, why), qPrintable(why));
    QCOMPARE(modeOf(path), 0600);
    QVERIFY(b.load(path, why));
    QVERIFY(b.certificate.isEmpty());
    QVERIFY(!b.lastTime.isValid());
    QVERIFY(!b.autoSync);
}

void TestSyncAccount::missingOrStrangeFiles()
{
    QTemporaryDir dir;
    SyncAccount a;
    a.url = QUrl(QStringLiteral("http://x/"));
    QString why;
    QVERIFY(a.load(dir.filePath(QStringLiteral("none.conf")), why));
    QVERIFY(!a.isSet());
    QVERIFY(why.isEmpty());

    QDir(dir.path()).mkdir(QStringLiteral("folder.conf"));
    const QString folder = dir.filePath(QStringLiteral("folder.conf"));
    QVERIFY(!a.load(folder, why));
    QVERIFY(why.contains(folder));

    // A file where the folder should be: nothing is written.
    QFile blocker(dir.filePath(QStringLiteral("halvex")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    a.url = QUrl(QStringLiteral("http://x/"));
    why.clear();
    QVERIFY(!a.save(dir.filePath(QStringLiteral("halvex/sync.conf")), why));
    QVERIFY(!why.isEmpty());
}

void TestSyncAccount::lastResult()
{
    SyncAccount a;
    QVERIFY(a.lastResultText().isEmpty());
    a.record({}, {}, QDateTime::currentDateTime());
    QVERIFY(a.lastResultText().startsWith(QStringLiteral("آخرين همگام سازي: ")));
    QVERIFY(!a.lastResultText().contains(QStringLiteral("ناموفق")));
    // Not today: the day is said too.
    const QString today = a.lastResultText();
    a.record({}, {}, QDateTime::currentDateTime().addDays(-3));
    QVERIFY(a.lastResultText().size() > today.size());
    a.record({}, QStringLiteral("سرور پاسخ 500 داد\n/u/book/"), QDateTime::currentDateTime());
    QVERIFY(a.lastResultText().contains(QStringLiteral("سرور پاسخ 500 داد")));
    QVERIFY(!a.lastResultText().contains(QStringLiteral("/u/book/")));
}

void TestSyncAccount::livesInTheUsersConfigFolder()
{
    QTemporaryDir dir;
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    const QString path = SyncAccount::defaultPath();
    qputenv("XDG_CONFIG_HOME", old);
    QCOMPARE(path, dir.filePath(QStringLiteral("halvex/sync.conf")));
}

QTEST_APPLESS_MAIN(TestSyncAccount)
#include "tst_syncaccount.moc"
