#include <random>

#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include "contacts/ContactImport.h"
#include "contacts/RecordBuilder.h"
#include "store/ContactStore.h"
#include "store/Cp1256Codec.h"
#include "store/IdNumber.h"
#include "tests/contacts/ContactsTestUtil.h"
#include "tests/support/DataFiles.h"

using namespace contactstest;
using datafiles::record;

namespace {

struct Imported
{
    Run run;
    QByteArray data;
};

// Imports the bytes as one file into the data folder, with the given options.
Imported import(const QString &folder, const QByteArray &bytes, QStringList options = {},
                const QString &name = QStringLiteral("in.txt"))
{
    const QString path = QFileInfo(folder).path() + u'/' + name;
    writeFile(path, bytes);
    Imported r;
    r.run = runTool(QStringList{"import", "--data", folder} + options + QStringList{path});
    r.run.err.replace(QFileInfo(path).path().toUtf8() + '/', ""); // messages name the file as given
    r.data = readData(folder);
    return r;
}

QByteArray card(const QByteArray &body, const QByteArray &version = "3.0")
{
    return "BEGIN:VCARD\r\nVERSION:" + version + "\r\n" + body + "END:VCARD\r\n";
}

} // namespace

class TestContactImport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void vcard21();
    void escapes();
    void severalPhones();
    void faxIsNeverThePhone();
    void namesWithoutN();
    void foreignCsv();
    void encodings();
    void badInput_data();
    void badInput();
    void recordLimit();
    void dryRun();
    void lossReport();
    void storedLikeTheAddPage();
    void builderMatchesTheAddPage();
    void dataFolders();
};

void TestContactImport::vcard21()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("data");
    // Quoted-printable with a soft break, a folded line, an 8-bit Windows-1256
    // value and base64 that runs over unindented lines up to a blank one.
    const QByteArray text =
        card("N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=D8=B1=D8=B6=D8=A7=DB=8C=DB=8C;=D8=B9=D9="
             "\r\n"
             "=84=DB=8C;;;\r\n"
             "TEL;CELL;VOICE:0912\r\n"
             " 3334444\r\n"
             "ADR;HOME;CHARSET=WINDOWS-1256:;;" +
                 Cp1256Codec::encode(u"تهران") +
                 ";;;;\r\n"
                 "PHOTO;ENCODING=BASE64;TYPE=JPEG:/9j/4AAQ\r\n"
                 "SkZJRgAB\r\n"
                 "AQEASABI\r\n"
                 "\r\n",
             "2.1") +
        card("FN;ENCODING=QUOTED-PRINTABLE:Jane=20Roe\r\nADR:;;C:\\new;;;;\r\n", "2.1");
    const Imported r = import(folder, text, {}, "phone.vcf");
    QCOMPARE(r.run.status, 0);
    QCOMPARE(r.data, record(u"علي"_qs, u"رضايي"_qs, {}, u"09123334444"_qs, 1, u"تهران"_qs) +
                         record(u"Jane"_qs, u"Roe"_qs, {}, {}, 2, u"C:\\new"_qs));
    // The photo has no field; its data lines were never taken for properties.
    QCOMPARE(r.run.errText(), u"phone.vcf:1: مخاطب 1 «علی رضایی»: PHOTO: در فايل داده جايي "
                              u"ندارد و ذخيره نشد.\n"_qs);
}

void TestContactImport::escapes()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("data");
    const QByteArray text =
        card("N:O\\;Brien\\\\x;A\\,B;;;\r\nADR:;;1\\, Main\\nSt;Town,City;;;\r\n") +
        card("N:Fam;Giv;;;\r\nADR;LABEL=\"Line 1\\nLine 2\":;;;;;;\r\n", "4.0") +
        card("N:Back\\slash;Colon\\:;;;\r\n", "4.0") + card("ADR:;;a\\,b;c;;;\r\n", "2.1") +
        // VERSION after the name still decides how the name is read.
        "BEGIN:VCARD\r\nN:Smith,Jones;Ann;;;\r\nVERSION:2.1\r\nEND:VCARD\r\n";
    const Imported r = import(folder, text);
    QCOMPARE(r.run.status, 0);
    QCOMPARE(r.data, record(u"A,B"_qs, u"O;Brien\\x"_qs, {}, {}, 1, u"1, Main، St, Town, City"_qs) +
                         record(u"Giv"_qs, u"Fam"_qs, {}, {}, 2, u"Line 1، Line 2"_qs) +
                         record(u"Colon:"_qs, u"Back\\slash"_qs, {}, {}, 3, {}) +
                         record({}, {}, {}, {}, 4, u"a,b, c"_qs) +
                         record(u"Ann"_qs, u"Smith,Jones"_qs, {}, {}, 5, {}));
    QVERIFY2(r.run.err.isEmpty(), r.run.err.constData());
}

