#include <QAbstractButton>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "about/frmAbout.h"
#include "platform/NoRegistry.h"
#include "tests/about/FakeRegistry.h"
#include "tests/support/RecordingLauncher.h"
#include "tests/support/ScriptedBoxes.h"

namespace {

const QString kToolKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kFolderKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
constexpr int kNone = -1;
const QString kNothing = QStringLiteral("<nothing started>");

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

} // namespace

class TestSysInfo : public QObject
{
    Q_OBJECT
private slots:
    void getKeyValue_data();
    void getKeyValue();
    void getKeyValueCallsTheRegistryInOrder();
    void startSysInfo_data();
    void startSysInfo();
    void realPathSearch();
    void normalFileCheck();

private:
    ScriptedBoxes m_boxes;
    RecordingLauncher m_launcher;
};

void TestSysInfo::getKeyValue_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("text");

    const int found = int(frmAbout::KeyLookup::Found);
    const int notFound = int(frmAbout::KeyLookup::NotFound);
    const int unreadable = int(frmAbout::KeyLookup::Unreadable);
    // The text starts as "before" in every row.
    QTest::newRow("string") << int(Registry::Sz) << QByteArray("C:\\WINNT\\msinfo32.exe\0", 22)
                            << found << "C:\\WINNT\\msinfo32.exe";
    QTest::newRow("only the terminator") << int(Registry::Sz) << QByteArray(1, '\0') << found << "";
    QTest::newRow("dword 261") << int(Registry::DWord) << bytes({0x05, 0x01, 0x00, 0x00}) << found
                               << "&h00000105";
    QTest::newRow("dword upper-case digits")
        << int(Registry::DWord) << bytes({0xff, 0x00, 0xab, 0x7f}) << found << "&h7FAB00FF";
    QTest::newRow("binary leaves the text")
        << int(Registry::Binary) << QByteArray("xy") << found << "before";
    QTest::newRow("no data at all") << int(Registry::Sz) << QByteArray() << unreadable << "before";
    QTest::newRow("longer than the buffer")
        << int(Registry::Sz) << QByteArray(1025, 'x') << notFound << "";
    QTest::newRow("missing value") << kNone << QByteArray() << notFound << "";
}

void TestSysInfo::getKeyValue()
{
    QFETCH(int, type);
    QFETCH(QByteArray, data);
    QFETCH(int, expected);
    QFETCH(QString, text);

    FakeRegistry registry;
    if (type == kNone)
        registry.keys[kToolKey]; // the key exists, the value does not
    else
        registry.set(kToolKey, QStringLiteral("PATH"), quint32(type), data);
    frmAbout about(registry, m_launcher, m_boxes);
    QString value = QStringLiteral("before");
    const auto result =
        about.GetKeyValue(Registry::LocalMachine, kToolKey, QStringLiteral("PATH"), value);
    QCOMPARE(int(result), expected);
    QCOMPARE(value, text);
    QVERIFY(registry.log.last().startsWith(QStringLiteral("close 100")));
}

void TestSysInfo::getKeyValueCallsTheRegistryInOrder()
{
    FakeRegistry registry;
    registry.set(kToolKey, QStringLiteral("PATH"), Registry::Sz, QByteArray("x\0", 2));
    frmAbout about(registry, m_launcher, m_boxes);
    QString value = QStringLiteral("before");

    QCOMPARE(about.GetKeyValue(Registry::LocalMachine, kToolKey, QStringLiteral("PATH"), value),
             frmAbout::KeyLookup::Found);
    // A missing key still closes its (empty) handle, and empties the text.
    QCOMPARE(about.GetKeyValue(Registry::LocalMachine, kFolderKey, QStringLiteral("MSINFO"), value),
             frmAbout::KeyLookup::NotFound);
    QCOMPARE(value, QString());
    QCOMPARE(registry.log, QStringList({
                               "open 80000002 " + kToolKey + " 0 2003f",
                               "query 100 PATH 1024",
                               "close 100",
                               "open 80000002 " + kFolderKey + " 0 2003f",
                               "close 0",
                           }));
}

