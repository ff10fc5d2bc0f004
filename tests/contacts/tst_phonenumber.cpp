#include <QTest>

#include "contacts/ContactDraft.h"
#include "contacts/PhoneNumber.h"
#include "contacts/RecordBuilder.h"
#include "store/ContactRecord.h"

using Field = PhoneNumber::Field;
Q_DECLARE_METATYPE(PhoneNumber::Field)

class TestPhoneNumber : public QObject
{
    Q_OBJECT
private slots:
    void fit_data();
    void fit();
    void isIranianMobile_data();
    void isIranianMobile();
    void builder_data();
    void builder();
};

void TestPhoneNumber::fit_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<Field>("field");
    QTest::addColumn<QString>("number");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<bool>("national");
    QTest::addColumn<QString>("areaCode");
    QTest::addColumn<QStringList>("notKept");

    const Field tel = Field::Telephone, mob = Field::Mobile;
    QTest::newRow("international mobile") << u"+98 912 765 4321"_qs << mob << u"09127654321"_qs
                                          << true << true << QString() << QStringList();
    QTest::newRow("0098 prefix") << u"0098-912-765-4321"_qs << mob << u"09127654321"_qs << true
                                 << true << QString() << QStringList();
    QTest::newRow("+98 with its own 0") << u"+98 (0)912 765 4321"_qs << mob << u"09127654321"_qs
                                        << true << true << QString() << QStringList();
    QTest::newRow("Persian digits, no-break spaces")
        << u"۰۹۱۲\u00A0۷۶۵\u00A0۴۳۲۱"_qs << mob << u"09127654321"_qs << true << false << QString()
        << QStringList();
    QTest::newRow("Arabic-Indic digits and bidi marks")
        << u"\u200E+٩٨ ٩١٢ ٧٦٥ ٤٣٢١\u200F"_qs << mob << u"09127654321"_qs << true << true
        << QString() << QStringList();
    QTest::newRow("landline in national form too long")
        << u"+98 21 8877 6655"_qs << tel << u"88776655"_qs << true << true << u"021"_qs
        << QStringList();
    QTest::newRow("area code set aside") << u"021-6601 2345"_qs << tel << u"66012345"_qs << true
                                         << false << u"021"_qs << QStringList();
    QTest::newRow("parentheses and dots") << u"(031) 3221.4455"_qs << tel << u"32214455"_qs << true
                                          << false << u"031"_qs << QStringList();
    QTest::newRow("international landline fits the mobile")
        << u"+98 21 8877 6655"_qs << mob << u"02188776655"_qs << true << true << QString()
        << QStringList();
    QTest::newRow("a mobile never loses 09 as an area code")
        << u"0912 765 4321"_qs << tel << u"09127654321"_qs << false << false << QString()
        << QStringList();
    QTest::newRow("fits as written stays as written")
        << u"021-6601"_qs << tel << u"021-6601"_qs << true << false << QString() << QStringList();
    QTest::newRow("other country keeps + and is cut")
        << u"+44 7700 900123"_qs << mob << u"+447700900123"_qs << false << false << QString()
        << QStringList();
    QTest::newRow("another country's 00 is not Iran's")
        << u"0044 20 7946 0958"_qs << mob << u"00442079460958"_qs << false << false << QString()
        << QStringList();
    QTest::newRow("letters: kept as written")
        << u"call the office"_qs << tel << u"call the office"_qs << false << false << QString()
        << QStringList();
    QTest::newRow("Google cell of several numbers")
        << u"+98 912 765 4321 ::: 0912 111 2222 ::: "_qs << mob << u"09127654321"_qs << true << true
        << QString() << QStringList{u"0912 111 2222"_qs};
    QTest::newRow("short cell of several numbers is still split")
        << u"110 ::: 115"_qs << tel << u"110"_qs << true << false << QString()
        << QStringList{u"115"_qs};
    QTest::newRow("a separator in a number that fits is kept: the record comes back")
        << u"1 ::: 2"_qs << tel << u"1 ::: 2"_qs << true << false << QString() << QStringList();
    QTest::newRow("a plus inside is no number") << u"0912+7654321"_qs << mob << u"0912+7654321"_qs
                                                << false << false << QString() << QStringList();
}

