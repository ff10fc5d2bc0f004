#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "store/ContactStore.h"
#include "store/DataLocation.h"
#include "tests/support/FaultyIo.h"

class TestDataLocation : public QObject
{
    Q_OBJECT
private slots:
    void decision_data();
    void decision();
    void linkedInstallFolder();
    void fileFolderFoundInAnyCase();
    void prepareMakesAPrivateFolder();
};

void TestDataLocation::decision_data()
{
    QTest::addColumn<QString>("programDir");
    QTest::addColumn<bool>("hasFileDir");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("userData");
    QTest::addColumn<int>("expected");

    const QString user = QStringLiteral("/home/u/.local/share/Halvex");
    QTest::newRow("installed, no File/")
        << "/usr/bin" << false << "/usr/bin" << user << int(DataLocation::UserFolder);
    QTest::newRow("installed, but File/ kept beside it")
        << "/usr/bin" << true << "/usr/bin" << user << int(DataLocation::ProgramFolder);
    QTest::newRow("build folder") << "/home/u/src/halvex/build/bin" << false << "/usr/local/bin"
                                  << user << int(DataLocation::ProgramFolder);
    QTest::newRow("a copy in a folder of its own")
        << "/home/u/halvex" << false << "/usr/bin" << user << int(DataLocation::ProgramFolder);
    QTest::newRow("trailing slash is the same folder")
        << "/usr/bin/" << false << "/usr/bin" << user << int(DataLocation::UserFolder);
    QTest::newRow("no install folder known")
        << "/usr/bin" << false << "" << user << int(DataLocation::ProgramFolder);
    QTest::newRow("no user data folder") << "/usr/bin" << false << "/usr/bin"
                                         << "" << int(DataLocation::ProgramFolder);
}

void TestDataLocation::decision()
{
    QFETCH(QString, programDir);
    QFETCH(bool, hasFileDir);
    QFETCH(QString, installed);
    QFETCH(QString, userData);
    QFETCH(int, expected);
    QCOMPARE(int(DataLocation::decide({programDir, hasFileDir, installed, userData})), expected);
}

void TestDataLocation::linkedInstallFolder()
{
    // Debian links /bin to /usr/bin: a program started through either is installed.
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("usr/bin")));
    QVERIFY(
        QFile::link(dir.path() + QStringLiteral("/usr/bin"), dir.path() + QStringLiteral("/bin")));
    const DataLocation::Inputs in{dir.path() + QStringLiteral("/bin"), false,
                                  dir.path() + QStringLiteral("/usr/bin"), QStringLiteral("/u")};
    QCOMPARE(DataLocation::decide(in), DataLocation::UserFolder);
}

void TestDataLocation::fileFolderFoundInAnyCase()
{
    QTemporaryDir dir;
    QVERIFY(!ContactStore(dir.path()).hasDataFolder());
    QFile plain(dir.path() + QStringLiteral("/file"));
    QVERIFY(plain.open(QIODevice::WriteOnly)); // a plain file of that name is no folder
    plain.close();
    QVERIFY(!ContactStore(dir.path()).hasDataFolder());
    QVERIFY(QFile::remove(plain.fileName()));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("fILE")));
    QVERIFY(ContactStore(dir.path()).hasDataFolder());
    QCOMPARE(DataLocation::baseFolder(dir.path()), dir.path());
}

void TestDataLocation::prepareMakesAPrivateFolder()
{
    QTemporaryDir dir;
    const QString base = dir.path() + QStringLiteral("/share/Halvex");
    QVERIFY(DataLocation::prepare(base));
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(base).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0700u);
    QVERIFY(DataLocation::prepare(base)); // an existing folder is fine
    QFile blocker(dir.path() + QStringLiteral("/blocked"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(!DataLocation::prepare(blocker.fileName() + QStringLiteral("/Halvex")));
    // Every folder it makes goes through the store's file calls.
    for (int n = 1; n <= 2; ++n) {
        FaultyIo io(n, FaultyIo::Mkdir);
        QVERIFY(!DataLocation::prepare(dir.path() + QStringLiteral("/other/Halvex"), &io));
        QVERIFY(io.fired());
    }
}

QTEST_APPLESS_MAIN(TestDataLocation)
#include "tst_datalocation.moc"
