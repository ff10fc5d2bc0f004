#include <QFile>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTest>

#include "store/ContactStore.h"
#include "sync/AccountSync.h"
#include "sync/DavClient.h"
#include "sync/ServerCertificate.h"
#include "tests/sync/SyncTestUtil.h"

using namespace synctest;

// A new user of a real server: no address book yet, and a self-signed
// certificate, as a Radicale of one's own has.
class TestFreshAccount : public QObject
{
    Q_OBJECT

private slots:
    void makesTheFirstBook();
    void trustsOneSelfSignedCertificate();

private:
    AccountSync::Outcome sync(const RadicaleServer &server, ContactStore &store,
                              const QByteArray &certificate = {}, bool create = false);
};

AccountSync::Outcome TestFreshAccount::sync(const RadicaleServer &server, ContactStore &store,
                                            const QByteArray &certificate, bool create)
{
    AccountSync::Request request;
    request.account.url = server.root();
    request.account.user = QString::fromLatin1(RadicaleServer::User);
    request.account.certificate = certificate;
    request.password = QString::fromLatin1(RadicaleServer::Password);
    request.create = create;
    return AccountSync(store, &AccountSync::network).run(request);
}

void TestFreshAccount::makesTheFirstBook()
{
    RadicaleServer server(false, false);
    QString why;
    QVERIFY2(server.start(why), qPrintable(why));
    QTemporaryDir dir;
    ContactStore store = ContactStore::atDataFolder(dir.path());
    QVERIFY(!store.Open());
    QVERIFY(!store.AppendRecords({record(QStringLiteral("علی"), QStringLiteral("رضایی"),
                                         QStringLiteral("021 1234"), {}, 1)}));

    QCOMPARE(sync(server, store).result, AccountSync::NoBook);
    const AccountSync::Outcome o = sync(server, store, {}, true);
    QVERIFY2(o.result == AccountSync::Synced, qPrintable(o.why));
    QCOMPARE(o.report.sent, 1);

    // The server holds a book of that name now, and the card in it; a second
    // book is not made on the next sync.
    DavClient client;
    client.setCredentials(QString::fromLatin1(RadicaleServer::User),
                          QString::fromLatin1(RadicaleServer::Password));
    QList<AddressBook> books;
    QVERIFY2(AddressBookFinder(client).find(server.root(), books, why), qPrintable(why));
    QCOMPARE(books.size(), 1);
    QCOMPARE(books.front().name, QStringLiteral("Halvex"));
    QCOMPARE(books.front().url, o.book);
    QCOMPARE(server.cards(o.book.path()).size(), 1);
    QCOMPARE(sync(server, store, {}, true).result, AccountSync::Synced);
    books.clear();
    QVERIFY(AddressBookFinder(client).find(server.root(), books, why));
    QCOMPARE(books.size(), 1);
}

void TestFreshAccount::trustsOneSelfSignedCertificate()
{
    RadicaleServer server(true);
    QString why;
    QVERIFY2(server.start(why), qPrintable(why));
    QTemporaryDir dir;
    ContactStore store = ContactStore::atDataFolder(dir.path());
    QVERIFY(!store.Open());
    QVERIFY(!store.AppendRecords({record(QStringLiteral("Sara"), {}, {}, {}, 1)}));

    const AccountSync::Outcome refused = sync(server, store);
    QCOMPARE(refused.result, AccountSync::UntrustedCertificate);
    const QList<QSslCertificate> served = QSslCertificate::fromPath(server.caFile());
    QCOMPARE(served.size(), 1);
    QCOMPARE(refused.certificate, served.front());
    QCOMPARE(ServerCertificate::fingerprint(refused.certificate).size(), 32 * 3 - 1);
    QVERIFY(server.cards().isEmpty());

    const AccountSync::Outcome trusted = sync(server, store, refused.certificate.toPem());
    QVERIFY2(trusted.result == AccountSync::Synced, qPrintable(trusted.why));
    QCOMPARE(server.cards().size(), 1);

    // Another self-signed certificate is not that one.
    RadicaleServer other(true);
    QVERIFY2(other.start(why), qPrintable(why));
    QTemporaryDir otherDir;
    ContactStore otherStore = ContactStore::atDataFolder(otherDir.path());
    QVERIFY(!otherStore.Open());
    QCOMPARE(sync(other, otherStore, refused.certificate.toPem()).result,
             AccountSync::UntrustedCertificate);
}

QTEST_GUILESS_MAIN(TestFreshAccount)
#include "tst_freshaccount.moc"
