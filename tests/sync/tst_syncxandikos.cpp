#include <QTemporaryDir>
#include <QTest>

#include "store/ContactStore.h"
#include "sync/DavClient.h"
#include "sync/SyncEngine.h"
#include "tests/sync/SyncTestUtil.h"
#include "tests/sync/XandikosServer.h"

using namespace synctest;

namespace {

std::vector<ContactRecord> recordsOf(const QMap<QString, QByteArray> &cards)
{
    std::vector<ContactRecord> out;
    for (const QByteArray &c : cards) {
        CardContact contact;
        QString why;
        if (CardText::read(c, 0, contact, why))
            out.push_back(contact.record);
    }
    return out;
}

QString pathOf(const QMap<QString, QByteArray> &cards, const QByteArray &marker)
{
    for (auto it = cards.cbegin(); it != cards.cend(); ++it)
        if (it.value().contains(marker))
            return it.key();
    return {};
}

} // namespace

// A second server beside Radicale: what one sync does, the other sees.
class TestSyncXandikos : public QObject
{
    Q_OBJECT

private:
    XandikosServer m_server;
    QTemporaryDir m_dir;

    bool sync(ContactStore &store, SyncReport &report)
    {
        DavClient client;
        SyncEngine engine(store, client, m_server.book(), VcardWriter::V4);
        QString why;
        const bool ok = engine.run(report, why);
        if (!ok)
            qWarning() << why;
        return ok;
    }

private slots:
    void bothWays()
    {
        QString why;
        QVERIFY2(m_server.start(why), qPrintable(why));
        ContactStore store = ContactStore::atDataFolder(m_dir.path());
        QVERIFY(!store.Open());
        const ContactRecord ali = record("Ali", "Rezaei", "5550001", "", 1);
        const ContactRecord sara = record("Sara", "Karimi", "", "09120000002", 2);
        const ContactRecord nima = record("Nima", "Moradi", "5550003", "", 3);
        const ContactRecord reza = record("Reza", "Ahmadi", "5550004", "", 4);
        QVERIFY(!store.AppendRecords({ali, sara, nima, reza}));

        // The first sync up.
        SyncReport first;
        QVERIFY(sync(store, first));
        QCOMPARE(first.sent, 4);
        QCOMPARE(sorted(recordsOf(m_server.cards())), sorted(records(store)));

        // A change each way, and a deletion each way.
        auto cards = m_server.cards();
        const QString saraPath = pathOf(cards, "Karimi");
        const QString nimaPath = pathOf(cards, "Moradi");
        QByteArray saraCard = cards.value(saraPath);
        const auto put = m_server.request(
            "PUT", saraPath, saraCard.replace("Sara", "Sahar"),
            {"If-Match:" + m_server.request("GET", saraPath).etag, "Content-Type:text/vcard"});
        QVERIFY2(put.status == 204 || put.status == 201, put.body.constData());
        QVERIFY(m_server.request("DELETE", nimaPath).status / 100 == 2);
        ContactRecord ali2 = ali;
        ali2.setText(ContactRecord::Phone, u"5550009");
        QVERIFY(!store.ReplaceAllRecords({ali2, sara, nima}, {ali, sara, nima, reza}));

        SyncReport second;
        QVERIFY(sync(store, second));
        QCOMPARE(second.changedThere, 1);
        QCOMPARE(second.deletedThere, 1);
        QCOMPARE(second.changedHere, 1);
        QCOMPARE(second.deletedHere, 1);
        const ContactRecord sahar = record("Sahar", "Karimi", "", "09120000002", 2);
        QCOMPARE(sorted(records(store)), sorted({ali2, sahar}));
        cards = m_server.cards();
        QCOMPARE(sorted(recordsOf(cards)), sorted({ali2, sahar}));
        // The edited card is stamped for the other clients, and kept its UID.
        const QByteArray aliCard = cards.value(pathOf(cards, "Rezaei"));
        QVERIFY2(aliCard.contains("\nREV:"), aliCard.constData());
        QCOMPARE(aliCard.count("\nUID:"), 1);

        // Then nothing is left to do.
        SyncReport third;
        QVERIFY(sync(store, third));
        QCOMPARE(third.sent + third.changedThere + third.deletedThere + third.received +
                     third.changedHere + third.deletedHere + int(third.conflicts.size()),
                 0);
    }
};

QTEST_GUILESS_MAIN(TestSyncXandikos)
#include "tst_syncxandikos.moc"