void TestPhoneNumber::fit()
{
    QFETCH(QString, raw);
    QFETCH(Field, field);
    const PhoneNumber::Fit f = PhoneNumber::fit(raw, field);
    QTEST(f.number, "number");
    QTEST(f.fits, "fits");
    QTEST(f.national, "national");
    QTEST(f.areaCodeSetAside, "areaCode");
    QTEST(f.notKept, "notKept");
}

void TestPhoneNumber::isIranianMobile_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<bool>("mobile");
    QTest::newRow("mobile") << u"09127654321"_qs << true;
    QTest::newRow("one digit short") << u"0912765432"_qs << false;
    QTest::newRow("one digit long") << u"091276543210"_qs << false;
    QTest::newRow("landline") << u"02188776655"_qs << false;
    QTest::newRow("not yet cleaned") << u"0912 765 4321"_qs << false;
    QTest::newRow("Persian digits") << u"۰۹۱۲۷۶۵۴۳۲۱"_qs << false;
}

void TestPhoneNumber::isIranianMobile()
{
    QFETCH(QString, digits);
    QTEST(PhoneNumber::isIranianMobile(digits), "mobile");
}

void TestPhoneNumber::builder_data()
{
    // phone, mobile, address in; phone, mobile, address stored, and whether a loss was said.
    QTest::addColumn<QStringList>("in");
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<bool>("loss");
    QTest::newRow("the only number, a mobile given as telephone")
        << QStringList{u"+98 912 765 4321"_qs, {}, {}} << QStringList{{}, u"09127654321"_qs, {}}
        << false;
    QTest::newRow("a mobile as telephone beside a mobile is cut")
        << QStringList{u"0912 111 2222"_qs, u"09127654321"_qs, {}}
        << QStringList{u"09121112"_qs, u"09127654321"_qs, {}} << true;
    QTest::newRow("both numbers fitted")
        << QStringList{u"021-6601 2345"_qs, u"+98 912 765 4321"_qs, {}}
        << QStringList{u"66012345"_qs, u"09127654321"_qs, {}} << false;
    QTest::newRow("address lines joined, blank lines dropped")
        << QStringList{{}, {}, u"خیابان آزادی، پلاک ۲\r\n\r\n  تهران \nایران"_qs}
        << QStringList{{}, {}, u"خیابان آزادی، پلاک ۲، تهران، ایران"_qs} << false;
    QTest::newRow("a number past every rule is cut with its loss")
        << QStringList{{}, u"+44 7700 900123"_qs, {}} << QStringList{{}, u"+4477009001"_qs, {}}
        << true;
}

void TestPhoneNumber::builder()
{
    QFETCH(QStringList, in);
    QFETCH(QStringList, stored);
    QFETCH(bool, loss);
    // The same through a text kept as UTF-8 and one made as Unicode.
    for (const bool utf8 : {false, true}) {
        const QByteArray bytes[3] = {in[0].toUtf8(), in[1].toUtf8(), in[2].toUtf8()};
        const auto text = [&](int i) {
            return utf8 ? DraftText::utf8(bytes[i]) : DraftText(in[i]);
        };
        ContactDraft d;
        d.name = DraftText(u"Ali"_qs);
        d.phone = text(0);
        d.mobile = text(1);
        d.address = text(2);
        QList<DraftNote> notes;
        const ContactRecord r = RecordBuilder::build(d, 1, notes);
        ContactRecord expected;
        expected.setText(ContactRecord::Name, u"Ali");
        expected.setText(ContactRecord::Phone, stored[0]);
        expected.setText(ContactRecord::Mobile, stored[1]);
        expected.setText(ContactRecord::Address, stored[2]);
        expected.setID(1);
        QCOMPARE(r.toByteArray(), expected.toByteArray());
        QCOMPARE(!notes.isEmpty(), loss);
    }
}

QTEST_APPLESS_MAIN(TestPhoneNumber)
#include "tst_phonenumber.moc"
