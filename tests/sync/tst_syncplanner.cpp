#include <QTest>

#include "sync/SyncPlanner.h"
#include "tests/sync/SyncTestUtil.h"

using namespace synctest;

namespace {

const QString kBook = QStringLiteral("/b/");

struct Case
{
    std::vector<SyncEntry> state;
    std::vector<ContactRecord> local;
    QMap<QString, FetchedCard> server; // by name: "a" is /b/a.vcf
    bool force = false;
};

// The family name and the ID stay, so that a renamed record is a rewrite in place.
ContactRecord rec(const QString &name, qint16 id)
{
    return record(name, QStringLiteral("Fam%1").arg(id), {}, {}, id);
}

QByteArray cardOf(const ContactRecord &r, const QByteArray &extra = {})
{
    QByteArray c = CardText::create(r, VcardWriter::V3, "uid-" + r.toByteArray().toHex().left(8));
    return c.replace("END:VCARD", extra + "END:VCARD");
}

SyncEntry entry(const QString &name, const QByteArray &etag, const ContactRecord &base,
                std::optional<ContactRecord> sent = std::nullopt)
{
    return {kBook + name + ".vcf", etag, base, sent};
}

QString shortPath(QString path)
{
    return path.startsWith(kBook) ? path.mid(kBook.size()).chopped(4) : path;
}

// The plan in one line: the records after, the writes, the counts.
QString summary(const SyncPlan &p)
{
    static const char *const refusals[] = {"", "emptied here", "emptied there", "too many cards",
                                           "too many records"};
    if (p.refusal != SyncPlan::None)
        return QStringLiteral("refused: %1 (%2)").arg(refusals[p.refusal]).arg(p.count);
    QStringList records, writes;
    for (const PlannedRecord &r : p.records)
        records << r.record.text(ContactRecord::Name).trimmed() + u'#' +
                       QString::number(r.record.ID()) + u'@' + shortPath(r.entry.path);
    static const char *const kinds[] = {"PUT+", "PUT", "DELETE"};
    for (const PlannedWrite &w : p.writes)
        writes << QString::fromLatin1(kinds[w.kind]) + u' ' + shortPath(w.path);
    const SyncReport &r = p.report;
    return QStringLiteral("%1 | %2 | there +%3 ~%4 -%5 here +%6 ~%7 -%8 | conflicts %9")
               .arg(records.join(u' '), writes.join(u", "))
               .arg(r.sent)
               .arg(r.changedThere)
               .arg(r.deletedThere)
               .arg(r.received)
               .arg(r.changedHere)
               .arg(r.deletedHere)
               .arg(r.conflicts.size()) +
           (r.losses.isEmpty() ? QString() : QStringLiteral(" | lost %1").arg(r.losses.size())) +
           (r.skipped.isEmpty() ? QString()
                                : QStringLiteral(" | skipped %1").arg(r.skipped.size()));
}

} // namespace

Q_DECLARE_METATYPE(Case)

