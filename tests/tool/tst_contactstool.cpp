#include <tuple>
#include <utility>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "tests/contacts/ContactsTestUtil.h"
#include "tests/support/DataFiles.h"

using namespace contactstest;

namespace {

struct Process
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// The built executable, with a home of its own so nothing of the user's is read.
Process runProcess(const QStringList &args, const QByteArray &input = {},
                   const QString &stdoutFile = {})
{
    static QTemporaryDir home;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_DATA_HOME", home.filePath("share"));
    p.setProcessEnvironment(env);
    if (!stdoutFile.isEmpty())
        p.setStandardOutputFile(stdoutFile);
    p.start(QStringLiteral(HALVEX_CONTACTS), args);
    p.write(input);
    p.closeWriteChannel();
    Process r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.status = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace

class TestContactsTool : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void exitStatus_data();
    void exitStatus();
    void wholeRun();
    void check_data();
    void check();
    void writeFailures();
    void readingCommandsRestoreALeftover_data();
    void readingCommandsRestoreALeftover();
    void qtWordsOnlyWhenShown();
};

void TestContactsTool::exitStatus_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says"); // on stdout for 0, on stderr otherwise
    QTest::newRow("help") << QStringList{"--help"} << 0 << "import [--format auto|vcard|csv]";
    QTest::newRow("import help names the columns")
        << QStringList{"import", "--help"} << 0 << "Given Name, First Name";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "halvex-contacts 1.0.0";
    QTest::newRow("no command") << QStringList{} << 2 << "halvex-contacts --help";
    QTest::newRow("unknown command") << QStringList{"show"} << 2 << "«show»";
    QTest::newRow("unknown option") << QStringList{"list", "--fast"} << 2 << "fast";
    QTest::newRow("option of another command")
        << QStringList{"export", "--dry-run"} << 2 << "dry-run";
    QTest::newRow("bad export format") << QStringList{"export", "--format", "xml"} << 2 << "«xml»";
    QTest::newRow("bad import format")
        << QStringList{"import", "--format", "vcard3", "x"} << 2 << "«vcard3»";
    QTest::newRow("import without files") << QStringList{"import"} << 2 << "import FILE";
    QTest::newRow("list with an argument") << QStringList{"list", "x"} << 2 << "«x»";
    QTest::newRow("empty data folder name") << QStringList{"list", "--data", ""} << 2 << "--data";
    QTest::newRow("missing data file") << QStringList{"export", "--data", "/nonexistent/halvex"}
                                       << 1 << "/nonexistent/halvex/quorvel.dat";
    QTest::newRow("missing input file")
        << QStringList{"import", "--data", "/nonexistent/halvex", "/nonexistent/in.vcf"} << 1
        << "/nonexistent/in.vcf";
}

void TestContactsTool::exitStatus()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, says);
    const Process r = runProcess(args);
    QCOMPARE(r.status, status);
    const QString text = QString::fromUtf8(status == 0 ? r.out : r.err);
    QVERIFY2(text.contains(says), qPrintable(text));
    QVERIFY((status == 0 ? r.err : r.out).isEmpty());
}

void TestContactsTool::wholeRun()
{
    // Export, import (a file and standard input), list: the installed way of working.
    QTemporaryDir dir;
    const QString from = dir.filePath("from"), to = dir.filePath("to");
    writeData(from, sampleData());
    const QString vcf = dir.filePath("all.vcf");
    QCOMPARE(runProcess({"export", "--data", from, "-o", vcf}).status, 0);
    QCOMPARE(runProcess({"import", "--data", to, vcf}).status, 0);
    QCOMPARE(readData(to), importedSampleData());
    const Process csv = runProcess({"export", "--format", "csv", "--data", from});
    QCOMPARE(csv.status, 0);
    const Process piped = runProcess({"import", "--add-duplicates", "--data", to, "-"}, csv.out);
    QCOMPARE(piped.status, 0);
    QCOMPARE(readData(to), importedSampleData() + importedSampleData());

    const Process list = runProcess({"list", "--data", from});
    QCOMPARE(list.status, 0);
    const QStringList lines = QString::fromUtf8(list.out).split(u'\n');
    QCOMPARE(lines.size(), 9); // eight records and the last line end
    QCOMPARE(lines[0], QStringLiteral("1\tعلي\tرضايي\t02155\t09121234567\t1\tتهران، خيابان آزادي"));
    QCOMPARE(lines[1], QStringLiteral("2\tJohn\tSmith, Jr.\t\t\t-32768\t1 Main St; Apt \\\\4"));
    QCOMPARE(lines[2], QStringLiteral("3\t\t\t\t\t0\t"));
    QCOMPARE(lines[5], QStringLiteral("6\t  Sara\tO\"Neil\t+98-21\t\t300\tline one\\nline two"));
}

