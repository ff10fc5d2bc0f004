#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "contacts/CsvWriter.h"
#include "contacts/TextInput.h"
#include "contacts/VcardWriter.h"
#include "tests/contacts/ContactsTestUtil.h"
#include "tests/support/DataFiles.h"

using namespace contactstest;

class TestContactFormats : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void roundTrip_data();
    void roundTrip();
    void roundTripOddValues();
    void persianYeh();
    void vcardLines_data();
    void vcardLines();
    void vcardValues();
    void csvValues();
    void controlCharacters();
};

void TestContactFormats::roundTrip_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("vcard 4.0") << "vcard";
    QTest::newRow("vcard 3.0") << "vcard3";
    QTest::newRow("csv") << "csv";
}

void TestContactFormats::roundTrip()
{
    QFETCH(QString, format);
    QTemporaryDir dir;
    const QString from = dir.filePath("from"), to = dir.filePath("to");
    const QByteArray original = sampleData();
    writeData(from, original);

    const QString file = dir.filePath("contacts.out");
    const Run exported = runTool({"export", "--format", format, "--data", from, "-o", file});
    QCOMPARE(exported.status, 0);
    QVERIFY2(exported.err.isEmpty(), exported.err.constData());
    QCOMPARE(runTool({"export", "--format", format, "--data", from}).out, [&] {
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }());

    const Run imported = runTool({"import", "--data", to, file});
    QCOMPARE(imported.status, 0);
    QVERIFY2(imported.err.isEmpty(), imported.err.constData()); // nothing was lost
    // Only the address of two lines changed: it is one line now.
    const QByteArray stored = importedSampleData();
    QCOMPARE(readData(to).toHex(), stored.toHex());

    // Exporting the copy gives the same file again, and a second import adds
    // nothing the directory has, unless asked to.
    writeData(from, stored);
    QCOMPARE(runTool({"export", "--format", format, "--data", to}).out,
             runTool({"export", "--format", format, "--data", from}).out);
    QCOMPARE(runTool({"import", "--data", to, file}).status, 0);
    QCOMPARE(readData(to), stored);
    QCOMPARE(runTool({"import", "--add-duplicates", "--data", to, file}).status, 0);
    QCOMPARE(readData(to), stored + stored);
}

void TestContactFormats::roundTripOddValues()
{
    // Values that look like the formats' own syntax come back as they were.
    using datafiles::record;
    const QByteArray odd =
        record(u"\\"_qs, u";"_qs, u"tel:1234"_qs, u"\t0912"_qs, 7, u" \t,\"a\"\\n;"_qs) +
        record(u"BEGIN:VCARD"_qs, u"END:VCARD"_qs, u"=3D"_qs, u"\x7f"_qs, -7, u"item1.TEL:1"_qs) +
        record(u"a b c"_qs, {}, u" "_qs, u"\""_qs, 0, QString(100, u'؛')) +
        record({}, u"x y"_qs, {}, {}, 1, u"\\n"_qs) +
        record(u"'=1"_qs, u"''-"_qs, u"+98 21"_qs, u"'"_qs, 2, u"@\t'"_qs);
    for (const char *format : {"vcard", "vcard3", "csv"}) {
        QTemporaryDir dir;
        writeData(dir.filePath("from"), odd);
        const Run exported =
            runTool({"export", "--format", format, "--data", dir.filePath("from")});
        QCOMPARE(exported.status, 0);
        const Run imported = runTool({"import", "--data", dir.filePath("to"), "-"}, exported.out);
        QCOMPARE(imported.status, 0);
        QVERIFY2(imported.err.isEmpty(), imported.err.constData());
        QCOMPARE(readData(dir.filePath("to")).toHex(), odd.toHex());
    }
}

