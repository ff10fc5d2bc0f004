#include <sys/stat.h>

#include <unistd.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "store/ContactStore.h"
#include "sync/DavClient.h"
#include "sync/SyncEngine.h"
#include "sync/SyncState.h"
#include "tests/sync/RadicaleServer.h"
#include "tests/sync/SyncTestUtil.h"

using namespace synctest;

// The engine against a real Radicale; the server's other clients are plain HTTP.
class TestSyncEngine : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RadicaleServer> m_server;
    QTemporaryDir m_dir;
    std::unique_ptr<ContactStore> m_store;
    std::function<void()> m_beforeServer, m_beforeLocal;

    bool sync(SyncReport &report)
    {
        DavClient client;
        client.setCredentials(RadicaleServer::User, RadicaleServer::Password);
        SyncEngine engine(*m_store, client, m_server->book(), VcardWriter::V3);
        // Each happens once, in the first pass.
        const auto once = [](std::function<void()> f) {
            return [f]() mutable {
                if (f)
                    std::exchange(f, nullptr)();
            };
        };
        engine.setBeforeServerWrites(once(std::exchange(m_beforeServer, nullptr)));
        engine.setBeforeLocalWrite(once(std::exchange(m_beforeLocal, nullptr)));
        QString why;
        const bool ok = engine.run(report, why);
        if (!ok)
            qWarning() << why;
        return ok;
    }

    // A second sync right after changes nothing on either side.
    void settled()
    {
        const QByteArray data = fileBytes();
        const auto cards = m_server->cards();
        SyncReport again;
        QVERIFY(sync(again));
        QCOMPARE(again.sent + again.changedThere + again.deletedThere + again.received +
                     again.changedHere + again.deletedHere + int(again.conflicts.size()),
                 0);
        QCOMPARE(fileBytes(), data);
        QCOMPARE(m_server->cards(), cards);
        // A card from another client keeps no ID of ours.
        QCOMPARE(sorted(serverRecords(*m_server), false), sorted(records(*m_store), false));
    }

    QByteArray fileBytes() const
    {
        QFile f(m_store->dataFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void put(const QString &path, const QByteArray &card, const QByteArray &etag = {})
    {
        const auto a = m_server->request("PUT", path, card,
                                         {etag.isEmpty() ? "If-None-Match:*" : "If-Match:" + etag});
        QVERIFY2(a.status == 201 || a.status == 204, a.body.constData());
    }

    // Another client's edit of the card at path, over the ETag it read.
    void changeThere(const QString &path, const QByteArray &from, const QByteArray &to)
    {
        QByteArray c = m_server->card(path);
        put(path, c.replace(from, to), m_server->request("GET", path).etag);
    }

    void append(const std::vector<ContactRecord> &rs) { QVERIFY(!m_store->AppendRecords(rs)); }

    // The records here, and there after a first sync.
    bool syncedFirst(const std::vector<ContactRecord> &rs)
    {
        SyncReport first;
        return !m_store->AppendRecords(rs) && sync(first);
    }

private slots:
    void init()
    {
        m_server = std::make_unique<RadicaleServer>();
        QString why;
        QVERIFY2(m_server->start(why), qPrintable(why));
        QVERIFY(m_dir.isValid());
        QFile::remove(m_dir.path() + "/quorvel.dat");
        QFile::remove(m_dir.path() + "/quorvel.dat.sync");
        m_store = std::make_unique<ContactStore>(ContactStore::atDataFolder(m_dir.path()));
        QVERIFY(!m_store->Open());
    }
    void cleanup() { m_server.reset(); }

    void oneSyncAtATime()
    {
        // A timer's sync and one started by hand: the second refuses at once,
        // before it asks the server anything.
        FileLock held;
        QVERIFY(!m_store->LockForSync(held));
        append({record("Reza", "Ahmadi", "5550001", "", 1)});
        DavClient client;
        client.setCredentials(RadicaleServer::User, RadicaleServer::Password);
        SyncEngine engine(*m_store, client, m_server->book(), VcardWriter::V3);
        SyncReport report;
        QString why;
        QVERIFY(!engine.run(report, why));
        QVERIFY2(why.contains(m_store->syncStatePath()), qPrintable(why));
        QVERIFY(m_server->cards().empty());
        held.unlock();
        SyncReport after;
        QVERIFY(sync(after));
        QCOMPARE(after.sent, 1);
    }

    void firstSyncBothWays()
    {
        const ContactRecord onlyHere = record("Reza", "Ahmadi", "5550001", "", 1, "Tehran");
        const ContactRecord both = record("Sara", "Karimi", "", "09120000003", 3);
        const ContactRecord onlyThere = record("Nima", "Moradi", "5550002", "", 0);
        append({onlyHere, both});
        put("/alice/book/both.vcf",
            card("both", "FN:Sara Karimi\nN:Karimi;Sara;;;\n"
                         "TEL;TYPE=cell:09120000003\n")); // no ID, as a phone keeps it
        put("/alice/book/there.vcf",
            card("there", "FN:Nima Moradi\nN:Moradi;Nima;;;\nTEL:5550002\nX-HALVEX-ID:0\n"));

        SyncReport report;
        QVERIFY(sync(report));
        QCOMPARE(report.sent, 1);
        QCOMPARE(report.received, 1);
        QCOMPARE(sorted(records(*m_store)), sorted({onlyHere, both, onlyThere}));
        QCOMPARE(m_server->cards().size(), 3);
        const QString state = SyncState::pathFor(*m_store);
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(state).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
        QCOMPARE(QFileInfo(state).path(), QFileInfo(m_store->dataFilePath()).path());
        settled();
    }

    void eachChangeOnEachSide()
    {
        std::vector<ContactRecord> rs;
        for (int i = 1; i <= 6; ++i)
            rs.push_back(record(QString("Name%1").arg(i), "Family", QString("555000%1").arg(i), "",
                                qint16(i)));
        append(rs);
        SyncReport first;
        QVERIFY(sync(first));
        QCOMPARE(first.sent, 6);

        // Here: change 1, delete 2, add 7. There: change 4, delete 5, add 8.
        ContactRecord changedHere = rs[0];
        changedHere.setText(ContactRecord::Phone, u"5559999");
        QVERIFY(!m_store->RewriteRecord(1, changedHere));
        QVERIFY(!m_store->DeleteRecord(2));
        const ContactRecord addedHere = record("Name7", "Family", "5550007", "", 7);
        QVERIFY(!m_store->AppendRecord(addedHere));
        const QString path4 = pathOf(*m_server, rs[3]);
        const QString path5 = pathOf(*m_server, rs[4]);
        QVERIFY(!path4.isEmpty() && !path5.isEmpty());
        changeThere(path4, "Name4", "Changed4");
        QCOMPARE(m_server->request("DELETE", path5).status, 200);
        put("/alice/book/eight.vcf",
            card("eight", "FN:Name8 Family\nN:Family;Name8;;;\nTEL:5550008\nX-HALVEX-ID:8\n"));

        SyncReport report;
        QVERIFY(sync(report));
        QCOMPARE(report.sent, 1);
        QCOMPARE(report.changedThere, 1);
        QCOMPARE(report.deletedThere, 1);
        QCOMPARE(report.received, 1);
        QCOMPARE(report.changedHere, 1);
        QCOMPARE(report.deletedHere, 1);
        ContactRecord changedThere = rs[3];
        changedThere.setText(ContactRecord::Name, u"Changed4");
        const auto expected = sorted({changedHere, rs[2], changedThere, rs[5], addedHere,
                                      record("Name8", "Family", "5550008", "", 8)});
        QCOMPARE(sorted(records(*m_store)), expected);
        QCOMPARE(sorted(serverRecords(*m_server)), expected);
        settled();
    }

    void localEditKeepsWhatTheRecordDoesNotHold()
    {
        put("/alice/book/rich.vcf",
            card("rich", "FN:Dr. Ali Rezaei\nN:Rezaei;Ali;Mohammad;Dr.;Jr.\n"
                         "TEL;TYPE=WORK,VOICE;TYPE=PREF:021-5555\nTEL;TYPE=CELL:0912-111\n"
                         "TEL;TYPE=FAX:021-6666\nEMAIL;TYPE=INTERNET:ali@example.org\n"
                         "NOTE:Met at the fair\\, 2019\nORG:Halvex;Sales\n"
                         "item1.URL:https://example.org/ali\nitem1.X-ABLABEL:Blog\n"
                         "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQEASABIAAD/2wBDAP////////"
                         "//////////////////////////////////////////////////////////wAALCAABAAEB"
                         "AREA/8QAFAABAAAAAAAAAAAAAAAAAAAAA//EABQQAQAAAAAAAAAAAAAAAAAAAAD/2gAIAQEAA"
                         "D8AN//Z\n"));
        SyncReport first;
        QVERIFY(sync(first));
        QCOMPARE(first.received, 1);
        const QByteArray before = m_server->card("/alice/book/rich.vcf");

        ContactRecord r = records(*m_store).front();
        r.setText(ContactRecord::Family, u"Rezaie");
        r.setText(ContactRecord::Phone, u"021-7777");
        QVERIFY(!m_store->RewriteRecord(1, r));
        SyncReport report;
        QVERIFY(sync(report));
        QCOMPARE(report.changedThere, 1);

        // Line by line, unfolded: only FN, N's family and the one TEL's value differ.
        const auto lines = [](QByteArray card) {
            card.replace("\r\n ", "");
            QList<QByteArray> out = card.split('\n');
            for (QByteArray &l : out)
                l = l.trimmed();
            std::sort(out.begin(), out.end());
            return out;
        };
        QList<QByteArray> expected;
        for (QByteArray l : lines(before)) {
            if (l.startsWith("FN:"))
                l = "FN:Ali Rezaie";
            else if (l.startsWith("N:"))
                l.replace("Rezaei;", "Rezaie;");
            else if (l.startsWith("TEL") && l.endsWith(":021-5555"))
                l.replace(":021-5555", ":021-7777");
            expected << l;
        }
        std::sort(expected.begin(), expected.end());
        QCOMPARE(lines(m_server->card("/alice/book/rich.vcf")), expected);
        settled();
    }

    void conflictsLoseNothing()
    {
        const std::vector<ContactRecord> rs = {record("Both", "Changed", "5550001", "", 1),
                                               record("Gone", "Here", "5550002", "", 2),
                                               record("Gone", "There", "5550003", "", 3)};
        QVERIFY(syncedFirst(rs));

        ContactRecord mine = rs[0];
        mine.setText(ContactRecord::Phone, u"5551111");
        QVERIFY(!m_store->RewriteRecord(1, mine));
        ContactRecord kept = rs[2];
        kept.setText(ContactRecord::Mobile, u"09121112222");
        QVERIFY(!m_store->RewriteRecord(3, kept));
        QVERIFY(!m_store->DeleteRecord(2));

        const QString both = pathOf(*m_server, rs[0]);
        const QString goneHere = pathOf(*m_server, rs[1]);
        changeThere(both, "Both", "Their");
        changeThere(goneHere, "Here", "Again");
        QCOMPARE(m_server->request("DELETE", pathOf(*m_server, rs[2])).status, 200);

        SyncReport report;
        QVERIFY(sync(report));
        QCOMPARE(report.conflicts.size(), 3);
        ContactRecord theirs = rs[0];
        theirs.setText(ContactRecord::Name, u"Their");
        ContactRecord back = rs[1];
        back.setText(ContactRecord::Family, u"Again");
        // The local version of the contact changed on both sides is a new
        // contact: it takes the number the add page would give it, not 1 again.
        mine.setID(4);
        const auto expected = sorted({theirs, mine, back, kept});
        QCOMPARE(sorted(records(*m_store)), expected);
        QCOMPARE(sorted(serverRecords(*m_server)), expected);
        settled();
    }

    void preconditionFailedIsMergedOnTheNextPass()
    {
        const ContactRecord r = record("Ali", "Rezaei", "5550001", "", 1);
        QVERIFY(syncedFirst({r}));
        const QString path = pathOf(*m_server, r);

        ContactRecord mine = r;
        mine.setText(ContactRecord::Phone, u"5552222");
        QVERIFY(!m_store->RewriteRecord(1, mine));
        // Another client adds an e-mail between our read and our write: 412.
        m_beforeServer = [&] {
            changeThere(path, "END:VCARD", "EMAIL:ali@example.org\r\nEND:VCARD");
        };
        SyncReport report;
        QVERIFY(sync(report));
        QVERIFY(report.conflicts.isEmpty());
        const QByteArray now = m_server->card(path);
        QVERIFY(now.contains("EMAIL:ali@example.org"));
        QVERIFY(now.contains("5552222"));
        QCOMPARE(sorted(serverRecords(*m_server)), sorted({mine}));
        settled();
    }

    void syncTokenListsOnlyChanges()
    {
        const std::vector<ContactRecord> rs = {record("Ali", "Rezaei", "5550001", "", 1),
                                               record("Sara", "Karimi", "5550002", "", 2),
                                               record("Nima", "Moradi", "5550003", "", 3)};
        QVERIFY(syncedFirst(rs));
        settled(); // lists our own cards as changes once
        const QString statePath = SyncState::pathFor(*m_store);
        SyncState state;
        QString why;
        QVERIFY(state.load(statePath, why));
        QVERIFY(!state.token.isEmpty());
        const auto etagOf = [&](const QString &path) {
            SyncState s;
            QString ignored;
            s.load(statePath, ignored);
            for (const SyncEntry &e : s.entries)
                if (e.path == path)
                    return e.etag;
            return QByteArray();
        };

        // A state file from before tokens (four fields in its first line) loads.
        QFile file(statePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        file.close();
        const qsizetype eol = bytes.indexOf('\n');
        const qsizetype lastField = bytes.lastIndexOf('\t', eol);
        bytes.remove(lastField, eol - lastField);
        QFile older(m_dir.path() + "/older.sync");
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write(bytes) == bytes.size());
        older.close();
        SyncState fromOlder;
        QVERIFY2(fromOlder.load(older.fileName(), why), qPrintable(why));
        QVERIFY(fromOlder.token.isEmpty());
        QCOMPARE(fromOlder.entries.size(), state.entries.size());

        // With the token only what changed is listed: an unchanged card's entry
        // keeps the wrong ETag put in it.
        const QString unchanged = pathOf(*m_server, rs[1]);
        for (SyncEntry &e : state.entries)
            if (e.path == unchanged)
                e.etag = "\"not-listed\"";
        QVERIFY(state.save(statePath, why));
        const QString changed = pathOf(*m_server, rs[0]);
        changeThere(changed, "Ali", "Ahmad");
        SyncReport delta;
        QVERIFY(sync(delta));
        QCOMPARE(delta.changedHere, 1);
        QCOMPARE(etagOf(unchanged), QByteArray("\"not-listed\""));

        // A token the server refuses (403, valid-sync-token): all is listed
        // again, with what changed meanwhile.
        QVERIFY(state.load(statePath, why));
        const QByteArray refused = "http://radicale.org/ns/sync/" + QByteArray(64, '0');
        state.token = refused;
        QVERIFY(state.save(statePath, why));
        QCOMPARE(m_server->request("DELETE", pathOf(*m_server, rs[2])).status, 200);
        put("/alice/book/new.vcf",
            card("new", "FN:Reza Ahmadi\nN:Ahmadi;Reza;;;\nTEL:5550004\nX-HALVEX-ID:4\n"));
        SyncReport full;
        QVERIFY(sync(full));
        QCOMPARE(full.deletedHere, 1);
        QCOMPARE(full.received, 1);
        QVERIFY(etagOf(unchanged) != "\"not-listed\"");
        QVERIFY(state.load(statePath, why));
        QVERIFY(!state.token.isEmpty() && state.token != refused);
        ContactRecord ahmad = rs[0];
        ahmad.setText(ContactRecord::Name, u"Ahmad");
        QCOMPARE(sorted(records(*m_store)),
                 sorted({ahmad, rs[1], record("Reza", "Ahmadi", "5550004", "", 4)}));
        settled();
    }

    void windowWritesDuringTheSync()
    {
        const ContactRecord r = record("Ali", "Rezaei", "5550001", "", 1);
        const ContactRecord fromWindow = record("Window", "Added", "5550003", "", 3);
        QVERIFY(syncedFirst({r}));
        put("/alice/book/new.vcf",
            card("new", "FN:Server Added\nN:Added;Server;;;\nTEL:5550002\nX-HALVEX-ID:2\n"));
        m_beforeLocal = [&] { QVERIFY(!m_store->AppendRecord(fromWindow)); };

        SyncReport report;
        QVERIFY(sync(report));
        const auto expected = sorted({r, fromWindow, record("Server", "Added", "5550002", "", 2)});
        QCOMPARE(sorted(records(*m_store)), expected);
        QCOMPARE(sorted(serverRecords(*m_server)), expected);
        settled();
    }
};

QTEST_GUILESS_MAIN(TestSyncEngine)
#include "tst_syncengine.moc"
