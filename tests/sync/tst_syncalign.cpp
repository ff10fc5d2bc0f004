#include <QTest>

#include "sync/RecordAlignment.h"
#include "tests/sync/SyncTestUtil.h"

using namespace synctest;

// How the records of the last sync are found again in the file: what the
// window does between two syncs is appends, rewrites in place and deletions.
class TestSyncAlign : public QObject
{
    Q_OBJECT

private slots:
    void windowEditsAreFoundAgain()
    {
        const ContactRecord a = record("Ali", "Rezaei", "5550001", "", 1);
        const ContactRecord b = record("Sara", "Karimi", "5550002", "", 2);
        const ContactRecord c = record("Nima", "Moradi", "5550003", "", 3);
        const ContactRecord d = record("Reza", "Ahmadi", "5550004", "", 4);
        ContactRecord b2 = b;
        b2.setText(ContactRecord::Phone, u"5559999");
        const ContactRecord e = record("Mina", "Sadeghi", "5550005", "", 5);
        // b rewritten, c deleted, e appended.
        QCOMPARE(RecordAlignment::align({a, b, c, d}, {a, b2, d, e}),
                 (std::vector<int>{0, 1, -1, 2}));
        // Equal records are interchangeable; one of two is gone.
        QCOMPARE(RecordAlignment::align({a, a, c}, {a, c}), (std::vector<int>{0, -1, 1}));
        // A record sharing nothing with the one in its place is a deletion and an append.
        QCOMPARE(RecordAlignment::align({a, c}, {a, e}), (std::vector<int>{0, -1}));
    }

    void largeChangesTakeTheQuickWay()
    {
        std::vector<ContactRecord> before;
        for (int i = 0; i < 3000; ++i)
            before.push_back(record(QString("N%1").arg(i), "F", QString::number(i), "", 0));
        std::vector<ContactRecord> now(before.begin() + 1, before.end() - 1);
        now[1500].setText(ContactRecord::Name, u"Changed");
        const std::vector<int> got = RecordAlignment::align(before, now);
        QCOMPARE(got.front(), -1);
        QCOMPARE(got.back(), -1);
        for (int i = 1; i < 2999; ++i)
            QCOMPARE(got[size_t(i)], i - 1);
    }
};

QTEST_APPLESS_MAIN(TestSyncAlign)
#include "tst_syncalign.moc"
