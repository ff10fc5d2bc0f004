#include <random>

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "contacts/ContactImport.h"
#include "contacts/CsvWriter.h"
#include "contacts/RecordBuilder.h"
#include "store/ContactStore.h"
#include "store/StoreIo.h"
#include "tests/contacts/ContactsTestUtil.h"
#include "tests/support/DataFiles.h"

using namespace contactstest;

namespace {

// Real files, without waiting for the disk: thousands of imports in seconds.
class NoSyncIo : public StoreIo
{
public:
    int fsync(int) override { return 0; }
};

const QList<QByteArray> kSeeds = {
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=D8=B9=D9=\r\n"
    "=84=DB=8C;Ali;;;\r\nTEL;CELL:0912\r\nTEL;HOME:021\r\nADR;HOME:;;Street;City;;;\r\n"
    "PHOTO;ENCODING=BASE64;JPEG:AAAA\r\nBBBB\r\n\r\nEND:VCARD\r\n",
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Sara O\\, Neil\r\nN:O\\, Neil;Sara;;;\r\nitem1.TEL;TYPE="
    "\"cell,voice\":+98 912\r\nitem1.X-ABLabel:mobile\r\nLABEL:1 Main\\nSt\r\nEMAIL:s@x\r\n"
    "X-HALVEX-ID:12\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nFN:Second Card\r\nEND:VCARD\r\n",
    "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:علي رضايي\r\nN:رضايي;علي;;;\r\nTEL;VALUE=uri;TYPE=cell:tel:"
    "+98-912\r\nADR;LABEL=\"a\\nb\":;;خيابان آزادي\\, پلاک 1;تهران;;;\r\nX-HALVEX-ID:-32768\r\n"
    "END:VCARD\r\n",
    "\xEF\xBB\xBFName,Family,Phone,Mobile,ID,Address\r\nعلي,رضايي,021,0912,1,\"تهران, "
    "\"\"آزادي\"\"\"\r\n"
    ",,,,0,\r\n",
    "Name,Given Name,Family Name,Phone 1 - Type,Phone 1 - Value,Address 1 - Formatted\r\n"
    "A B,A,B,Mobile,1 ::: 2,\"x\ny\"\r\n",
    "First Name;Last Name;Mobile Phone;Home Street;Home City\r\nمریم;احمدی;۰۹۱۲;ولیعصر;تهران\r\n",
};

const QList<QByteArray> kTokens = {"BEGIN:VCARD\r\n",
                                   "END:VCARD\r\n",
                                   "\r\n ",
                                   "\r\n",
                                   "=",
                                   "=\r\n",
                                   ";",
                                   ":",
                                   ",",
                                   "\"",
                                   "\\",
                                   "VERSION:2.1\r\n",
                                   "ENCODING=QUOTED-PRINTABLE",
                                   "CHARSET=X-UNKNOWN",
                                   "\xFF\xFE",
                                   "\xD8",
                                   "\0",
                                   "item1.",
                                   "TEL;TYPE=cell:",
                                   "X-HALVEX-ID:"};

QByteArray mutate(QByteArray s, std::mt19937 &rng)
{
    const auto pick = [&rng](qsizetype n) {
        return n <= 0 ? qsizetype(0)
                      : qsizetype(std::uniform_int_distribution<qsizetype>(0, n - 1)(rng));
    };
    const int steps = 1 + int(pick(6));
    for (int k = 0; k < steps; ++k) {
        const qsizetype at = pick(s.size() + 1);
        switch (pick(6)) {
        case 0:
            if (!s.isEmpty())
                s[pick(s.size())] = char(pick(256));
            break;
        case 1:
            s.insert(at, kTokens[pick(kTokens.size())]);
            break;
        case 2:
            s.remove(at, pick(40));
            break;
        case 3:
            s.insert(at, s.mid(pick(s.size()), pick(80)));
            break;
        case 4:
            s.truncate(at);
            break;
        default:
            s.insert(at, QByteArray(int(pick(3)) + 1, char(pick(128))));
        }
    }
    return s;
}

} // namespace

class TestContactFuzz : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void randomAndMutatedInput();
    void csvRoundTrip();
};

void TestContactFuzz::randomAndMutatedInput()
{
    std::mt19937 rng(20261207);
    QTemporaryDir dir;
    NoSyncIo io;
    ContactStore store = ContactStore::atDataFolder(dir.path(), &io);
    const QByteArray base = datafiles::numbered(1, 3);
    writeData(dir.path(), base);
    const ContactImport::Format formats[] = {ContactImport::Auto, ContactImport::Vcard,
                                             ContactImport::Csv};
    int failures = 0, successes = 0;
    for (int i = 0; i < 10000; ++i) {
        QByteArray input;
        if (i % 5 == 0) {
            input.resize(qsizetype(rng() % 600));
            for (char &c : input)
                c = char(rng() % 256);
        } else {
            input = mutate(kSeeds[qsizetype(rng() % kSeeds.size())], rng);
        }
        const QByteArray before = readData(dir.path());
        ContactImport job(
            store, [](const QString &) {}, [](const QString &) {});
        const int status = job.run({{QStringLiteral("fuzz"), input}}, formats[i % 3], i % 7 == 0);
        const QByteArray after = readData(dir.path());
        if (status != 0 || i % 7 == 0) {
            QVERIFY2(after == before,
                     qPrintable(QStringLiteral("input %1 changed the file").arg(i)));
        } else {
            QVERIFY(after.startsWith(before));
            QCOMPARE((after.size() - before.size()) % ContactRecord::Size, 0);
        }
        status == 0 ? ++successes : ++failures;
        if (after.size() > 200 * ContactRecord::Size)
            writeData(dir.path(), base);
    }
    // Both ways were exercised.
    QVERIFY(failures > 1000);
    QVERIFY(successes > 1000);
}

void TestContactFuzz::csvRoundTrip()
{
    // Any record comes back from its CSV export byte for byte, the apostrophes
    // that keep a spreadsheet from running a field as a formula included.
    const QByteArray often = "''''=+-@\t\r \",;\n\xED\x98";
    std::mt19937 rng(156);
    int checked = 0;
    for (int i = 0; i < 20000; ++i) {
        QByteArray bytes(ContactRecord::Size, ' ');
        for (char &c : bytes)
            c = rng() % 4 ? often[qsizetype(rng() % often.size())] : char(rng() % 256);
        // An import makes an address of several lines one line.
        for (qsizetype a = ContactRecord::offset(ContactRecord::Address); a < bytes.size(); ++a)
            if (bytes[a] == '\n' || bytes[a] == '\r')
                bytes[a] = 'x';
        const ContactRecord record = ContactRecord::fromBytes(bytes);
        QByteArray text;
        QList<ExportWarning> warnings;
        CsvWriter::begin(text);
        CsvWriter::write(record, 1, text, warnings);
        if (!warnings.isEmpty())
            continue; // a NUL byte, said on export
        QList<ContactRecord> back;
        const ReadResult r =
            ContactImport::read(text, ContactImport::Csv, [&](const ContactDraft &d) {
                QList<DraftNote> notes;
                back << RecordBuilder::build(d, 1, notes);
            });
        QVERIFY2(r.ok() && back.size() == 1, text.toHex().constData());
        QCOMPARE(back.first().toByteArray().toHex(), record.toByteArray().toHex());
        ++checked;
    }
    QVERIFY(checked > 10000);
}

QTEST_GUILESS_MAIN(TestContactFuzz)
#include "tst_contactfuzz.moc"
