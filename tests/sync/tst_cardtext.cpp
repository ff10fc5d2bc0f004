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
};

QTEST_APPLESS_MAIN(TestCardText)
#include "tst_cardtext.moc"