void TestContactImport::severalPhones()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("data");
    const QByteArray text = card("FN:A B\r\n"
                                 "TEL;TYPE=home:111\r\n"
                                 "TEL;TYPE=\"cell,voice\":222\r\n"
                                 "TEL;TYPE=work:333\r\n"
                                 "item1.TEL:444\r\n"
                                 "item1.X-ABLabel:_$!<Mobile>!$_\r\n"
                                 "TEL;VALUE=uri;TYPE=fax:tel:555\r\n") +
                            card("FN:C\r\nitem2.TEL:666\r\nitem2.X-ABLABEL:Mobile\r\n"
                                 "TEL;VALUE=uri:tel:+98-21\r\nTEL;TYPE=CELL:777\r\n",
                                 "4.0");
    const Imported r = import(folder, text);
    QCOMPARE(r.run.status, 0);
    QCOMPARE(r.data, record(u"A"_qs, u"B"_qs, u"111"_qs, u"222"_qs, 1, {}) +
                         record(u"C"_qs, {}, u"+98-21"_qs, u"666"_qs, 2, {}));
    const QString err = r.run.errText();
    QCOMPARE(err.count(u'\n'), 4);
    // The grouped number came first, though its label came after it.
    QVERIFY(err.contains(u"مخاطب 2 «C»: TEL: شماره موبايل ديگر «777» ذخيره نشد"_qs));
    QVERIFY(err.contains(u"مخاطب 1 «A B»: TEL: شماره تلفن ديگر «333» ذخيره نشد"_qs));
    QVERIFY(err.contains(u"مخاطب 1 «A B»: TEL: شماره موبايل ديگر «444» ذخيره نشد"_qs));
    QVERIFY(err.contains(u"مخاطب 1 «A B»: TEL: شماره فکس «555» ذخيره نشد"_qs));
}

void TestContactImport::faxIsNeverThePhone()
{
    // The voice number is the telephone wherever the fax stands; a fax only
    // when there is nothing else, and the report says so.
    QTemporaryDir dir;
    const QByteArray vcf = card("FN:A\r\nTEL;TYPE=work,fax:111\r\nTEL;TYPE=cell:222\r\n"
                                "TEL;TYPE=work:333\r\n") +
                           card("FN:B\r\nTEL;TYPE=pager:444\r\nTEL;TYPE=fax:555\r\n", "4.0");
    const Imported v = import(dir.filePath("v"), vcf);
    QCOMPARE(v.run.status, 0);
    QCOMPARE(v.data, record(u"A"_qs, {}, u"333"_qs, u"222"_qs, 1, {}) +
                         record(u"B"_qs, {}, u"444"_qs, {}, 2, {}));
    QCOMPARE(
        v.run.errText(),
        u"in.txt:1: مخاطب 1 «A»: TEL: شماره فکس «111» ذخيره نشد: فقط يک شماره تلفن جا دارد.\n"
        u"in.txt:8: مخاطب 2 «B»: TEL: شماره پيجر «444» به جاي شماره تلفن ذخيره شد: شماره "
        u"تلفن ديگري نداشت.\n"
        u"in.txt:8: مخاطب 2 «B»: TEL: شماره فکس «555» ذخيره نشد: فقط يک شماره تلفن جا دارد.\n"_qs);

    const QByteArray csv =
        "First Name,Business Fax,Business Phone,Phone 1 - Type,Phone 1 - Value\r\n"
        "A,111,333,Work Fax,444\r\n"
        "B,111,,Work Fax,444\r\n";
    const Imported c = import(dir.filePath("c"), csv);
    QCOMPARE(c.run.status, 0);
    QCOMPARE(c.data,
             record(u"A"_qs, {}, u"333"_qs, {}, 1, {}) + record(u"B"_qs, {}, u"111"_qs, {}, 2, {}));
    QCOMPARE(c.run.errText().count(u"به جاي شماره تلفن"_qs), 1);
}