void TestContactsTool::check_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("leftover");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("says");
    QTest::newRow("sound") << datafiles::numbered(1, 3) << false << 0
                           << QStringList{"رکوردها: 3 (468 بايت)", "سالم است."};
    QTest::newRow("empty") << QByteArray() << false << 0 << QStringList{"رکوردها: 0", "سالم است."};
    QTest::newRow("torn") << datafiles::numbered(1, 2) + "abc" << false << 1
                          << QStringList{"رکوردها: 2 (315 بايت)",
                                         "رکورد نيمه کاره: 3 بايت در انتهاي فايل، از بايت 312",
                                         "سالم نيست."};
    QTest::newRow("too many") << QByteArray(32768 * 156, ' ') << false << 1
                              << QStringList{"بيش از 32767 رکورد", "سالم نيست."};
    QTest::newRow("deletion left over") << datafiles::numbered(1, 1) << true << 0
                                        << QStringList{"فايل quorvel1.dat (5 بايت)", "سالم است."};
}

void TestContactsTool::check()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, leftover);
    QFETCH(int, status);
    QFETCH(QStringList, says);
    QTemporaryDir dir;
    writeData(dir.path(), data);
    if (leftover)
        writeFile(dir.filePath("quorvel1.dat"), "xxxxx");
    const Process r = runProcess({"check", "--data", dir.path()});
    QCOMPARE(r.status, status);
    const QString out = QString::fromUtf8(r.out);
    for (const QString &s : says)
        QVERIFY2(out.contains(s), qPrintable(out));
    QCOMPARE(readData(dir.path()), data);
}

void TestContactsTool::readingCommandsRestoreALeftover_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("list") << QStringList{"list"};
    QTest::newRow("check") << QStringList{"check"};
    QTest::newRow("export") << QStringList{"export"};
}

// A deletion killed after removing the data file leaves its whole copy: every
// command brings it back first, those that only read included.
void TestContactsTool::readingCommandsRestoreALeftover()
{
    QFETCH(QStringList, args);
    QTemporaryDir dir;
    writeFile(dir.filePath("quorvel1.dat"), sampleData());
    const Run r = runTool(args + QStringList{"--data", dir.path()});
    QCOMPARE(r.status, 0);
    QVERIFY(!QFile::exists(dir.filePath("quorvel1.dat")));
    QCOMPARE(readData(dir.path()), sampleData());
}

void TestContactsTool::writeFailures()
{
    QTemporaryDir dir;
    writeData(dir.path(), sampleData());
    // A full disk behind standard output, and a folder that is not there.
    const Process full = runProcess({"export", "--data", dir.path()}, {}, "/dev/full");
    QCOMPARE(full.status, 1);
    QVERIFY(!full.err.isEmpty());
    const Process nowhere =
        runProcess({"export", "--data", dir.path(), "-o", dir.filePath("no/such/file.vcf")});
    QCOMPARE(nowhere.status, 1);
    QVERIFY(QString::fromUtf8(nowhere.err).contains(dir.filePath("no/such/file.vcf")));
}

void TestContactsTool::qtWordsOnlyWhenShown()
{
    // Qt's translation is loaded for the help and a parse error, once, and the
    // error is made again after it; an ordinary run never loads it.
    QTemporaryDir dir;
    writeData(dir.path(), sampleData());
    const auto runCounting = [&](const QStringList &args, int &calls) {
        QBuffer out, err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        ContactsTool tool(QStringLiteral("/nonexistent"), out, err);
        calls = 0;
        tool.setQtWords([&calls] { ++calls; });
        const int status = tool.run(QStringList{QStringLiteral("halvex-contacts")} + args);
        return std::make_pair(status, QString::fromUtf8(err.data()));
    };
    int calls = 0;
    QCOMPARE(runCounting({"export", "--data", dir.path()}, calls).first, 0);
    QCOMPARE(calls, 0);
    QCOMPARE(runCounting({"export", "--help"}, calls).first, 0);
    QCOMPARE(calls, 1);
    auto [status, err] = runCounting({"--fast"}, calls);
    QCOMPARE(status, 2);
    QCOMPARE(calls, 1);
    QVERIFY2(err.contains("fast"), qPrintable(err));
    std::tie(status, err) = runCounting({"export", "--data", dir.path(), "--dry-run"}, calls);
    QCOMPARE(status, 2);
    QCOMPARE(calls, 1);
    QVERIFY2(err.contains("dry-run"), qPrintable(err));
}

QTEST_GUILESS_MAIN(TestContactsTool)
#include "tst_contactstool.moc"
