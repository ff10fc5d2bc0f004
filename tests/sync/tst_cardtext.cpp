#include <QTest>

#include "sync/CardText.h"
#include "tests/sync/SyncTestUtil.h"

using namespace synctest;

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
        const QByteArray edited = CardText::edit(card, took, took.record, now);

        QVERIFY(edited.contains("\r\nTEL;VALUE=uri;TYPE=cell:tel:0912999\r\n"));
        QVERIFY(!edited.contains("5550001"));             // the cleared phone's line
        QVERIFY(edited.contains("\r\n" + note + "\r\n")); // folded as it was
        QVERIFY(edited.contains("\r\nFN:Ali Rezaei\r\n"));
        QVERIFY(edited.endsWith("N:Rezaei;Ali;;;\r\nADR:;;Tehran;;;;\r\nEND:VCARD\r\n"));
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
};

QTEST_APPLESS_MAIN(TestCardText)
#include "tst_cardtext.moc"