void TestContactImport::namesWithoutN()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("data");
    const QByteArray text = card("FN:Mohammad Ali Rezaei\r\n") + card("FN:Cher\r\n", "4.0") +
                            card("N:;;;;\r\nFN:فاطمه احمدی\r\n") + card("FN:\r\nN:;;;;\r\n") +
                            card("N:Family Only;;;;\r\nFN:Ignored Name\r\n");
    const Imported r = import(folder, text);
    QCOMPARE(r.run.status, 0);
    QCOMPARE(r.data, record(u"Mohammad Ali"_qs, u"Rezaei"_qs, {}, {}, 1, {}) +
                         record(u"Cher"_qs, {}, {}, {}, 2, {}) +
                         record(u"فاطمه"_qs, u"احمدي"_qs, {}, {}, 3, {}) +
                         record({}, {}, {}, {}, 4, {}) +
                         record({}, u"Family Only"_qs, {}, {}, 5, {}));
}

void TestContactImport::foreignCsv()
{
    QTemporaryDir dir;
    // A web mail export: "Name" is the full name here, phones are typed by a
    // column of their own, several numbers share a cell.
    const QByteArray google =
        "Name,Given Name,Family Name,E-mail 1 - Type,E-mail 1 - Value,Phone 1 - Value,"
        "Phone 1 - Type,Phone 2 - Type,Phone 2 - Value,Address 1 - Formatted,Address 1 - City\r\n"
        "Ali Rezaei,Ali,Rezaei,* Home,a@b.c,0912 ::: 0935,Mobile,Home,021,\"Str "
        "5\nTehran\",Tehran\r\n"
        "Sara Karimi,,,,,,,Work,88,,Shiraz\r\n"
        "\r\n";
    const Imported g = import(dir.filePath("g"), google, {}, "google.csv");
    QCOMPARE(g.run.status, 0);
    QCOMPARE(g.data,
             record(u"Ali"_qs, u"Rezaei"_qs, u"021"_qs, u"0912"_qs, 1, u"Str 5، Tehran"_qs) +
                 record(u"Sara"_qs, u"Karimi"_qs, u"88"_qs, {}, 2, u"Shiraz"_qs));
    QCOMPARE(g.run.errText().count(u'\n'), 2);
    QVERIFY(g.run.errText().contains(u"google.csv:2: مخاطب 1 «Ali Rezaei»: E-mail 1 - Value:"_qs));
    QVERIFY(g.run.errText().contains(u"شماره موبايل ديگر «0935»"_qs));

    // A desktop mail program with semicolons, its address in parts; Persian captions.
    const QByteArray outlook = "First Name;Last Name;Mobile Phone;Business Phone;Home Street;"
                               "Home City;Notes\r\n"
                               "مریم;احمدی;۰۹۱۲۳۴۵۶۷۸۹;;خیابان ولیعصر;تهران;\r\n";
    const Imported o = import(dir.filePath("o"), outlook, {}, "outlook.csv");
    QCOMPARE(o.run.status, 0);
    QCOMPARE(o.data,
             record(u"مريم"_qs, u"احمدي"_qs, {}, u"09123456789"_qs, 1, u"خيابان وليعصر, تهران"_qs));
    QVERIFY2(o.run.err.isEmpty(), o.run.err.constData());

    const QByteArray persian = "نام,نام خانوادگی,شماره تلفن,شماره موبایل,شماره شناسایی,آدرس,"
                               "extra\r\nعلی,رضایی,021,0912,7,قم,x,surplus\r\n";
    const Imported p = import(dir.filePath("p"), persian);
    QCOMPARE(p.run.status, 0);
    QCOMPARE(p.data, record(u"علي"_qs, u"رضايي"_qs, u"021"_qs, u"0912"_qs, 7, u"قم"_qs));
    QCOMPARE(p.run.errText().count(u'\n'), 2); // the unknown column and the value past the header
}

