#include <QTest>

#include "sync/CardText.h"
#include "tests/sync/SyncTestUtil.h"

using namespace synctest;

namespace {

const QDateTime kWhen(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC);

QByteArray card21(const QByteArray &lines)
{
    QByteArray out = "BEGIN:VCARD\r\nVERSION:2.1\r\n" + lines;
    return out + "END:VCARD\r\n";
}

} // namespace

// A local edit rewrites only the lines the record holds, in any vCard version.
class TestCardText : public QObject
{
    Q_OBJECT

private slots:
    void editKeepsTheRest()
    {
        const QByteArray note = "NOTE:" + QByteArray(70, 'x') + "\r\n " + QByteArray(30, 'y');
        const QByteArray card = "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:u1\r\nFN:Ali\r\n"
                                "TEL;VALUE=uri;TYPE=cell:tel:0912111\r\n"
                                "TEL;TYPE=home:5550001\r\n" +
                                note + "\r\nEND:VCARD\r\n";
        CardContact took;
        QString why;
        QVERIFY2(CardText::read(card, 7, took, why), qPrintable(why));
        QCOMPARE(took.mobile, QStringLiteral("0912111"));
        ContactRecord now = took.record;
        now.setText(ContactRecord::Mobile, u"0912999");
        now.setText(ContactRecord::Phone, u"");
        now.setText(ContactRecord::Family, u"Rezaei");
        now.setText(ContactRecord::Address, u"Tehran");
        const QByteArray edited = CardText::edit(card, took, took.record, now, kWhen);

        QVERIFY(edited.contains("\r\nTEL;VALUE=uri;TYPE=cell:tel:0912999\r\n"));
        QVERIFY(!edited.contains("5550001"));             // the cleared phone's line
        QVERIFY(edited.contains("\r\n" + note + "\r\n")); // folded as it was
        QVERIFY(edited.contains("\r\nFN:Ali Rezaei\r\n"));
        QVERIFY(edited.endsWith(
            "N:Rezaei;Ali;;;\r\nADR:;;Tehran;;;;\r\nREV:20240102T030405Z\r\nEND:VCARD\r\n"));
        CardContact back;
        QVERIFY(CardText::read(edited, 7, back, why));
        QCOMPARE(back.record, now);
        // Nothing changed, nothing rewritten.
        QCOMPARE(CardText::edit(card, took, took.record, took.record), card);
    }

    void arrivalFitsNumbersWithoutALocalChange()
    {
        // Numbers as a phone writes them are stored fitted; the card on the
        // server keeps its lines until the field is edited here.
        const QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:u2\r\nFN:Ali\r\n"
                                "TEL;TYPE=CELL,VOICE,pref:+98 912 765 4321\r\n"
                                "TEL;TYPE=HOME:021-6601 2345\r\nEND:VCARD\r\n";
        CardContact took;
        QString why;
        QVERIFY2(CardText::read(card, 1, took, why), qPrintable(why));
        QCOMPARE(took.record.text(ContactRecord::Mobile), u"09127654321"_qs);
        QCOMPARE(took.record.text(ContactRecord::Phone), u"66012345"_qs);
        QCOMPARE(CardText::edit(card, took, took.record, took.record), card);

        ContactRecord now = took.record;
        now.setText(ContactRecord::Mobile, u"09350000000");
        const QByteArray edited = CardText::edit(card, took, took.record, now);
        QVERIFY(edited.contains("\r\nTEL;TYPE=CELL,VOICE,pref:09350000000\r\n"));
        QVERIFY(edited.contains("\r\nTEL;TYPE=HOME:021-6601 2345\r\n"));

        // A mobile that came as the only, home number is edited on its own line.
        const QByteArray home = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:u3\r\nFN:Sara\r\n"
                                "TEL;TYPE=HOME:+98 935 410 2277\r\nEND:VCARD\r\n";
        QVERIFY2(CardText::read(home, 1, took, why), qPrintable(why));
        QCOMPARE(took.record.text(ContactRecord::Mobile), u"09354102277"_qs);
        QCOMPARE(took.record.text(ContactRecord::Phone).trimmed(), QString());
        QCOMPARE(CardText::edit(home, took, took.record, took.record), home);
        now = took.record;
        now.setText(ContactRecord::Mobile, u"09121112222");
        const QByteArray moved = CardText::edit(home, took, took.record, now);
        QCOMPARE(moved.count("TEL"), 1);
        QVERIFY(moved.contains("\r\nTEL;TYPE=HOME:09121112222\r\n"));
    }

