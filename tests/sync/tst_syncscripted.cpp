#include <QTemporaryDir>
#include <QTest>

#include "store/ContactStore.h"
#include "sync/SyncEngine.h"
#include "sync/SyncState.h"
#include "tests/sync/ScriptedDav.h"
#include "tests/sync/SyncTestUtil.h"

using namespace synctest;

// The engine against a scripted server in process: answers no well-behaved
// server gives, and what the engine must never do whatever it is told.
class TestSyncScripted : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ContactStore> m_store;
    std::unique_ptr<ScriptedDav> m_dav;

    bool sync(SyncReport &report, QString &why, bool force = false)
    {
        SyncEngine engine(*m_store, *m_dav, ScriptedDav::book(), VcardWriter::V3);
        engine.setForceDelete(force);
        return engine.run(report, why);
    }
    void syncOk(SyncReport &report, bool force = false)
    {
        QString why;
        QVERIFY2(sync(report, why, force), qPrintable(why));
    }
    QByteArray fileBytes() const
    {
        QFile f(m_store->dataFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    std::vector<ContactRecord> onServer() const
    {
        std::vector<ContactRecord> out;
        for (const ScriptedDav::Card &c : m_dav->cards()) {
            CardContact got;
            QString why;
            if (CardText::read(c.data, 0, got, why))
                out.push_back(got.record);
        }
        return out;
    }
    // A sync that fails with expected in its message and writes nothing on
    // either side.
    void refused(const QString &expected, bool force = false)
    {
        const QByteArray before = fileBytes();
        const auto cards = m_dav->cards().keys();
        const size_t asked = m_dav->requests.size();
        SyncReport report;
        QString why;
        QVERIFY(!sync(report, why, force));
        QVERIFY2(why.contains(expected), qPrintable(why));
        QCOMPARE(fileBytes(), before);
        for (size_t i = asked; i < m_dav->requests.size(); ++i)
            QVERIFY2(m_dav->requests[i].method != "PUT" && m_dav->requests[i].method != "DELETE",
                     qPrintable(m_dav->requests[i].url.toString()));
        QCOMPARE(m_dav->cards().keys(), cards);
    }
    // The records here, and there after a first sync.
    void syncedFirst(const std::vector<ContactRecord> &records)
    {
        QVERIFY(!m_store->AppendRecords(records));
        SyncReport first;
        syncOk(first);
    }
    // Another client's edit of the card at path.
    void changeThere(const QString &path, const QByteArray &from, const QByteArray &to)
    {
        m_dav->put(path.mid(8), QByteArray(m_dav->cards()[path].data).replace(from, to));
    }
    void write(const std::vector<ContactRecord> &records)
    {
        QVERIFY(!m_store->ReplaceAllRecords(records, synctest::records(*m_store)));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = std::make_unique<ContactStore>(ContactStore::atDataFolder(m_dir->path()));
        QVERIFY(!m_store->Open());
        m_dav = std::make_unique<ScriptedDav>();
    }

    void hrefsOutsideTheBookAreNeverTouched()
    {
        m_dav->dataInChanges = true; // the hostile cards come with data too
        const ContactRecord mine = record("Ali", "Rezaei", "5550001", "", 1);
        const ContactRecord kept = record("Nima", "Moradi", "5550003", "", 2);
        QVERIFY(!m_store->AppendRecords({mine, kept}));
        m_dav->put("good.vcf", card("good", "FN:Sara Karimi\nN:Karimi;Sara;;;\nTEL:5550002\n"));
        const QStringList hostile = {"../../victim/secret.vcf",
                                     "..%2f..%2fenc.vcf",
                                     "http://127.0.0.9:9/u/x.vcf",
                                     "/u/book/%2e%2e/up.vcf",
                                     "//127.0.0.9/u/book/host.vcf",
                                     "/u/book/sub/../../esc.vcf",
                                     "/u/other/x.vcf",
                                     "/u/bookish.vcf"};
        // Every listing and every multiget also names the hostile cards.
        const QByteArray evil = card("evil", "FN:Evil One\nN:One;Evil;;;\nTEL:666\n");
        m_dav->alter = [&](const DavRequest &r, DavReply &reply) {
            if (reply.status != 207 || (r.method == "PROPFIND" && r.depth == 0))
                return;
            QByteArray extra;
            for (const QString &h : hostile)
                extra += ScriptedDav::response(h, "\"x\"", evil);
            reply.body.replace("</d:multistatus>", extra + "</d:multistatus>");
        };
        SyncReport first;
        syncOk(first);
        QCOMPARE(first.received, 1);
        QCOMPARE(first.sent, 2);
        // The list of changes brought the card along: nothing more was read.
        QCOMPARE(m_dav->count("REPORT"), 1);
        QCOMPARE(first.skipped.size(), hostile.size());
        for (const QString &h : hostile)
            QVERIFY2(first.skipped.filter(h).size() == 1, qPrintable(h));

        // Edits and deletions here reach only the book's own cards.
        const ContactRecord edited = record("Sara", "Karimi", "5550009", "", 3);
        write({kept, edited});
        SyncReport second;
        syncOk(second);
        QCOMPARE(second.changedThere, 1);
        QCOMPARE(second.deletedThere, 1);
        QCOMPARE(m_dav->outside(), QStringList());
        for (const DavRequest &r : m_dav->requests)
            QVERIFY2(!r.body.contains("victim") && !r.body.contains("enc.vcf") &&
                         !r.body.contains("127.0.0.9") && !r.body.contains(".."),
                     r.body.constData());
        QCOMPARE(sorted(records(*m_store), false), sorted(onServer(), false));

        // A state an older run left with a pairing outside: the record is sent
        // anew, and nothing is deleted out there.
        SyncState state;
        QString why;
        const QString statePath = SyncState::pathFor(*m_store);
        QVERIFY(state.load(statePath, why));
        state.entries.push_back({"/victim/secret.vcf", "\"v\"", mine});
        state.tag.clear();
        QVERIFY(state.save(statePath, why));
        write({kept, edited, mine});
        SyncReport third;
        syncOk(third);
        QCOMPARE(third.sent, 1);
        write({kept, edited});
        SyncReport fourth;
        syncOk(fourth);
        QCOMPARE(fourth.deletedThere, 1);
        QCOMPARE(m_dav->outside(), QStringList());
    }

    void aCutAnswerIsNeverTakenAsComplete()
    {
        const ContactRecord a = record("Ali", "Rezaei", "5550001", "", 1);
        const ContactRecord b = record("Sara", "Karimi", "5550002", "", 2);
        syncedFirst({a, b});
        QCOMPARE(m_dav->cards().size(), 2);

        // The token is refused, and the full list of changes comes in two
        // parts: the first part alone would delete Sara here.
        const QString sara = pathOf(b);
        m_dav->script = [&](const DavRequest &r) -> std::optional<DavReply> {
            if (!r.body.contains("sync-collection") || !r.body.contains("<d:sync-token>tok-"))
                return std::nullopt;
            if (!r.body.contains("<d:sync-token>tok-half<"))
                return DavReply{403, {}, {}, {}, {}};
            return ScriptedDav::multistatus(ScriptedDav::response(sara, m_dav->cards()[sara].etag),
                                            m_dav->token());
        };
        m_dav->alter = [&](const DavRequest &r, DavReply &reply) {
            if (r.body.contains("<d:sync-token></d:sync-token>"))
                reply = ScriptedDav::multistatus(
                    ScriptedDav::response(pathOf(a), m_dav->cards()[pathOf(a)].etag) +
                        ScriptedDav::response(ScriptedDav::BookPath, {}, {}, 507),
                    "tok-half");
        };
        SyncReport split;
        syncOk(split);
        QCOMPARE(split.deletedHere, 0);
        QCOMPARE(sorted(records(*m_store)), sorted({a, b}));

        // Cut again with the same token: the whole listing is asked for.
        m_dav->script = [&](const DavRequest &r) -> std::optional<DavReply> {
            if (r.body.contains("sync-collection"))
                return ScriptedDav::multistatus(
                    ScriptedDav::response(ScriptedDav::BookPath, {}, {}, 507), "tok-stuck");
            return std::nullopt;
        };
        m_dav->alter = nullptr;
        SyncState state;
        QString why;
        QVERIFY(state.load(SyncState::pathFor(*m_store), why));
        state.tag.clear();
        QVERIFY(state.save(SyncState::pathFor(*m_store), why));
        SyncReport stuck;
        syncOk(stuck);
        QCOMPARE(stuck.deletedHere, 0);
        QVERIFY(m_dav->count("PROPFIND") > 0);

        // A cut listing or multiget stops the sync with nothing written.
        m_dav->alter = [&](const DavRequest &r, DavReply &reply) {
            if (r.depth == 1)
                reply.body.replace("</d:multistatus>",
                                   ScriptedDav::response(ScriptedDav::BookPath, {}, {}, 507) +
                                       "</d:multistatus>");
        };
        m_dav->put("new.vcf", card("new", "FN:Nima Moradi\nN:Moradi;Nima;;;\nTEL:5550003\n"));
        write({a});
        refused(QStringLiteral("507"));
        m_dav->script = nullptr;
        refused(QStringLiteral("507"));
    }

    void anEmptiedSideEmptiesNothing()
    {
        const std::vector<ContactRecord> both = {record("Ali", "Rezaei", "5550001", "", 1),
                                                 record("Sara", "Karimi", "5550002", "", 2)};
        syncedFirst(both);

        write({});
        refused(QStringLiteral("--force-delete"));
        // Another file, numbered alike: its records are no rewrites of these.
        write({record("Other", "File", "5550009", "", 1)});
        refused(QStringLiteral("--force-delete"));
        write({});
        SyncReport forced;
        syncOk(forced, true);
        QCOMPARE(forced.deletedThere, 2);
        QVERIFY(m_dav->cards().isEmpty());

        QVERIFY(!m_store->AppendRecords(both));
        SyncReport again;
        syncOk(again);
        for (const QString &path : m_dav->cards().keys())
            m_dav->remove(path.mid(8));
        refused(QStringLiteral("--force-delete"));
        SyncReport forcedHere;
        syncOk(forcedHere, true);
        QCOMPARE(forcedHere.deletedHere, 2);
        QVERIFY(records(*m_store).empty());
    }

    void aChangeThereBeatsADeletionHere()
    {
        const ContactRecord a = record("Ali", "Rezaei", "5550001", "", 1);
        const ContactRecord b = record("Sara", "Karimi", "5550002", "", 2);
        syncedFirst({a, b});
        // Another client adds an e-mail, which the record does not hold.
        const QString path = pathOf(a);
        changeThere(path, "END:VCARD", "EMAIL:ali@example.org\r\nEND:VCARD");
        write({b});
        SyncReport report;
        syncOk(report);
        QCOMPARE(report.deletedThere, 0);
        QCOMPARE(report.conflicts.size(), 1);
        QCOMPARE(m_dav->count("DELETE"), 0);
        QVERIFY(m_dav->cards()[path].data.contains("EMAIL:ali@example.org"));
        QCOMPARE(sorted(records(*m_store)), sorted({a, b}));
    }

    void moreCardsThanTheFileHoldsAreRefused()
    {
        QVERIFY(!m_store->AppendRecord(record("Ali", "Rezaei", "5550001", "", 1)));
        for (int i = 0; i <= ContactStore::MaxRecords; ++i)
            m_dav->put(QStringLiteral("c%1.vcf").arg(i), "BEGIN:VCARD\r\nEND:VCARD\r\n");
        refused(QString::number(ContactStore::MaxRecords));
        QCOMPARE(m_dav->count("REPORT") + m_dav->count("PROPFIND"), 1); // no card was read

        // Full here, one new card there: the file could not take it.
        m_dav = std::make_unique<ScriptedDav>();
        std::vector<ContactRecord> full;
        for (int i = 1; i < ContactStore::MaxRecords; ++i)
            full.push_back(record(QStringLiteral("N%1").arg(i), "F", {}, {}, qint16(i)));
        QVERIFY(!m_store->AppendRecords(full));
        m_dav->put("x.vcf", card("x", "FN:Sara Karimi\nN:Karimi;Sara;;;\nTEL:5550002\n"));
        refused(QString::number(ContactStore::MaxRecords));
    }

    void aConflictsCopyTakesTheNextNumber()
    {
        const ContactRecord a = record("Ali", "Rezaei", "5550001", "", 1);
        const ContactRecord b = record("Sara", "Karimi", "5550002", "", 2);
        syncedFirst({a, b});
        ContactRecord mine = a;
        mine.setText(ContactRecord::Phone, u"5559999");
        write({mine, b});
        const QString path = pathOf(a);
        changeThere(path, "Ali", "Ahmad");
        SyncReport report;
        syncOk(report);
        QCOMPARE(report.conflicts.size(), 1);
        ContactRecord theirs = a;
        theirs.setText(ContactRecord::Name, u"Ahmad");
        mine.setID(3);
        const std::vector<ContactRecord> expected = {theirs, b, mine};
        QCOMPARE(records(*m_store), expected);
        QCOMPARE(sorted(onServer()), sorted(expected));
        SyncReport settled;
        syncOk(settled);
        QCOMPARE(settled.sent + settled.received + settled.changedHere + settled.changedThere, 0);
    }

private:
    QString pathOf(const ContactRecord &r) const
    {
        for (auto it = m_dav->cards().cbegin(); it != m_dav->cards().cend(); ++it) {
            CardContact c;
            QString why;
            if (CardText::read(it->data, 0, c, why) && c.record == r)
                return it.key();
        }
        return {};
    }
};

QTEST_GUILESS_MAIN(TestSyncScripted)
#include "tst_syncscripted.moc"