void TestContactImport::encodings()
{
    QTemporaryDir dir;
    // A spreadsheet on a Persian Windows saves CSV in Windows-1256.
    const QByteArray ansi = "Name,Family\r\n" + Cp1256Codec::encode(u"علي,رضايي") + "\r\n";
    const Imported a = import(dir.filePath("a"), ansi);
    QCOMPARE(a.run.status, 0);
    QCOMPARE(a.data, record(u"علي"_qs, u"رضايي"_qs, {}, {}, 1, {}));
    QVERIFY(a.run.errText().contains(u"Windows-1256"_qs));

    // UTF-16 with its byte-order mark, as some address books write vCards.
    QStringEncoder utf16(QStringEncoder::Utf16LE);
    const QByteArray wide = "\xFF\xFE" + QByteArray(utf16(QString::fromUtf8(card("FN:زهرا\r\n"))));
    const Imported w = import(dir.filePath("w"), wide, {}, "wide.vcf");
    QCOMPARE(w.run.status, 0);
    QCOMPARE(w.data, record(u"زهرا"_qs, {}, {}, {}, 1, {}));

    // A UTF-8 byte-order mark before vCards and before our own header.
    const Imported b = import(dir.filePath("b"), "\xEF\xBB\xBF" + card("FN:x y\r\n"));
    QCOMPARE(b.data, record(u"x"_qs, u"y"_qs, {}, {}, 1, {}));
}

void TestContactImport::badInput_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("where");               // the file:line the message starts with
    const QByteArray good = card("FN:Good One\r\n");  // lines 1-4
    const QByteArray good2 = card("FN:Good Two\r\n"); // 4 more
    QTest::newRow("BEGIN inside a card")
        << good + "BEGIN:VCARD\r\nFN:x\r\nBEGIN:VCARD\r\nEND:VCARD\r\n" + good2 << "auto"
        << ":7:";
    QTest::newRow("END without BEGIN") << good + "END:VCARD\r\n" + good2 << "auto"
                                       << ":5:";
    QTest::newRow("END of another thing")
        << good + "BEGIN:VCARD\r\nEND:VCALENDAR\r\n" + good2 << "auto"
        << ":6:";
    QTest::newRow("card never closed") << good + good2 + "BEGIN:VCARD\r\nFN:x\r\n"
                                       << "auto"
                                       << ":9:";
    QTest::newRow("line without a colon")
        << good + "BEGIN:VCARD\r\nFN:x\r\nthis is prose\r\nEND:VCARD\r\n" + good2 << "auto"
        << ":7:";
    QTest::newRow("text outside a card") << good + "FN:stray\r\n" + good2 << "auto"
                                         << ":5:";
    QTest::newRow("bad property name") << good + "BEGIN:VCARD\r\nF N:x\r\nEND:VCARD\r\n"
                                       << "vcard"
                                       << ":6:";
    QTest::newRow("unclosed parameter quote")
        << good + "BEGIN:VCARD\r\nTEL;TYPE=\"cell:1\r\nEND:VCARD\r\n"
        << "vcard"
        << ":6:";
    QTest::newRow("huge line") << good + "BEGIN:VCARD\r\nNOTE:" + QByteArray(9 << 20, 'n') +
                                      "\r\nEND:VCARD\r\n"
                               << "auto"
                               << ":6:";
    QTest::newRow("huge folded line")
        << good + "BEGIN:VCARD\r\nNOTE:" +
               QByteArray(1 << 20, 'n')
                   .repeated(9)
                   .replace(QByteArray(70, 'n'), QByteArray(70, 'n') + "\r\n ") +
               "\r\nEND:VCARD\r\n"
        << "auto"
        << ":6:";
    QTest::newRow("not text") << good + QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << "auto"
                              << ":7:";
    QTest::newRow("vcard that is csv") << QByteArray("Name,Family\r\na,b\r\n") << "vcard"
                                       << ":1:";
    QTest::newRow("csv header unknown") << QByteArray("foo,bar\r\n1,2\r\n") << "auto"
                                        << ":1:";
    QTest::newRow("csv quote never closed")
        << QByteArray("Name,Family\r\na,b\r\nc,\"d\r\ne,f\r\n") << "csv"
        << ":3:";
    QTest::newRow("csv huge row") << "Name,Address\r\na,b\r\nc," + QByteArray(9 << 20, 'a') << "csv"
                                  << ":3:";
}