    // Each field goes back into the line it was read from, whatever its form;
    // the card keeps one line for it and every other byte.
    void editFindsTheLine_data()
    {
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        const int mobile = ContactRecord::Mobile;
        const QByteArray rest = "NOTE:keep\r\n";
        QTest::newRow("spaces around")
            << card("u", "FN:Ali\r\nTEL;TYPE=cell:  0912111  \r\n" + rest)
            << QByteArray("TEL;TYPE=cell:  0912111  ") << QByteArray("TEL;TYPE=cell:0912999")
            << mobile << "0912999";
        QTest::newRow("folded") << card("u",
                                        "FN:Ali\r\nTEL;TYPE=ce\r\n ll:0912\r\n\t111\r\n" + rest)
                                << QByteArray("TEL;TYPE=ce\r\n ll:0912\r\n\t111")
                                << QByteArray("TEL;TYPE=cell:0912999") << mobile << "0912999";
        QTest::newRow("backslash escape")
            << card("u", "FN:Ali\r\nTEL;TYPE=cell:0912\\,111\r\n" + rest)
            << QByteArray("TEL;TYPE=cell:0912\\,111") << QByteArray("TEL;TYPE=cell:0912999")
            << mobile << "0912999";
        QTest::newRow("group and label")
            << card("u", "FN:Ali\r\nitem1.TEL:0912111\r\nitem1.X-ABLabel:mobile\r\n" + rest)
            << QByteArray("item1.TEL:0912111") << QByteArray("item1.TEL:0912999") << mobile
            << "0912999";
        QTest::newRow("parameters in lower case")
            << card("u", "FN:Ali\r\ntel;type=CELL;value=Uri:tel:0912111\r\n" + rest)
            << QByteArray("tel;type=CELL;value=Uri:tel:0912111")
            << QByteArray("tel;type=CELL;value=Uri:tel:0912999") << mobile << "0912999";
        QTest::newRow("quoted-printable")
            << card21("FN:Ali\r\nTEL;CELL;ENCODING=QUOTED-PRINTABLE:=30=39=31=32=31=31=31\r\n" +
                      rest)
            << QByteArray("=30=39=31=32=31=31=31") << QByteArray("0912999") << mobile << "0912999";
        QTest::newRow("quoted-printable soft break")
            << card21("FN:Ali\r\nTEL;CELL;QUOTED-PRINTABLE:0912=\r\n111\r\n" + rest)
            << QByteArray("0912=\r\n111") << QByteArray("0912999") << mobile << "0912999";
        QTest::newRow("another charset")
            << card21("FN:Ali\r\nTEL;CELL;CHARSET=WINDOWS-1256:0912111\r\n" + rest)
            << QByteArray("CHARSET=WINDOWS-1256:0912111") << QByteArray("CHARSET=UTF-8:0912999")
            << mobile << "0912999";
        QTest::newRow("same number twice, the mobile's line")
            << card("u", "FN:Ali\r\nTEL;TYPE=home:0912111\r\nTEL;TYPE=cell:0912111\r\n" + rest)
            << QByteArray("TEL;TYPE=cell:0912111") << QByteArray("TEL;TYPE=cell:0912999") << mobile
            << "0912999";
        QTest::newRow("same number twice, the one a label does not make a mobile")
            << card("u", "FN:Ali\r\nitem1.TEL:0912111\r\nitem1.X-ABLabel:mobile\r\n"
                         "TEL:0912111\r\n" +
                             rest)
            << QByteArray("\nTEL:0912111") << QByteArray("\nTEL:5550001")
            << int(ContactRecord::Phone) << "5550001";
        QTest::newRow("base64") << card("u", "FN:Ali\r\nTEL;TYPE=cell;ENCODING=b:MDkxMjExMQ==\r\n" +
                                                 rest)
                                << QByteArray(";ENCODING=b:MDkxMjExMQ==") << QByteArray(":0912999")
                                << mobile << "0912999";
        QTest::newRow("base64 as the first of a list")
            << card("u", "FN:Ali\r\nTEL;TYPE=cell;ENCODING=b,x:MDkxMjExMQ==\r\n" + rest)
            << QByteArray(";ENCODING=b,x:MDkxMjExMQ==") << QByteArray(":0912999") << mobile
            << "0912999";
        // Folded after its colon: a piece without one would be more of the photo.
        const QByteArray head = "TEL;CELL;X-A=" + QByteArray(70, 'a') + ':';
        QTest::newRow("long parameters after 2.1 base64")
            << card21("FN:Ali\r\nPHOTO;ENCODING=BASE64;TYPE=JPEG:AAAA\r\n BBBB\r\n" + head +
                      "0912111\r\n" + rest)
            << head + "0912111" << head + "\r\n 0912999" << mobile << "0912999";
        // N: the family in quoted-printable UTF-8, the middle name kept.
        QTest::newRow("quoted-printable name")
            << card21("FN:Ali Rezaei\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:"
                      "Rezaei;Ali;=D8=AD;;\r\n" +
                      rest)
            << QByteArray("FN:Ali Rezaei\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Rezaei;")
            << QByteArray("FN:Ali \xd8\xb1\xd8\xb6\xd8\xa7\r\nN;CHARSET=UTF-8;ENCODING="
                          "QUOTED-PRINTABLE:=D8=B1=D8=B6=D8=A7;")
            << int(ContactRecord::Family) << QStringLiteral("رضا");
    }
    void editFindsTheLine()
    {
        QFETCH(QByteArray, card);
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(int, field);
        QFETCH(QString, value);
        CardContact took;
        QString why;
        QVERIFY2(CardText::read(card, 3, took, why), qPrintable(why));
        ContactRecord now = took.record;
        now.setText(ContactRecord::Field(field), value);
        const QByteArray edited = CardText::edit(card, took, took.record, now, kWhen);
        QByteArray expected = card;
        QVERIFY(expected.count(from) == 1);
        expected.replace(from, to);
        QCOMPARE(edited, expected);
        CardContact back;
        QVERIFY2(CardText::read(edited, 3, back, why), qPrintable(why));
        QCOMPARE(back.record.text(ContactRecord::Field(field)).trimmed(), value);
        QCOMPARE(back.record, now);
    }

