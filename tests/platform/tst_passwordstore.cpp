#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "platform/SettingsPasswordStore.h"

class TestPasswordStore : public QObject
{
    Q_OBJECT
private slots:
    void absentReadsEmpty();
    void keptAsPlainTextInItsSection();
    void readAfreshEachTime();
    void fileIsOwnerOnlyAfterEveryWrite();
    void failedWriteKeepsTheOldValue();
    void userScopeFollowsTheConfigurationFolder();
    void unwritableFolderAsAnotherUser();
    void damagedSettingsFailClosed_data();
    void damagedSettingsFailClosed();
    void oddFilesFailClosed();
    void unreadableAsAnotherUserFailsClosed();
    void noWriteThroughALink();
};

// The value, or a text no password can be, naming the problem.
static QString readOf(PasswordStore &store)
{
    QString value, why;
    return store.read(value, why) ? value : QStringLiteral("<unreadable> ") + why;
}

static bool writeOf(PasswordStore &store, const QString &password)
{
    QString why;
    return store.write(password, why);
}

// Root reads and writes anywhere, so these run in a child that drops to nobody;
// the child's exit status is the first check that failed, 0 when none did.
static int asNobody(const std::function<int()> &checks)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(100);
        ::_exit(checks());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

static void openToOthers(const QString &dir)
{
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                   QFile::ReadOther | QFile::ExeOther);
}

