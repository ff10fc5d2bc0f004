#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "store/ContactStore.h"
#include "store/FileLock.h"
#include "sync/AccountSync.h"
#include "tests/sync/ScriptedAccount.h"
#include "tests/sync/SyncTestUtil.h"

using namespace synctest;

class TestAccountSync : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void findsTheBookOrSaysWhatIsMissing();
    void makesABookForAFreshAccount();
    void stopsWholeAndTheNextSyncFinishes();
    void waitsItsTurnOnTheDataFile();

private:
    AccountSync::Outcome run(bool create = false, const QUrl &url = ScriptedAccount::root());
    QByteArray dataBytes() const;
    void fill(int n);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ContactStore> m_store;
    std::unique_ptr<ScriptedAccount> m_server;
    std::unique_ptr<AccountSync> m_sync;
};

void TestAccountSync::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<ContactStore>(ContactStore::atDataFolder(m_dir->path()));
    QVERIFY(!m_store->Open());
    m_server = std::make_unique<ScriptedAccount>();
    m_sync = std::make_unique<AccountSync>(*m_store, m_server->transport());
    m_sync->setWaitMs(50);
}

AccountSync::Outcome TestAccountSync::run(bool create, const QUrl &url)
{
    AccountSync::Request request;
    request.account.url = url;
    request.account.user = QStringLiteral("u");
    request.password = QStringLiteral("p");
    request.create = create;
    return m_sync->run(request);
}

QByteArray TestAccountSync::dataBytes() const
{
    QFile f(m_store->dataFilePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TestAccountSync::fill(int n)
{
    std::vector<ContactRecord> rs;
    for (int i = 1; i <= n; ++i)
        rs.push_back(
            record(QStringLiteral("نام%1").arg(i), QStringLiteral("F"), {}, {}, qint16(i)));
    QVERIFY(!m_store->AppendRecords(rs));
}

void TestAccountSync::findsTheBookOrSaysWhatIsMissing()
{
    fill(2);
    // From the server's root to the one book, which is synced.
    AccountSync::Outcome o = run();
    QCOMPARE(o.result, AccountSync::Synced);
    QCOMPARE(o.book, ScriptedDav::book());
    QCOMPARE(o.report.sent, 2);
    QCOMPARE(m_server->dav.cards().size(), 2);

    // Two books: the choice is the user's, and nothing is written meanwhile.
    m_server->books << QStringLiteral("office");
    const int puts = m_server->dav.count("PUT");
    o = run();
    QCOMPARE(o.result, AccountSync::SeveralBooks);
    QCOMPARE(o.books.size(), 2);
    QCOMPARE(o.books[1].url.path(), QStringLiteral("/u/office/"));
    QCOMPARE(m_server->dav.count("PUT"), puts);
    // The book's own address goes straight to it.
    QCOMPARE(run(false, ScriptedDav::book()).result, AccountSync::Synced);

    m_server->refuseLogin = true;
    o = run();
    QCOMPARE(o.result, AccountSync::WrongPassword);
    QVERIFY(!o.why.isEmpty());
}

void TestAccountSync::makesABookForAFreshAccount()
{
    fill(3);
    m_server->books.clear();
    QCOMPARE(run().result, AccountSync::NoBook);
    QVERIFY(m_server->mkcols.empty());

    // A server that will not make one says so, and nothing is sent.
    m_server->mkcolStatus = 403;
    AccountSync::Outcome o = run(true);
    QCOMPARE(o.result, AccountSync::Failed);
    QVERIFY2(o.why.contains(QStringLiteral("نپذیرفت")), qPrintable(o.why));
    QVERIFY(m_server->elsewhere.isEmpty());

    m_server->mkcols.clear();
    m_server->mkcolStatus = 201;
    o = run(true);
    QCOMPARE(o.result, AccountSync::Synced);
    QCOMPARE(m_server->mkcols.size(), size_t(1));
    const DavRequest &made = m_server->mkcols.front();
    QCOMPARE(made.url.path(), QStringLiteral("/u/halvex/"));
    QVERIFY(made.body.contains("<c:addressbook/>"));
    QVERIFY(made.body.contains("<d:displayname>Halvex</d:displayname>"));
    QCOMPARE(o.book.path(), QStringLiteral("/u/halvex/"));
    QCOMPARE(m_server->elsewhere.size(), 3);
    for (const QString &path : std::as_const(m_server->elsewhere))
        QVERIFY(path.startsWith(QStringLiteral("/u/halvex/")));
}

void TestAccountSync::stopsWholeAndTheNextSyncFinishes()
{
    fill(60);
    const QByteArray before = dataBytes();
    std::atomic_bool stop{false};
    m_sync->setStop(&stop);
    qint64 lastDone = 0, lastTotal = 0;
    bool steady = true;
    m_sync->setCounts([&](qint64 done, qint64 total) {
        steady = steady && done >= lastDone && done <= total;
        lastDone = done;
        lastTotal = total;
    });
    // Stopped while the first writes are on their way.
    m_server->beforeWrites = [&](const std::vector<DavRequest> &) { stop = true; };
    AccountSync::Outcome o = run();
    QCOMPARE(o.result, AccountSync::Stopped);
    QVERIFY(steady);
    QCOMPARE(lastTotal, qint64(60));
    QVERIFY(lastDone > 0 && lastDone < 60);
    const qsizetype sentBefore = m_server->dav.cards().size();
    QCOMPARE(sentBefore, qsizetype(lastDone));
    QCOMPARE(dataBytes(), before);

    m_server->beforeWrites = nullptr;
    stop = false;
    o = run();
    QCOMPARE(o.result, AccountSync::Synced);
    QCOMPARE(o.report.sent, int(60 - sentBefore));
    QCOMPARE(m_server->dav.cards().size(), 60);
    QCOMPARE(sorted(records(*m_store)).size(), size_t(60));
    QCOMPARE(dataBytes(), before);

    // Stopped before anything was read: nothing was asked of the server.
    stop = true;
    const size_t asked = m_server->dav.requests.size();
    QCOMPARE(run().result, AccountSync::Stopped);
    QCOMPARE(m_server->dav.requests.size(), asked);
}

void TestAccountSync::waitsItsTurnOnTheDataFile()
{
    fill(1);
    FileLock held;
    QVERIFY(!m_store->LockForSync(held));
    int waits = 0;
    // The other sync ends after this one has waited twice.
    m_sync->setWaiting([&] {
        if (++waits == 2)
            held.unlock();
    });
    const AccountSync::Outcome o = run();
    QCOMPARE(o.result, AccountSync::Synced);
    QCOMPARE(waits, 2);
    QCOMPARE(m_server->dav.cards().size(), 1);
}

QTEST_APPLESS_MAIN(TestAccountSync)
#include "tst_accountsync.moc"