// Every decision of a pass, from the three inputs alone: the data file, the
// state of the last sync and what the server holds.
class TestSyncPlanner : public QObject
{
    Q_OBJECT

private slots:
    void decides_data()
    {
        QTest::addColumn<Case>("input");
        QTest::addColumn<QString>("expected");
        const ContactRecord a = rec("Ali", 1), b = rec("Sara", 2), c = rec("Nima", 7);
        ContactRecord a2 = a, a3 = a;
        a2.setText(ContactRecord::Name, u"Ahmad");
        a3.setText(ContactRecord::Name, u"Amir");
        const auto synced = [&] { return std::vector{entry("a", "1", a), entry("b", "1", b)}; };
        const auto server = [&](QByteArray aEtag, const QByteArray &aCard) {
            QMap<QString, FetchedCard> s{{"b", {"1", cardOf(b)}}};
            if (!aEtag.isEmpty())
                s.insert("a", {aEtag, aCard});
            return s;
        };
        const auto both = server("1", cardOf(a));
        const QByteArray noId = card("x", "FN:Reza Ahmadi\nN:Ahmadi;Reza;;;\nTEL:5550004\n");

        QTest::newRow("nothing changed")
            << Case{synced(), {a, b}, both}
            << "Ali#1@a Sara#2@b |  | there +0 ~0 -0 here +0 ~0 -0 | conflicts 0";
        QTest::newRow("changed here")
            << Case{synced(), {a2, b}, both}
            << "Ahmad#1@a Sara#2@b | PUT a | there +0 ~1 -0 here +0 ~0 -0 | conflicts 0";
        QTest::newRow("changed there")
            << Case{synced(), {a, b}, server("2", cardOf(a2))}
            << "Ahmad#1@a Sara#2@b |  | there +0 ~0 -0 here +0 ~1 -0 | conflicts 0";
        QTest::newRow("deleted here")
            << Case{synced(), {b}, both}
            << "Sara#2@b | DELETE a | there +0 ~0 -1 here +0 ~0 -0 | conflicts 0";
        QTest::newRow("deleted here, changed there beyond the record")
            << Case{synced(), {b}, server("2", cardOf(a, "EMAIL:ali@example.org\r\n"))}
            << "Sara#2@b Ali#1@a |  | there +0 ~0 -0 here +1 ~0 -0 | conflicts 1 | lost 1";
        QTest::newRow("deleted there")
            << Case{synced(), {a, b}, server({}, {})}
            << "Sara#2@b |  | there +0 ~0 -0 here +0 ~0 -1 | conflicts 0";
        QTest::newRow("deleted there, changed here")
            << Case{synced(), {a2, b}, server({}, {})}
            << "Ahmad#1@new1 Sara#2@b | PUT+ new1 | there +1 ~0 -0 here +0 ~0 -0 | conflicts 1";
        QTest::newRow("changed on both sides") << Case{synced(), {a2, b}, server("2", cardOf(a3))}
                                               << "Amir#1@a Sara#2@b Ahmad#3@new1 | PUT+ new1 | "
                                                  "there +1 ~0 -0 here +0 ~1 -0 | conflicts 1";
        QTest::newRow("changed alike on both sides")
            << Case{synced(), {a2, b}, server("2", cardOf(a2))}
            << "Ahmad#1@a Sara#2@b |  | there +0 ~0 -0 here +0 ~0 -0 | conflicts 0";
        QTest::newRow("new on both sides") << Case{synced(),
                                                   {a, b, c},
                                                   [&] {
                                                       auto s = both;
                                                       s.insert("x", {"1", noId});
                                                       return s;
                                                   }()}
                                           << "Ali#1@a Sara#2@b Nima#7@new1 Reza#4@x | PUT+ new1 | "
                                              "there +1 ~0 -0 here +1 ~0 -0 | conflicts 0";
        QTest::newRow("a card a killed run made pairs by content")
            << Case{{}, {a, b}, {{"x", {"1", cardOf(a)}}}}
            << "Ali#1@x Sara#2@new1 | PUT+ new1 | there +1 ~0 -0 here +0 ~0 -0 | conflicts 0";
        QTest::newRow("an edit a killed run sent is ours")
            << Case{{entry("a", "1", a, a2), entry("b", "1", b)}, {a3, b}, server("2", cardOf(a2))}
            << "Amir#1@a Sara#2@b | PUT a | there +0 ~1 -0 here +0 ~0 -0 | conflicts 0";
        QTest::newRow("an unreadable card is left alone")
            << Case{synced(), {a2, b}, server("2", "BEGIN:VCARD\r\nno card")}
            << "Ahmad#1@a Sara#2@b |  | there +0 ~0 -0 here +0 ~0 -0 | conflicts 0 | lost 1";
        QTest::newRow("a pairing outside the book is dropped")
            << Case{{{"/elsewhere/secret.vcf", "1", a}, entry("b", "1", b)}, {a, b}, server({}, {})}
            << "Ali#1@new1 Sara#2@b | PUT+ new1 | there +1 ~0 -0 here +0 ~0 -0 | conflicts 0 | "
               "skipped 1";
        QTest::newRow("a pairing that climbs out is dropped")
            << Case{{{"/b/../secret.vcf", "1", a}, entry("b", "1", b)}, {a, b}, server({}, {})}
            << "Ali#1@new1 Sara#2@b | PUT+ new1 | there +1 ~0 -0 here +0 ~0 -0 | conflicts 0 | "
               "skipped 1";
        QTest::newRow("data file emptied")
            << Case{synced(), {}, both} << "refused: emptied here (2)";
        QTest::newRow("data file emptied, forced")
            << Case{synced(), {}, both, true}
            << " | DELETE a, DELETE b | there +0 ~0 -2 here +0 ~0 -0 | conflicts 0";
        QTest::newRow("data file replaced")
            << Case{synced(), {c}, both} << "refused: emptied here (2)";
        QTest::newRow("book emptied") << Case{synced(), {a, b}, {}} << "refused: emptied there (2)";
        QTest::newRow("book emptied, forced") << Case{synced(), {a, b}, {}, true}
                                              << " |  | there +0 ~0 -0 here +0 ~0 -2 | conflicts 0";
        QTest::newRow("every card changed there, one deleted")
            << Case{synced(), {a, b}, {{"a", {"2", cardOf(a2)}}}}
            << "Ahmad#1@a |  | there +0 ~0 -0 here +0 ~1 -1 | conflicts 0";
        QTest::newRow("book replaced")
            << Case{synced(), {a, b}, {{"x", {"1", noId}}}} << "refused: emptied there (2)";
    }

    void decides()
    {
        QFETCH(Case, input);
        QFETCH(QString, expected);
        std::vector<SyncEntry> state = input.state;
        SyncPlanner planner(kBook, input.local, state, VcardWriter::V3);
        planner.setForceDelete(input.force);
        int uids = 0;
        planner.setUidSource([&uids] { return "new" + QByteArray::number(++uids); });
        BookContents listing;
        for (auto it = input.server.cbegin(); it != input.server.cend(); ++it) {
            listing.etags.insert(kBook + it.key() + ".vcf", it->etag);
            listing.listed << kBook + it.key() + ".vcf";
        }
        QHash<QString, FetchedCard> fetched;
        for (const QString &path : planner.wanted(listing))
            fetched.insert(path, input.server.value(shortPath(path)));
        QCOMPARE(summary(planner.plan(listing, fetched)), expected);
    }
};

QTEST_APPLESS_MAIN(TestSyncPlanner)
#include "tst_syncplanner.moc"
