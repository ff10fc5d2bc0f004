// What a hostile or runaway input may cost: the built program is run as a
// child, and its peak memory is what the kernel counted for it.
#include <csignal>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "contacts/ContactImport.h"
#include "contacts/LossReport.h"
#include "contacts/TextInput.h"
#include "tests/contacts/ContactsTestUtil.h"

using namespace contactstest;

namespace {

constexpr long kMiB = 1024;

// AddressSanitizer shadows memory and keeps what is freed aside, so a
// sanitized program's peak says nothing about the shipped one: there only the
// outcome is checked, with more time before a run counts as a hang.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

#define VERIFY_PEAK(child, boundKiB)                                                               \
    QVERIFY2(kSanitized || (child).peakKiB < (boundKiB),                                           \
             qPrintable(QStringLiteral("peak %1 KiB").arg((child).peakKiB)))

struct Child
{
    int status = -1;
    long peakKiB = 0;
    QString err;
};

// Runs the program with standard input from inPath. Thirty seconds is only
// there to end a hang: the work takes well under two.
Child runChild(const QStringList &args, const QString &inPath, const QString &errPath)
{
    QList<QByteArray> words{QByteArrayLiteral(HALVEX_CONTACTS)};
    for (const QString &a : args)
        words << QFile::encodeName(a);
    std::vector<char *> argv;
    for (QByteArray &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    const QByteArray in = QFile::encodeName(inPath), err = QFile::encodeName(errPath);

    const pid_t pid = fork();
    if (pid == 0) {
        const int i = ::open(in.constData(), O_RDONLY);
        const int o = ::open("/dev/null", O_WRONLY);
        const int e = ::open(err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (i < 0 || o < 0 || e < 0 || dup2(i, 0) < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0)
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Child c;
    struct rusage ru = {};
    int status = 0;
    for (int waited = 0; wait4(pid, &status, WNOHANG, &ru) != pid; waited += 10) {
        if (waited > (kSanitized ? 120000 : 30000)) {
            ::kill(pid, SIGKILL);
            wait4(pid, &status, 0, &ru);
            return c;
        }
        usleep(10000);
    }
    c.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    c.peakKiB = ru.ru_maxrss;
    QFile f(errPath);
    f.open(QIODevice::ReadOnly);
    c.err = QString::fromUtf8(f.readAll());
    return c;
}

} // namespace

class TestContactBounds : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void refusedInputs();
    void endlessStandardInput();
    void commasUpToTheLimit();
    void wideRow();
    void longReport();
    void utf8InPieces();
};

void TestContactBounds::refusedInputs()
{
    // Too large, a FIFO (refused without waiting for a writer), a device, a
    // folder: each named, and the data file untouched.
    QTemporaryDir dir;
    const QByteArray data = sampleData();
    writeData(dir.path(), data);
    const QString large = dir.filePath("large.csv"), fifo = dir.filePath("pipe.vcf");
    QFile f(large);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(ContactImport::MaxInput + 1));
    f.close();
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &input : {large, fifo, QStringLiteral("/dev/zero"), dir.path()}) {
        const Run r = runTool({"import", "--data", dir.path(), input});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.errText().startsWith(input + QStringLiteral(": خوانده نشد: ")),
                 qPrintable(r.errText()));
        QCOMPARE(readData(dir.path()), data);
    }
    QVERIFY(runTool({"import", "--data", dir.path(), large}).errText().contains(u"64 مگابايت"));

    // Just at the limit is read.
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(f.write("Name\n") == 5 && f.resize(ContactImport::MaxInput));
    f.close();
    const Run read = runTool({"import", "--dry-run", "--data", dir.path(), large});
    QVERIFY2(read.errText().contains(u"بايت صفر"), qPrintable(read.errText()));
}

void TestContactBounds::endlessStandardInput()
{
    // Reading stops one byte past the limit.
    QTemporaryDir dir;
    writeData(dir.path(), sampleData());
    const Child c =
        runChild({"import", "--data", dir.path(), "-"}, "/dev/zero", dir.filePath("err"));
    QCOMPARE(c.status, 1);
    QVERIFY2(c.err.startsWith(QStringLiteral("<stdin>: خوانده نشد: بزرگتر از 64 مگابايت")),
             qPrintable(c.err));
    VERIFY_PEAK(c, 160 * kMiB);
    QCOMPARE(readData(dir.path()), sampleData());
}