void TestContactImport::badInput()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, format);
    QFETCH(QString, where);
    QTemporaryDir dir;
    const QString folder = dir.filePath("data");
    const QByteArray before = record(u"Kept"_qs);
    writeData(folder, before);
    const Imported r = import(folder, text, {"--format", format}, "bad.vcf");
    QCOMPARE(r.run.status, 1);
    QCOMPARE(r.data, before);
    const QString err = r.run.errText();
    QVERIFY2(err.startsWith(u"bad.vcf"_qs + where) || err.contains(u"\nbad.vcf"_qs + where),
             qPrintable(err.left(300)));
    QVERIFY(err.contains(u"هيچ مخاطبي افزوده نشد"_qs));
    QVERIFY(r.run.out.isEmpty());
}

void TestContactImport::recordLimit()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("data");
    const QByteArray full = datafiles::numbered(1, 32760);
    writeData(folder, full);
    QByteArray cards;
    for (int i = 0; i < 7; ++i)
        cards += card("FN:Card " + QByteArray::number(i) + "\r\n");

    // 32760 + 8 is one too many: nothing is written, even by the first file.
    const QString seven = dir.filePath("seven.vcf"), one = dir.filePath("one.vcf");
    writeFile(seven, cards);
    writeFile(one, card("FN:Extra\r\n"));
    const Run over = runTool({"import", "--data", folder, seven, one});
    QCOMPARE(over.status, 1);
    QVERIFY(over.errText().contains(u"32767"_qs));
    QCOMPARE(readData(folder), full);
    const Run dry = runTool({"import", "--dry-run", "--data", folder, seven, one});
    QCOMPARE(dry.status, 1);

    // Exactly 32767 fits; the proposed numbers go on from the count.
    const Imported fits = import(folder, cards);
    QCOMPARE(fits.run.status, 0);
    QCOMPARE(fits.data.size(), qsizetype(32767) * 156);
    QCOMPARE(fits.data.right(156), record(u"Card"_qs, u"6"_qs, {}, {}, 32767, {}));
    QCOMPARE(import(folder, card("FN:x\r\n")).run.status, 1);
    QCOMPARE(readData(folder).size(), qsizetype(32767) * 156);
}

void TestContactImport::dryRun()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("data");
    const QByteArray before = record(u"One"_qs) + "torn";
    writeData(folder, before);
    const QByteArray text = card("FN:A Very Long Given Name Indeed\r\nEMAIL:x@y\r\n");
    const Imported dry = import(folder, text, {"--dry-run"});
    QCOMPARE(dry.run.status, 0);
    QCOMPARE(dry.data, before);
    QVERIFY(!QFile::exists(folder + "/quorvel1.dat"));
    const Imported real = import(folder, text);
    QCOMPARE(real.run.status, 0);
    // The same report, including the partial record the append leaves out.
    QCOMPARE(dry.run.errText(), real.run.errText());
    QCOMPARE(real.run.errText().count(u'\n'), 3);
    QVERIFY(real.run.errText().contains(u"4 بايت انتهاي فايل داده"_qs));
    QCOMPARE(real.data, record(u"One"_qs) + record(u"A Very Long Giv"_qs, u"Indeed"_qs, {}, {}, 2));

    // A dry run into a folder that is not there creates nothing.
    const Imported none = import(dir.filePath("none"), text, {"--dry-run"});
    QCOMPARE(none.run.status, 0);
    QVERIFY(!QFileInfo::exists(dir.filePath("none")));

    // A stopped reading says nothing and leaves nothing to write.
    ContactStore store = ContactStore::atDataFolder(folder);
    QStringList said;
    ContactImport job(
        store, [&](const QString &l) { said << l; }, [&](const QString &l) { said << l; });
    ContactImport::Plan plan;
    const std::atomic_bool stop{true};
    QVERIFY(!job.prepare({{QStringLiteral("x.vcf"), text}}, ContactImport::Auto, plan, &stop));
    QVERIFY(plan.records.empty());
    QCOMPARE(said, QStringList());
}