void TestSysInfo::startSysInfo_data()
{
    QTest::addColumn<int>("toolType");
    QTest::addColumn<QByteArray>("tool");
    QTest::addColumn<int>("folderType");
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<bool>("fileThere");
    QTest::addColumn<QString>("onPath");
    QTest::addColumn<bool>("startFails");
    QTest::addColumn<QString>("started");
    QTest::addColumn<bool>("message");

    const int sz = Registry::Sz;
    const QByteArray exe("C:\\Tools\\msinfo32.exe\0", 22);
    const QByteArray dir("C:\\Tools\0", 9);
    QTest::newRow("tool path, no folder key") << sz << exe << kNone << QByteArray() << false << ""
                                              << false << "C:\\Tools\\msinfo32.exe" << false;
    QTest::newRow("tool path wins over the folder")
        << sz << exe << sz << QByteArray("D:\\Other\0", 9) << true << "" << false
        << "C:\\Tools\\msinfo32.exe" << false;
    QTest::newRow("folder holding the tool") << kNone << QByteArray() << sz << dir << true << ""
                                             << false << "C:\\Tools\\MSINFO32.EXE" << false;
    QTest::newRow("folder without the tool")
        << kNone << QByteArray() << sz << dir << false << "hardinfo" << false << kNothing << true;
    QTest::newRow("empty tool path counts as found")
        << sz << QByteArray(1, '\0') << sz << dir << true << "hardinfo" << false << "" << true;
    QTest::newRow("tool value with no data")
        << sz << QByteArray() << sz << dir << true << "hardinfo" << false << kNothing << true;
    QTest::newRow("folder value with no data") << kNone << QByteArray() << sz << QByteArray()
                                               << true << "hardinfo" << false << kNothing << true;
    QTest::newRow("tool that fails to start") << sz << exe << kNone << QByteArray() << false << ""
                                              << true << "C:\\Tools\\msinfo32.exe" << true;
    QTest::newRow("no registry, tool on PATH")
        << kNone << QByteArray() << kNone << QByteArray() << false << "kinfocenter" << false
        << "/usr/bin/kinfocenter" << false;
    QTest::newRow("no registry, nothing on PATH") << kNone << QByteArray() << kNone << QByteArray()
                                                  << false << "" << false << kNothing << true;
}

void TestSysInfo::startSysInfo()
{
    QFETCH(int, toolType);
    QFETCH(QByteArray, tool);
    QFETCH(int, folderType);
    QFETCH(QByteArray, folder);
    QFETCH(bool, fileThere);
    QFETCH(QString, onPath);
    QFETCH(bool, startFails);
    QFETCH(QString, started);
    QFETCH(bool, message);

    FakeRegistry registry;
    if (toolType != kNone)
        registry.set(kToolKey, QStringLiteral("PATH"), quint32(toolType), tool);
    if (folderType != kNone)
        registry.set(kFolderKey, QStringLiteral("MSINFO"), quint32(folderType), folder);
    m_boxes.reset();
    m_launcher.started.clear();
    m_launcher.startFails = startFails;

    frmAbout about(registry, m_launcher, m_boxes);
    QStringList checked;
    about.setFileCheck([&](const QString &path) {
        checked << path;
        return fileThere;
    });
    about.setProgramFinder([&](const QString &name) {
        return name == onPath ? QStringLiteral("/usr/bin/") + name : QString();
    });
    about.findChild<QAbstractButton *>(QStringLiteral("cmdSysInfo"))->click();

    if (started == kNothing) {
        QVERIFY(m_launcher.started.isEmpty());
    } else {
        QCOMPARE(m_launcher.started.size(), 1);
        QCOMPARE(m_launcher.started.first().program, started);
        QCOMPARE(m_launcher.started.first().arguments, QStringList());
    }
    // Once the tool's own value exists, the folder key is never opened.
    if (toolType != kNone)
        QVERIFY(!registry.log.join(u'\n').contains(kFolderKey));
    if (folderType != kNone && toolType == kNone && !folder.isEmpty())
        QCOMPARE(checked, QStringList({"C:\\Tools\\MSINFO32.EXE"}));
    else
        QVERIFY(checked.isEmpty());

    if (message) {
        QCOMPARE(m_boxes.shown.size(), 1);
        const auto &box = m_boxes.shown.first();
        QCOMPARE(box.text, QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(box.title, QStringLiteral("Halvex"));
        QCOMPARE(box.icon, ModalBoxes::NoIcon);
        QCOMPARE(box.buttons, ModalBoxes::Ok);
    } else {
        QVERIFY(m_boxes.shown.isEmpty());
    }
    m_launcher.startFails = false;
}

void TestSysInfo::realPathSearch()
{
    // Two tools on a private PATH: the earlier one in the list is started.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char *name : {"lxtask", "mate-system-monitor"}) {
        QFile f(dir.filePath(QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n");
        f.close();
        QVERIFY(f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeUser));
    }
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.path()));

    NoRegistry registry;
    frmAbout about(registry, m_launcher, m_boxes);
    m_launcher.started.clear();
    m_boxes.reset();
    about.StartSysInfo();

    qputenv("PATH", oldPath);
    QCOMPARE(m_launcher.started.size(), 1);
    QCOMPARE(m_launcher.started.first().program, dir.filePath("mate-system-monitor"));
    QVERIFY(m_boxes.shown.isEmpty());
}

void TestSysInfo::normalFileCheck()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile f(dir.filePath("MSINFO32.EXE"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(QDir(dir.path()).mkdir("folder"));

    QVERIFY(frmAbout::isNormalFile(dir.filePath("MSINFO32.EXE")));
    QVERIFY(!frmAbout::isNormalFile(dir.filePath("folder")));
    QVERIFY(!frmAbout::isNormalFile(dir.filePath("missing")));
    QVERIFY(!frmAbout::isNormalFile(QString()));
}

QTEST_MAIN(TestSysInfo)
#include "tst_sysinfo.moc"
