#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "contacts/InputBuffer.h"
#include "store/StoreError.h"
#include "tests/contacts/ContactsTestUtil.h"
#include "tests/support/DataFiles.h"
#include "tests/support/FaultyIo.h"
#include "tests/support/SlipInIo.h"

using namespace contactstest;

class TestContactFaults : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void everyFailurePoint_data();
    void everyFailurePoint();
    void inputShortenedWhileRead();
    void writerSlipsInBeforeTheAppend();
};

void TestContactFaults::everyFailurePoint_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("added");
    QByteArray cards, added;
    for (int i = 1; i <= 50; ++i) {
        cards += "BEGIN:VCARD\r\nVERSION:4.0\r\nN:F" + QByteArray::number(i) + ";G;;;\r\n" +
                 "X-HALVEX-ID:" + QByteArray::number(i) + "\r\nEND:VCARD\r\n";
        added +=
            datafiles::record(QStringLiteral("G"), QStringLiteral("F%1").arg(i), {}, {}, qint16(i));
    }
    QTest::newRow("into an empty file") << QByteArray() << cards << added;
    QTest::newRow("after records") << datafiles::numbered(1, 3) << cards << added;
    QTest::newRow("over a partial record")
        << datafiles::numbered(1, 3) + "partial" << cards.left(cards.indexOf("END:VCARD") + 11)
        << added.left(156);
}

void TestContactFaults::everyFailurePoint()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, added);
    const QByteArray after = before.left(before.size() - before.size() % 156) + added;
    for (int n = 1;; ++n) {
        QTemporaryDir dir;
        writeData(dir.path(), before);
        FaultyIo io(n);
        const Run r = runTool({"import", "--data", dir.path(), "-"}, input, "/nonexistent", &io);
        const QByteArray now = readData(dir.path());
        QVERIFY(!QFile::exists(dir.filePath("quorvel1.dat")));
        if (!io.fired()) {
            QVERIFY2(r.status == 0, r.err.constData());
            QCOMPARE(now, after);
            QVERIFY(n > 3); // a write, a flush and a rename at least
            break;
        }
        // A reported failure leaves the old file; only a failed sync of the
        // folder after the rename leaves the new one, and says so.
        QVERIFY2(r.status == 1, qPrintable(QStringLiteral("fault %1 reported success").arg(n)));
        QVERIFY2(now == before || now == after, qPrintable(QStringLiteral("fault %1").arg(n)));
        QCOMPARE(r.errText().contains(QStringLiteral("نوشته شدند ولي پوشه همگام نشد")),
                 now == after);
        QCOMPARE(r.errText().contains(QStringLiteral("فايل داده دست نخورد")), now == before);
    }
}

// Another program cuts the input between its size being taken and its reading:
// what is there is read, where a mapped file would have ended in a bus error.
void TestContactFaults::inputShortenedWhileRead()
{
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("in.vcf")));
    QVERIFY(f.open(QIODevice::ReadWrite));
    const QByteArray big(3 * 1024 * 1024, 'x'); // large enough for the huge-page path
    f.write(big);
    QVERIFY(f.flush());
    const qint64 size = f.size();
    QVERIFY(f.resize(100));
    InputBuffer buffer;
    QString why;
    QVERIFY(buffer.read(f.handle(), size, why));
    QCOMPARE(buffer.bytes(), big.left(100));
}

// The import numbered its records after the ones it counted; another writer
// that adds one before the import takes the lock makes it add nothing.
void TestContactFaults::writerSlipsInBeforeTheAppend()
{
    QTemporaryDir dir;
    const QByteArray before = datafiles::numbered(1, 2);
    writeData(dir.path(), before);
    const QByteArray other = datafiles::numbered(3, 3);
    SlipInIo io([&] {
        QFile f(dataFile(dir.path()));
        QVERIFY(f.open(QIODevice::Append) && f.write(other) == other.size());
    });
    const Run r =
        runTool({"import", "--data", dir.path(), "-"},
                "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Late\r\nEND:VCARD\r\n", "/nonexistent", &io);
    QCOMPARE(r.status, 1);
    QVERIFY2(r.errText().contains(StoreError::kindName(StoreError::FileChanged)),
             r.err.constData());
    QVERIFY(r.errText().contains(QStringLiteral("فايل داده دست نخورد")));
    QCOMPARE(readData(dir.path()), before + other);
}

QTEST_GUILESS_MAIN(TestContactFaults)
#include "tst_contactfaults.moc"