void TestContactImport::lossReport()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("data");
    writeData(folder, datafiles::numbered(1, 4));
    const QByteArray text = card("N:Family😀Name;Ωmega;Middle;Dr.;\r\n"
                                 "TEL;TYPE=cell:+98 912 123 4567\r\n"
                                 "ADR:;;" +
                                 QByteArray(120, 'a') +
                                 ";;;;\r\n"
                                 "ORG:Acme\r\nEMAIL:a@b\r\nEMAIL:c@d\r\nX-HALVEX-ID:99999\r\n") +
                            card("FN:Only\r\nX-HALVEX-ID:۱۲٫۵\r\n") +
                            card("FN:ID\r\nX-HALVEX-ID:-0012\r\n");
    const Imported r = import(folder, text, {}, "c.vcf");
    QCOMPARE(r.run.status, 0);
    const QStringList lines = r.run.errText().split(u'\n', Qt::SkipEmptyParts);
    const QString who = u"c.vcf:1: مخاطب 1 «Ωmega Family😀Name»: "_qs;
    const QStringList expected = {
        who + u"N: نام مياني «Middle» ذخيره نشد."_qs,
        who + u"N: پيشوند «Dr.» ذخيره نشد."_qs,
        who + u"ORG, EMAIL: در فايل داده جايي ندارد و ذخيره نشد."_qs,
        who + u"نام: 1 نويسه در Windows-1256 نيست و به صورت \"?\" ذخيره شد: «Ω»"_qs,
        who + u"نام خانوادگي: 1 نويسه در Windows-1256 نيست و به صورت \"?\" ذخيره شد: «😀»"_qs,
        who + u"آدرس: فقط 100 بايت جا دارد؛ «"_qs + QString(100, u'a') + u"» ذخيره شد و «"_qs +
            QString(20, u'a') + u"» حذف شد."_qs,
        who + u"شماره شناسايي: «99999»: شماره شناسايي بايد بين -32768 و 32767 باشد. به جاي آن "
              u"شماره پيشنهادي 5 ذخيره شد."_qs,
        u"c.vcf:11: مخاطب 2 «Only»: شماره شناسايي: «۱۲٫۵» گرد شد و 12 ذخيره شد."_qs,
    };
    QCOMPARE(lines, expected);
    QCOMPARE(ContactRecord::fromBytes(r.data.mid(4 * 156)).ID(), qint16(5));
    QCOMPARE(ContactRecord::fromBytes(r.data.mid(5 * 156)).ID(), qint16(12));
    QCOMPARE(ContactRecord::fromBytes(r.data.mid(6 * 156)).ID(), qint16(-12));
    // The international mobile is whole, in national form; a summary line per kind.
    QCOMPARE(ContactRecord::fromBytes(r.data.mid(4 * 156)).text(ContactRecord::Mobile),
             u"09121234567"_qs);
    QCOMPARE(r.run.out, u"1 آدرس کوتاه شد\n"
                        u"1 شماره با 0 به جای +98 یا 0098 نوشته شد\n"
                        u"2 فیلد نویسه‌ای داشت که در Windows-1256 نیست و به صورت \"?\" ذخیره "
                        u"شد\n"
                        u"3 مخاطب افزوده شد؛ فايل داده اکنون 7 مخاطب دارد.\n"_qs.toUtf8());
}