    // REV says when a card changed: set when it has one, added in 4.0, and
    // left alone when nothing changed.
    void editStampsRev_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<QByteArray>("rev");
        QTest::addColumn<bool>("change");
        QTest::addColumn<QByteArray>("expected"); // the REV line after, or none
        QTest::newRow("3.0 with REV")
            << QByteArray("3.0") << QByteArray("REV;VALUE=timestamp:2020-01-01T00:00:00Z\r\n")
            << true << QByteArray("REV:20240102T030405Z\r\n");
        QTest::newRow("3.0 without") << QByteArray("3.0") << QByteArray() << true << QByteArray();
        QTest::newRow("4.0 without")
            << QByteArray("4.0") << QByteArray() << true << QByteArray("REV:20240102T030405Z\r\n");
        QTest::newRow("4.0 unchanged")
            << QByteArray("4.0") << QByteArray("REV:20200101T000000Z\r\n") << false
            << QByteArray("REV:20200101T000000Z\r\n");
    }
    void editStampsRev()
    {
        QFETCH(QByteArray, version);
        QFETCH(QByteArray, rev);
        QFETCH(bool, change);
        QFETCH(QByteArray, expected);
        const QByteArray card = "BEGIN:VCARD\r\nVERSION:" + version + "\r\nFN:Ali\r\n" + rev +
                                "TEL:555\r\nEND:VCARD\r\n";
        CardContact took;
        QString why;
        QVERIFY(CardText::read(card, 1, took, why));
        ContactRecord now = took.record;
        if (change)
            now.setText(ContactRecord::Phone, u"556");
        const QByteArray edited = CardText::edit(card, took, took.record, now, kWhen.toLocalTime());
        QCOMPARE(edited.count("REV"), expected.isEmpty() ? 0 : 1);
        if (!expected.isEmpty())
            QVERIFY2(edited.contains("\r\n" + expected), edited.constData());
        if (!change)
            QCOMPARE(edited, card);
    }

    // A card past the limit is no contact: it is left alone with a reason.
    void hugeCardRefused()
    {
        const QByteArray note = "NOTE:" + QByteArray(CardText::MaxCard, 'x') + "\r\n";
        CardContact took;
        QString why;
        QVERIFY(!CardText::read(card("u", "FN:Ali\r\n" + note), 1, took, why));
        QVERIFY(!why.isEmpty());
        QVERIFY(CardText::read(card("u", "FN:Ali\r\n" + note.right(1000).prepend("NOTE:")), 1, took,
                               why));
    }
};

QTEST_APPLESS_MAIN(TestCardText)
#include "tst_cardtext.moc"