void TestContactFormats::persianYeh()
{
    // The store's ي goes out as the ی people type, and comes back as the same bytes.
    using datafiles::record;
    const QByteArray data = record(u"علي"_qs, u"رضايي"_qs, {}, {}, 1, u"کوي يأس"_qs);
    const QByteArray persian = QStringLiteral("رضایی").toUtf8(), arabic = u"رضايي"_qs.toUtf8();
    for (const char *format : {"vcard", "csv"}) {
        QTemporaryDir dir;
        writeData(dir.filePath("from"), data);
        const Run out = runTool({"export", "--format", format, "--data", dir.filePath("from")});
        QVERIFY(out.out.contains(persian) && out.out.contains(u"کوی یأس"_qs.toUtf8()));
        QVERIFY(!out.out.contains(u"ي"_qs.toUtf8()));
        const Run stored = runTool(
            {"export", "--format", format, "--arabic-letters", "--data", dir.filePath("from")});
        QCOMPARE(stored.out, QByteArray(out.out).replace(u"ی"_qs.toUtf8(), u"ي"_qs.toUtf8()));
        QVERIFY(stored.out.contains(arabic));
        QCOMPARE(runTool({"import", "--data", dir.filePath("to"), "-"}, out.out).status, 0);
        QCOMPARE(readData(dir.filePath("to")).toHex(), data.toHex());
    }
}

void TestContactFormats::vcardLines_data()
{
    QTest::addColumn<int>("version");
    QTest::newRow("4.0") << int(VcardWriter::V4);
    QTest::newRow("3.0") << int(VcardWriter::V3);
}

void TestContactFormats::vcardLines()
{
    QFETCH(int, version);
    const QByteArray data = sampleData();
    QByteArray out;
    QList<ExportWarning> warnings;
    for (qsizetype i = 0; i < data.size() / ContactRecord::Size; ++i)
        VcardWriter::write(ContactRecord::fromBytes(QByteArrayView(data).sliced(i * 156, 156)),
                           i + 1, VcardWriter::Version(version), out, warnings);
    QVERIFY(warnings.isEmpty());
    QVERIFY(out.endsWith("END:VCARD\r\n"));
    QVERIFY(TextInput::isUtf8(out));
    const QList<QByteArray> lines = out.chopped(1).split('\n');
    int folded = 0;
    for (const QByteArray &line : lines) {
        QVERIFY2(line.endsWith('\r'), line.constData());
        const QByteArray body = line.chopped(1);
        QVERIFY(!body.contains('\r'));
        QVERIFY2(body.size() <= 75, body.constData());
        // Each physical line is whole UTF-8 on its own: no character is split.
        QVERIFY2(TextInput::isUtf8(body), body.toHex().constData());
        folded += body.startsWith(' ');
    }
    QVERIFY(folded >= 2); // the long Persian address and the 100 x's
    const QByteArray version4 = "BEGIN:VCARD\r\nVERSION:4.0\r\n";
    const QByteArray version3 = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    QCOMPARE(out.count("BEGIN:VCARD"), 8);
    QCOMPARE(out.count(version == VcardWriter::V4 ? version4 : version3), 8);

    // The empty record: FN is there empty; 3.0 needs N as well, 4.0 leaves it out.
    const qsizetype third = out.indexOf("X-HALVEX-ID:0\r\n");
    const QByteArray empty = out.left(third).mid(out.left(third).lastIndexOf("BEGIN:VCARD"));
    QCOMPARE(empty, (version == VcardWriter::V4 ? version4 : version3) + "FN:\r\n" +
                        (version == VcardWriter::V3 ? "N:;;;;\r\n" : ""));
}