static mode_t modeOf(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

void TestPasswordStore::absentReadsEmpty()
{
    QTemporaryDir dir;
    SettingsPasswordStore store(dir.path());
    QCOMPARE(readOf(store), QString());
    QVERIFY(!QFile::exists(store.fileName())); // reading creates nothing
}

void TestPasswordStore::keptAsPlainTextInItsSection()
{
    QTemporaryDir dir;
    SettingsPasswordStore store(dir.path());
    QCOMPARE(store.fileName(), dir.path() + QStringLiteral("/Brannick.conf"));
    QVERIFY(writeOf(store, QStringLiteral("سلام secret")));
    QCOMPARE(readOf(store), QStringLiteral("سلام secret"));
    QSettings raw(store.fileName(), QSettings::IniFormat);
    QCOMPARE(raw.childGroups(), QStringList{QStringLiteral("Halvex")});
    QCOMPARE(raw.value(QStringLiteral("Halvex/Password")).toString(),
             QStringLiteral("سلام secret"));

    // An empty password stays a value, as the settings page writes it.
    QVERIFY(writeOf(store, QString()));
    QCOMPARE(readOf(store), QString());
    QSettings again(store.fileName(), QSettings::IniFormat);
    QVERIFY(again.contains(QStringLiteral("Halvex/Password")));
}

void TestPasswordStore::readAfreshEachTime()
{
    QTemporaryDir dir;
    SettingsPasswordStore store(dir.path());
    QVERIFY(writeOf(store, QStringLiteral("one")));
    QCOMPARE(readOf(store), QStringLiteral("one"));
    // Another program (or another copy of this one) changes the file later on.
    // Same size on purpose; the later time stamp is what tells a change apart,
    // and two writes within one tick of the file system's clock would share one.
    QFile f(store.fileName());
    const QDateTime written = QFileInfo(f).lastModified();
    QVERIFY(f.open(QIODevice::ReadWrite | QIODevice::Truncate));
    f.write("[Halvex]\nPassword=two\n");
    QVERIFY(f.flush()); // before the time stamp, or the flush at close would reset it
    QVERIFY(f.setFileTime(written.addSecs(2), QFileDevice::FileModificationTime));
    f.close();
    QCOMPARE(readOf(store), QStringLiteral("two"));
}

void TestPasswordStore::fileIsOwnerOnlyAfterEveryWrite()
{
    QTemporaryDir dir;
    SettingsPasswordStore store(dir.path());
    QVERIFY(writeOf(store, QStringLiteral("first")));
    QCOMPARE(modeOf(store.fileName()), mode_t(0600));
    // Loosened by hand, tightened again by the next write.
    QVERIFY(QFile::setPermissions(store.fileName(), QFile::ReadOwner | QFile::WriteOwner |
                                                        QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(writeOf(store, QStringLiteral("second")));
    QCOMPARE(modeOf(store.fileName()), mode_t(0600));
    QCOMPARE(readOf(store), QStringLiteral("second"));
}

void TestPasswordStore::failedWriteKeepsTheOldValue()
{
    QTemporaryDir dir;
    SettingsPasswordStore store(dir.path());
    QVERIFY(writeOf(store, QStringLiteral("old")));
    // The file cannot be replaced when its name is taken by a folder; root or not.
    const QString path = store.fileName();
    QVERIFY(QFile::remove(path));
    QVERIFY(QDir().mkdir(path));
    QVERIFY(!writeOf(store, QStringLiteral("new")));
    QVERIFY(QFileInfo(path).isDir());

    // A configuration folder that cannot be made.
    QFile blocker(dir.path() + QStringLiteral("/plainfile"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsPasswordStore nowhere(blocker.fileName() + QStringLiteral("/config"));
    QVERIFY(!writeOf(nowhere, QStringLiteral("new")));
    QCOMPARE(readOf(nowhere), QString());
}

void TestPasswordStore::userScopeFollowsTheConfigurationFolder()
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    SettingsPasswordStore store;
    QCOMPARE(store.fileName(), dir.path() + QStringLiteral("/Brannick.conf"));
    QVERIFY(writeOf(store, QStringLiteral("x")));
    QVERIFY(QFile::exists(dir.path() + QStringLiteral("/Brannick.conf")));
}

// Root writes anywhere, so the refusal is tried by a child that drops to nobody.
void TestPasswordStore::unwritableFolderAsAnotherUser()
{
    if (::geteuid() != 0)
        QSKIP("needs root to switch to another user");
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::ExeOther));
    SettingsPasswordStore store(dir.path());
    QVERIFY(writeOf(store, QStringLiteral("old")));
    QVERIFY(QFile::setPermissions(store.fileName(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(10);
        SettingsPasswordStore other(dir.path());
        if (readOf(other) != QStringLiteral("old"))
            ::_exit(11);
        if (writeOf(other, QStringLiteral("new")))
            ::_exit(12); // reported success
        if (readOf(other) != QStringLiteral("old"))
            ::_exit(13); // the unsaved value is seen
        ::_exit(0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(readOf(store), QStringLiteral("old"));
}

// Refused with the file named, and the value left empty.
static bool refused(PasswordStore &store, const QString &path)
{
    QString value, why;
    return !store.read(value, why) && value.isEmpty() && why.contains(path);
}

static bool put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

void TestPasswordStore::damagedSettingsFailClosed_data()
{
    // A null value means the file must be refused.
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("password");
    QTest::newRow("unclosed section") << QByteArray("[Halvex\nPassword=secret\n") << QString();
    QTest::newRow("all NUL bytes") << QByteArray(512, '\0') << QString();
    QTest::newRow("NUL inside the value")
        << QByteArray("[Halvex]\nPassword=se\0cret\n", 25) << QString();
    QTest::newRow("invalid UTF-8") << QByteArray("[Halvex]\nPassword=\xff\xfe\n") << QString();
    QTest::newRow("cut short") << QByteArray("[Halvex]\nPas") << QString();
    QTest::newRow("stray line") << QByteArray("[Halvex]\nnot a setting\nPassword=x\n") << QString();
    QTest::newRow("no key") << QByteArray("[Halvex]\n=secret\n") << QString();
    QByteArray noise(4096, 0);
    quint32 seed = 7; // a fixed garbage, the same every run
    for (char &c : noise)
        c = char((seed = seed * 1103515245 + 12345) >> 16);
    QTest::newRow("random bytes") << noise << QString();

    // What a hand-edited file may hold is still read.
    QTest::newRow("comments, blanks and CRLF")
        << QByteArray("; mine\r\n# also\r\n\r\n[Halvex]\r\n  Password = x=y \r\n") << u"x=y"_qs;
    QTest::newRow("Persian value") << QString("[Halvex]\nPassword=رمز\n").toUtf8() << u"رمز"_qs;
    QTest::newRow("empty file") << QByteArray() << u""_qs;
}

void TestPasswordStore::damagedSettingsFailClosed()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, password);
    QTemporaryDir dir;
    SettingsPasswordStore store(dir.path());
    const QString path = store.fileName();
    QVERIFY(put(path, bytes));
    if (!password.isNull()) {
        QCOMPARE(readOf(store), password);
        return;
    }
    QVERIFY(refused(store, path));
    // Nothing is written over it.
    QVERIFY(!writeOf(store, QStringLiteral("new")));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), bytes);
}

void TestPasswordStore::oddFilesFailClosed()
{
    QTemporaryDir dir;
    SettingsPasswordStore store(dir.path());
    const QString path = store.fileName();
    // Not a regular file: a FIFO is refused at once, not waited on.
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    QVERIFY(refused(store, path));
    QVERIFY(QFile::remove(path));
    // A dangling link is not an absent file.
    QVERIFY(QFile::link(dir.path() + QStringLiteral("/nowhere"), path));
    QVERIFY(refused(store, path));
    QVERIFY(!writeOf(store, QStringLiteral("new")));
    QVERIFY(!QFile::exists(dir.path() + QStringLiteral("/nowhere")));
}

void TestPasswordStore::unreadableAsAnotherUserFailsClosed()
{
    if (::geteuid() != 0)
        QSKIP("needs root to switch to another user");
    QTemporaryDir dir;
    openToOthers(dir.path());
    SettingsPasswordStore store(dir.path());
    // Owner-only, as the program leaves it, but another user's.
    QVERIFY(writeOf(store, QStringLiteral("secret")));
    QCOMPARE(asNobody([&] { return refused(store, store.fileName()) ? 0 : 1; }), 0);
}

void TestPasswordStore::noWriteThroughALink()
{
    QTemporaryDir dir;
    openToOthers(dir.path());
    // A file nobody may write, in a folder nobody may not: the case in which a
    // write through the link would empty it.
    const QString victim = dir.path() + QStringLiteral("/victim.conf");
    QFile v(victim);
    QVERIFY(v.open(QIODevice::WriteOnly));
    v.write("[Halvex]\nPassword=old\n");
    v.close();
    QVERIFY(QFile::setPermissions(victim, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther |
                                              QFile::WriteOther));
    SettingsPasswordStore store(dir.path());
    QVERIFY(QFile::link(victim, store.fileName()));

    const auto untouched = [&] {
        QVERIFY(QFileInfo(store.fileName()).isSymLink());
        QVERIFY(v.open(QIODevice::ReadOnly));
        QCOMPARE(v.readAll(), QByteArray("[Halvex]\nPassword=old\n"));
        v.close();
    };
    QCOMPARE(readOf(store), QStringLiteral("old"));  // read through the link
    QVERIFY(!writeOf(store, QStringLiteral("new"))); // the file's owner, root or not, is refused
    untouched();
    if (::geteuid() != 0)
        QSKIP("needs root to switch to another user");
    QCOMPARE(asNobody([&] {
                 QString why;
                 if (store.write(QStringLiteral("new"), why))
                     return 1;
                 return why.contains(store.fileName()) ? 0 : 2;
             }),
             0);
    untouched();
}

QTEST_GUILESS_MAIN(TestPasswordStore)
#include "tst_passwordstore.moc"