// A large file is read in two halves at once; what it gives must be what one
// reading gives: the proposed numbers, the lines and numbers in the report,
// and the first error in the file.
void TestContactImport::storedLikeTheAddPage()
{
    // The same six texts typed into the add page give the same bytes: folding of
    // ی and Persian digits, presentation forms, cutting after folding.
    QTemporaryDir dir;
    const QString folder = dir.filePath("data");
    const QString name = u"ﻋﻠﻲ یزدی"_qs,
                  family = u"کریمی‌نژاد موسوی خراسانی"_qs;
    const QString phone = u"۰۲۱-۶۶"_qs, mobile = u"٠٩١٢٣٤٥٦٧٨٩٠"_qs;
    const QString address = u"  فاصله در آغاز"_qs;
    const QByteArray csv =
        u"Name,Family,Phone,Mobile,ID,Address\r\n"_qs.toUtf8() +
        (QStringList{name, family, phone, mobile, u" ۴۲ "_qs, address}.join(u',') + u"\r\n"_qs)
            .toUtf8();
    const Imported r = import(folder, csv);
    QCOMPARE(r.run.status, 0);
    QCOMPARE(r.data.toHex(), record(name, family, phone, mobile, 42, address).toHex());
}

void TestContactImport::builderMatchesTheAddPage()
{
    // Texts kept as UTF-8 views take a shorter way into the record than the add
    // page's; for any text, both must give the same bytes.
    QString alphabet;
    for (int b = 0x20; b < 256; ++b)
        alphabet += Cp1256Codec::decodeByte(uchar(b));
    alphabet += u"ی۰۱۹٠٩ﻻﻋ😀Ω\u200C\u20AC\uFFFD"_qs;
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        QString texts[6];
        for (QString &t : texts) {
            const int length = int(rng() % 40);
            for (int i = 0; i < length; ++i)
                t += alphabet[qsizetype(rng() % alphabet.size())];
        }
        const QByteArray utf8[6] = {texts[0].toUtf8(), texts[1].toUtf8(), texts[2].toUtf8(),
                                    texts[3].toUtf8(), texts[4].toUtf8(), texts[5].toUtf8()};
        ContactDraft d;
        d.name = DraftText::utf8(utf8[0]);
        d.family = DraftText::utf8(utf8[1]);
        d.phone = DraftText::utf8(utf8[2]);
        d.mobile = DraftText::utf8(utf8[3]);
        d.address = DraftText::utf8(utf8[5]);
        const QString id = round % 2 ? QString::number(int(rng() % 70000) - 35000) : texts[4];
        const QByteArray idUtf8 = id.toUtf8();
        d.id = DraftText::utf8(idUtf8);
        QList<DraftNote> notes;
        const ContactRecord built = RecordBuilder::build(d, 17, notes);
        qint16 expectedId = 17;
        IdNumber::parse(id, expectedId);
        QCOMPARE(built.toByteArray().toHex(),
                 record(texts[0], texts[1], texts[2], texts[3], expectedId, texts[5]).toHex());
    }
}

void TestContactImport::dataFolders()
{
    // Without --data: File/ (any letter case) beside the tool when it has one.
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("file");
    const QString text = dir.filePath("in.vcf");
    writeFile(text, card("FN:Beside Tool\r\n"));
    const Run r = runTool({"import", text}, {}, dir.path());
    QCOMPARE(r.status, 0);
    QCOMPARE(readData(dir.filePath("file")), record(u"Beside"_qs, u"Tool"_qs, {}, {}, 1));
    const Run listed = runTool({"list"}, {}, dir.path());
    QCOMPARE(listed.out, "1\tBeside\tTool\t\t\t1\t\n"_qba);

    // --data names the folder itself; a missing one is made; "-" reads standard input.
    const QString made = dir.filePath("new");
    const Run in = runTool({"import", "--data", made, "-"}, card("FN:From Stdin\r\n"));
    QCOMPARE(in.status, 0);
    QCOMPARE(readData(made), record(u"From"_qs, u"Stdin"_qs, {}, {}, 1));
    const Run empty = runTool({"import", "--data", made, "-"}, "");
    QCOMPARE(empty.status, 0);
    QCOMPARE(readData(made).size(), 156);
}

QTEST_GUILESS_MAIN(TestContactImport)
#include "tst_contactimport.moc"