void TestContactFormats::vcardValues()
{
    ContactRecord r;
    r.setText(ContactRecord::Name, u"a,b");
    r.setText(ContactRecord::Family, u"c;d\\e");
    r.setText(ContactRecord::Mobile, u"0912");
    r.setText(ContactRecord::Address, u"x\ny, z");
    r.setID(-7);
    QByteArray out;
    QList<ExportWarning> warnings;
    VcardWriter::write(r, 1, VcardWriter::V4, out, warnings);
    QCOMPARE(out, QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\n"
                             "FN:a\\,b c\\;d\\\\e\r\n"
                             "N:c\\;d\\\\e;a\\,b;;;\r\n"
                             "TEL;TYPE=cell:0912\r\n"
                             "ADR:;;x\\ny\\, z;;;;\r\n"
                             "X-HALVEX-ID:-7\r\n"
                             "END:VCARD\r\n"));

    // Folding where the line stands: 75 octets, then a space and 74; never
    // inside a two-byte letter; a line of exactly 75 stays whole.
    const auto folded = [](const QByteArray &line) {
        QByteArray room = line + QByteArray(3 * (line.size() / 74 + 1), '#');
        char *end = VcardWriter::fold(room.data(), room.data() + line.size());
        return room.first(end - room.constData());
    };
    const QByteArray be = QString(3, u'ب').toUtf8();
    QCOMPARE(folded("N:" + QByteArray(73, 'a') + be), "N:" + QByteArray(73, 'a') + "\r\n " + be);
    QCOMPARE(folded(QByteArray(75 + 74 + 1, 'q')),
             QByteArray(75, 'q') + "\r\n " + QByteArray(74, 'q') + "\r\n q");
    QCOMPARE(folded(QByteArray(75, 'q')), QByteArray(75, 'q'));
    QCOMPARE(folded(QString(80, u'ب').toUtf8()), QString(37, u'ب').toUtf8() + "\r\n " +
                                                     QString(37, u'ب').toUtf8() + "\r\n " +
                                                     QString(6, u'ب').toUtf8());

    // A control character in the name is said once, though FN and N both hold it.
    r.setText(ContactRecord::Name, u"a\x01");
    warnings.clear();
    out.clear();
    VcardWriter::write(r, 4, VcardWriter::V3, out, warnings);
    QCOMPARE(warnings.size(), 1);
    QCOMPARE(warnings.first().record, qint64(4));
    QVERIFY(out.contains("FN:a\xEF\xBF\xBD c") && out.contains(";a\xEF\xBF\xBD;;;"));
}

void TestContactFormats::csvValues()
{
    QByteArray out;
    QList<ExportWarning> warnings;
    CsvWriter::begin(out);
    ContactRecord r;
    r.setText(ContactRecord::Name, u"  lead");
    r.setText(ContactRecord::Family, u"say \"hi\", ok");
    r.setText(ContactRecord::Phone, u"1;2");
    r.setText(ContactRecord::Address, u"a\r\nb");
    r.setID(32767);
    CsvWriter::write(r, 1, out, warnings);
    CsvWriter::write(ContactRecord(), 2, out, warnings);
    // What a spreadsheet would run as a formula is text: one more apostrophe.
    r.setText(ContactRecord::Name, u"=1+1");
    r.setText(ContactRecord::Family, u"''@x");
    r.setText(ContactRecord::Phone, u"'a");
    r.setText(ContactRecord::Mobile, u"+98 21 6600");
    r.setText(ContactRecord::Address, u"\t-1");
    r.setID(-5);
    CsvWriter::write(r, 3, out, warnings);
    QCOMPARE(out, QByteArray("\xEF\xBB\xBFName,Family,Phone,Mobile,ID,Address\r\n"
                             "\"  lead\",\"say \"\"hi\"\", ok\",1;2,,32767,\"a\r\nb\"\r\n"
                             ",,,,0,\r\n"
                             "'=1+1,'''@x,'a,'+98 21 6600,-5,\"'\t-1\"\r\n"));
    QVERIFY(warnings.isEmpty());
}

void TestContactFormats::controlCharacters()
{
    // Bytes no text format carries are written as U+FFFD and said, never dropped silently.
    QTemporaryDir dir;
    ContactRecord r;
    r.setText(ContactRecord::Name, u"a");
    r.data()[1] = '\0';
    r.data()[ContactRecord::offset(ContactRecord::Family)] = '\r';
    writeData(dir.path(), r.toByteArray());
    const Run vcard = runTool({"export", "--data", dir.path()});
    QCOMPARE(vcard.status, 0);
    QVERIFY(vcard.out.contains("FN:a\xEF\xBF\xBD \xEF\xBF\xBD\r\n"));
    QCOMPARE(vcard.errText().count(u'\n'), 2);
    QVERIFY(vcard.errText().contains(QStringLiteral("رکورد 1، نام: نويسه کنترلي 0x00")));
    QVERIFY(vcard.errText().contains(QStringLiteral("رکورد 1، نام خانوادگي: نويسه کنترلي 0x0d")));
    const Run csv = runTool({"export", "--format", "csv", "--data", dir.path()});
    QCOMPARE(csv.status, 0);
    QVERIFY(csv.out.contains("a\xEF\xBF\xBD,\"'\r\""));
    QCOMPARE(csv.errText().count(u'\n'), 1);
}

QTEST_GUILESS_MAIN(TestContactFormats)
#include "tst_contactformats.moc"
