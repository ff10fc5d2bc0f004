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

#include "SettingsPasswordStore.h"

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
};

static mode_t modeOf(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

void TestPasswordStore::absentReadsEmpty()
{
    QTemporaryDir dir;
    SettingsPasswordStore store(dir.path());
    QCOMPARE(store.read(), QString());
    QVERIFY(!QFile::exists(store.fileName())); // reading creates nothing
}

void TestPasswordStore::keptAsPlainTextInItsSection()
{
    QTemporaryDir dir;
    SettingsPasswordStore store(dir.path());
    QCOMPARE(store.fileName(), dir.path() + QStringLiteral("/Brannick.conf"));
    QVERIFY(store.write(QStringLiteral("سلام secret")));
    QCOMPARE(store.read(), QStringLiteral("سلام secret"));
    QSettings raw(store.fileName(), QSettings::IniFormat);
    QCOMPARE(raw.childGroups(), QStringList{QStringLiteral("Halvex")});
    QCOMPARE(raw.value(QStringLiteral("Halvex/Password")).toString(),
             QStringLiteral("سلام secret"));

    // An empty password stays a value, as the settings page writes it.
    QVERIFY(store.write(QString()));
    QCOMPARE(store.read(), QString());
    QSettings again(store.fileName(), QSettings::IniFormat);
    QVERIFY(again.contains(QStringLiteral("Halvex/Password")));
}

void TestPasswordStore::readAfreshEachTime()
{
    QTemporaryDir dir;
    SettingsPasswordStore store(dir.path());
    QVERIFY(store.write(QStringLiteral("one")));
    QCOMPARE(store.read(), QStringLiteral("one"));
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
    QCOMPARE(store.read(), QStringLiteral("two"));
}

void TestPasswordStore::fileIsOwnerOnlyAfterEveryWrite()
{
    QTemporaryDir dir;
    SettingsPasswordStore store(dir.path());
    QVERIFY(store.write(QStringLiteral("first")));
    QCOMPARE(modeOf(store.fileName()), mode_t(0600));
    // Loosened by hand, tightened again by the next write.
    QVERIFY(QFile::setPermissions(store.fileName(), QFile::ReadOwner | QFile::WriteOwner |
                                                        QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(store.write(QStringLiteral("second")));
    QCOMPARE(modeOf(store.fileName()), mode_t(0600));
    QCOMPARE(store.read(), QStringLiteral("second"));
}

void TestPasswordStore::failedWriteKeepsTheOldValue()
{
    QTemporaryDir dir;
    SettingsPasswordStore store(dir.path());
    QVERIFY(store.write(QStringLiteral("old")));
    // The file cannot be replaced when its name is taken by a folder; root or not.
    const QString path = store.fileName();
    QVERIFY(QFile::remove(path));
    QVERIFY(QDir().mkdir(path));
    QVERIFY(!store.write(QStringLiteral("new")));
    QVERIFY(QFileInfo(path).isDir());

    // A configuration folder that cannot be made.
    QFile blocker(dir.path() + QStringLiteral("/plainfile"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsPasswordStore nowhere(blocker.fileName() + QStringLiteral("/config"));
    QVERIFY(!nowhere.write(QStringLiteral("new")));
    QCOMPARE(nowhere.read(), QString());
}

void TestPasswordStore::userScopeFollowsTheConfigurationFolder()
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    SettingsPasswordStore store;
    QCOMPARE(store.fileName(), dir.path() + QStringLiteral("/Brannick.conf"));
    QVERIFY(store.write(QStringLiteral("x")));
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
    QVERIFY(store.write(QStringLiteral("old")));
    QVERIFY(QFile::setPermissions(store.fileName(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(10);
        SettingsPasswordStore other(dir.path());
        if (other.read() != QStringLiteral("old"))
            ::_exit(11);
        if (other.write(QStringLiteral("new")))
            ::_exit(12); // reported success
        if (other.read() != QStringLiteral("old"))
            ::_exit(13); // the unsaved value is seen
        ::_exit(0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(store.read(), QStringLiteral("old"));
}

QTEST_GUILESS_MAIN(TestPasswordStore)
#include "tst_passwordstore.moc"
