#include <QTest>

#include "store/ContactRecord.h"
#include "store/IdNumber.h"

class TestRecord : public QObject
{
    Q_OBJECT
private slots:
    void layout();
    void idBytes_data();
    void idBytes();
    void textWidths();
    void shortInput_data();
    void shortInput();
    void idConversion_data();
    void idConversion();
};

void TestRecord::layout()
{
    ContactRecord r;
    QCOMPARE(r.toByteArray(), QByteArray(54, ' ') + QByteArray(2, '\0') + QByteArray(100, ' '));
    r.setText(ContactRecord::Name, u"Ali");
    r.setText(ContactRecord::Family, u"Ahmadi");
    r.setText(ContactRecord::Phone, u"1234");
    r.setText(ContactRecord::Mobile, u"0912");
    r.setID(7);
    r.setText(ContactRecord::Address, u"Tehran");
    const QByteArray expected = QByteArray("Ali            ") + "Ahmadi              " +
                                "1234    " + "0912       " + QByteArray("\x07\x00", 2) + "Tehran" +
                                QByteArray(94, ' ');
    QCOMPARE(r.toByteArray().toHex(), expected.toHex());
    QCOMPARE(ContactRecord::fromBytes(expected), r);
    QCOMPARE(r.text(ContactRecord::Name), QStringLiteral("Ali            "));
}

void TestRecord::idBytes_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("hex");
    QTest::newRow("300") << 300 << QByteArray("2c01");
    QTest::newRow("-1") << -1 << QByteArray("ffff");
    QTest::newRow("min") << -32768 << QByteArray("0080");
    QTest::newRow("max") << 32767 << QByteArray("ff7f");
    QTest::newRow("0") << 0 << QByteArray("0000");
}

void TestRecord::idBytes()
{
    QFETCH(int, id);
    QFETCH(QByteArray, hex);
    ContactRecord r;
    r.setID(qint16(id));
    QCOMPARE(r.toByteArray().mid(54, 2).toHex(), hex);
    QCOMPARE(int(ContactRecord::fromBytes(r.toByteArray()).ID()), id);
}

void TestRecord::textWidths()
{
    ContactRecord r;
    r.setText(ContactRecord::Name, u"ABCDEFGHIJKLMNOPQRST"); // 20 chars
    QCOMPARE(r.fieldBytes(ContactRecord::Name), QByteArrayView("ABCDEFGHIJKLMNO"));
    r.setText(ContactRecord::Address, u"");
    QCOMPARE(r.fieldBytes(ContactRecord::Address), QByteArrayView(QByteArray(100, ' ')));
    // Neighbouring fields are untouched by a long value.
    r.setText(ContactRecord::Mobile, u"012345678901234");
    QCOMPARE(r.fieldBytes(ContactRecord::Mobile), QByteArrayView("01234567890"));
    QCOMPARE(r.ID(), qint16(0));
    QCOMPARE(ContactRecord::key(ContactRecord::Name, u"علی"),
             QByteArray("\xDA\xE1\xED") + QByteArray(12, ' '));
}

void TestRecord::shortInput_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray empty = ContactRecord().toByteArray();
    QTest::newRow("null") << QByteArray() << empty;
    QTest::newRow("name only") << QByteArray("Ali") << "Ali" + empty.mid(3);
    QTest::newRow("up to the ID") << QByteArray(54, 'x') << QByteArray(54, 'x') + empty.mid(54);
    QTest::newRow("half the ID") << QByteArray(55, 'x') << QByteArray(55, 'x') + empty.mid(55);
    QTest::newRow("longer") << QByteArray(200, 'x') << QByteArray(156, 'x');
}

void TestRecord::shortInput()
{
    // Past a short input the record is an empty one: spaces, and ID 0.
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, expected);
    QCOMPARE(ContactRecord::fromBytes(bytes).toByteArray().toHex(), expected.toHex());
    QCOMPARE(ContactRecord::fromBytes(QByteArrayView()), ContactRecord());
}

void TestRecord::idConversion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("value");
    const int ok = IdNumber::Ok;
    QTest::newRow("plain") << "17" << ok << 17;
    QTest::newRow("spaces") << "  42  " << ok << 42;
    QTest::newRow("leading zeros") << "007" << ok << 7;
    QTest::newRow("negative") << "-5" << ok << -5;
    QTest::newRow("plus") << "+5" << ok << 5;
    QTest::newRow("half to even down") << "2.5" << ok << 2;
    QTest::newRow("half to even up") << "3.5" << ok << 4;
    QTest::newRow("above half") << "2.51" << ok << 3;
    QTest::newRow("below half") << "2.49999" << ok << 2;
    QTest::newRow("negative half") << "-2.5" << ok << -2;
    QTest::newRow("fraction only") << ".5" << ok << 0;
    QTest::newRow("trailing point") << "8." << ok << 8;
    QTest::newRow("min") << "-32768" << ok << -32768;
    QTest::newRow("max") << "32767" << ok << 32767;
    QTest::newRow("max rounds down") << "32767.4" << ok << 32767;
    QTest::newRow("min half even") << "-32768.5" << ok << -32768;
    QTest::newRow("persian digits") << "۱۲۳" << ok << 123;
    QTest::newRow("arabic-indic digits") << "٤٢" << ok << 42;
    QTest::newRow("persian decimal") << "۲٫۵" << ok << 2;
    QTest::newRow("many zeros") << "0000000000012" << ok << 12;
    QTest::newRow("empty") << "" << int(IdNumber::Empty) << 0;
    QTest::newRow("blank") << "   " << int(IdNumber::Empty) << 0;
    QTest::newRow("letters") << "abc" << int(IdNumber::NotANumber) << 0;
    QTest::newRow("hint") << "Enter ID" << int(IdNumber::NotANumber) << 0;
    QTest::newRow("inner space") << "1 2" << int(IdNumber::NotANumber) << 0;
    QTest::newRow("sign only") << "-" << int(IdNumber::NotANumber) << 0;
    QTest::newRow("two points") << "1.2.3" << int(IdNumber::NotANumber) << 0;
    QTest::newRow("too big") << "32768" << int(IdNumber::OutOfRange) << 0;
    QTest::newRow("rounds past max") << "32767.5" << int(IdNumber::OutOfRange) << 0;
    QTest::newRow("too small") << "-32769" << int(IdNumber::OutOfRange) << 0;
    QTest::newRow("huge") << "99999999999999999999" << int(IdNumber::OutOfRange) << 0;
}

void TestRecord::idConversion()
{
    QFETCH(QString, text);
    QFETCH(int, result);
    QFETCH(int, value);
    qint16 got = 1234;
    QCOMPARE(int(IdNumber::parse(text, got)), result);
    if (result == IdNumber::Ok)
        QCOMPARE(int(got), value);
    else
        QCOMPARE(got, qint16(1234));
}

QTEST_APPLESS_MAIN(TestRecord)
#include "tst_record.moc"