void TestContactBounds::commasUpToTheLimit()
{
    // Every comma used to be a field of its own: 1.6 GB for this file.
    QTemporaryDir dir;
    const QString input = dir.filePath("commas.csv");
    QByteArray text = "Name,Phone\n";
    const QByteArray row = QByteArray(4095, ',') + '\n';
    text.reserve(ContactImport::MaxInput);
    while (text.size() + row.size() <= ContactImport::MaxInput)
        text += row;
    writeFile(input, text);
    text = {};
    const Child c = runChild({"import", "--dry-run", "--data", dir.path(), input}, "/dev/null",
                             dir.filePath("e"));
    QCOMPARE(c.status, 0);
    QVERIFY2(c.err.isEmpty(), qPrintable(c.err.left(300)));
    // The input, and little more.
    VERIFY_PEAK(c, 64 * kMiB + 40 * kMiB);
}

void TestContactBounds::wideRow()
{
    // 200,000 address columns: grouping them took 70 s, each row listed every
    // one, and the report named the whole header.
    QTemporaryDir dir;
    const QString input = dir.filePath("wide.csv");
    QByteArray header = "Name", row = "Ali", unknown = "Name", values = "Ali";
    for (int i = 1; i <= 200000; ++i) {
        header += ",Address " + QByteArray::number(i) + " - Street";
        row += ",v" + QByteArray::number(i);
    }
    writeFile(input, header + '\n' + row + '\n');
    const Child c = runChild({"import", "--dry-run", "--data", dir.path(), input}, "/dev/null",
                             dir.filePath("e"));
    QCOMPARE(c.status, 0);
    const QStringList lines = c.err.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), ContactDraft::MaxNotes + 1);
    QVERIFY(lines.last().endsWith(QStringLiteral("و 199949 مورد ديگر")));
    VERIFY_PEAK(c, 100 * kMiB);

    // Unknown columns are named, a few of them, however many there are.
    for (int i = 1; i <= 100000; ++i) {
        unknown += ",x" + QByteArray::number(i);
        values += ",v";
    }
    const Run r =
        runTool({"import", "--dry-run", "--data", dir.path(), "-"}, unknown + '\n' + values + '\n');
    QCOMPARE(r.status, 0);
    QVERIFY2(r.errText().startsWith(QStringLiteral(
                 "<stdin>:2: مخاطب 1 «Ali»: x1, x2, x3, x4, x5 و 99995 ستون ديگر: در فايل داده")),
             qPrintable(r.errText().left(300)));
}

void TestContactBounds::longReport()
{
    // A loss on every row: the first lines as they are, then a count per kind.
    QTemporaryDir dir;
    QByteArray csv = "Name,E-mail,Phone\n";
    for (int i = 0; i < 3000; ++i)
        csv += "A" + QByteArray::number(i) + ",a@b," + (i % 2 ? "123456789" : "") + "\n";
    const Run r = runTool({"import", "--dry-run", "--data", dir.path(), "-"}, csv);
    QCOMPARE(r.status, 0);
    const QStringList lines = r.errText().split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), LossReport::MaxLines + 3);
    QCOMPARE(lines[LossReport::MaxLines - 1].left(13), QStringLiteral("<stdin>:668: "));
    QCOMPARE(lines.mid(LossReport::MaxLines),
             (QStringList{QStringLiteral("پس از 1000 سطر، بقيه فقط شمرده شد:"),
                          QStringLiteral("  E-mail: 2333 مورد ديگر"),
                          QStringLiteral("  شماره تلفن: 1167 مورد ديگر")}));
}

void TestContactBounds::utf8InPieces()
{
    // Checked a piece at a time: a character across a piece's end is whole,
    // one cut at the end of the text is not.
    for (const qsizetype pad : {65533, 65534, 65535, 65536}) {
        const QByteArray text = QByteArray(pad, 'a') + u"ی😀"_qs.toUtf8();
        QVERIFY(TextInput::isUtf8(text));
        QVERIFY(!TextInput::isUtf8(text.chopped(1)));
        QVERIFY(!TextInput::isUtf8(QByteArray(text).insert(pad + 1, 'a')));
    }
}

QTEST_GUILESS_MAIN(TestContactBounds)
#include "tst_contactbounds.moc"
