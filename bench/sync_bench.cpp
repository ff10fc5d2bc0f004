// The sync against a local Radicale (Debian's), started here on 127.0.0.1:
// the first sync of 1000 contacts to an empty address book beside the same
// PUTs in a plain loop, a first sync where both sides already hold the same
// 5000 contacts, a sync of 5000 paired contacts with nothing changed, and one
// with a card changed by another client. server_s is the time the requests waited for the server,
// client_s the rest.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "store/ContactStore.h"
#include "sync/CardText.h"
#include "sync/DavClient.h"
#include "sync/SyncEngine.h"
#include "tests/sync/RadicaleServer.h"

namespace {

RadicaleServer &server()
{
    static RadicaleServer s;
    static const bool started = [] {
        QString why;
        if (!s.start(why))
            qFatal("%s", qPrintable(why));
        return true;
    }();
    (void)started;
    return s;
}

std::vector<ContactRecord> contacts(int n)
{
    std::vector<ContactRecord> out;
    for (int i = 0; i < n; ++i) {
        ContactRecord r;
        r.setText(ContactRecord::Name, QStringLiteral("نام%1").arg(i));
        r.setText(ContactRecord::Family, QStringLiteral("خانواده%1").arg(i));
        r.setText(ContactRecord::Phone, QString::number(5550000 + i));
        r.setText(ContactRecord::Mobile, QStringLiteral("0912%1").arg(i, 7, 10, QLatin1Char('0')));
        r.setText(ContactRecord::Address, QStringLiteral("خيابان %1، تهران").arg(i));
        r.setID(qint16(i + 1));
        out.push_back(r);
    }
    return out;
}

// One sync; the server's share goes to the counters.
void syncOnce(benchmark::State &state, ContactStore &store, const QString &book)
{
    DavClient client;
    client.setCredentials(RadicaleServer::User, RadicaleServer::Password);
    SyncEngine engine(store, client, server().url(book), VcardWriter::V3);
    SyncReport report;
    QString why;
    QElapsedTimer clock;
    clock.start();
    if (!engine.run(report, why))
        state.SkipWithError(qPrintable(why));
    const double total = double(clock.elapsed());
    state.counters["server_s"] += double(client.serverMs()) / 1000;
    state.counters["client_s"] += (total - double(client.serverMs())) / 1000;
    state.counters["sent"] += report.sent;
}

void BM_FirstSync1000(benchmark::State &state)
{
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString book = QStringLiteral("/alice/first%1/").arg(round++);
        QString why;
        if (!server().makeBook(book, why))
            qFatal("%s", qPrintable(why));
        QTemporaryDir dir;
        ContactStore store = ContactStore::atDataFolder(dir.path());
        store.Open();
        store.AppendRecords(contacts(1000));
        state.ResumeTiming();
        syncOnce(state, store, book);
    }
}
BENCHMARK(BM_FirstSync1000)->Unit(benchmark::kSecond)->Iterations(1);

// The server's floor for the same first sync: the same PUTs, one after the
// other, with nothing around them.
void BM_FirstSyncFloor1000(benchmark::State &state)
{
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString book = QStringLiteral("/alice/floor%1/").arg(round++);
        QString why;
        if (!server().makeBook(book, why))
            qFatal("%s", qPrintable(why));
        const std::vector<ContactRecord> records = contacts(1000);
        std::vector<QByteArray> cards;
        for (size_t i = 0; i < records.size(); ++i)
            cards.push_back(CardText::create(records[i], VcardWriter::V3,
                                             "f" + QByteArray::number(qulonglong(i))));
        DavClient client;
        client.setCredentials(RadicaleServer::User, RadicaleServer::Password);
        state.ResumeTiming();
        for (size_t i = 0; i < cards.size(); ++i) {
            const DavReply r = client.send(
                {"PUT",
                 server().url(book + QStringLiteral("f%1.vcf").arg(i)),
                 cards[i],
                 {{"If-None-Match", "*"}, {"Content-Type", "text/vcard; charset=utf-8"}}});
            if (r.status != 201)
                state.SkipWithError("PUT refused");
        }
    }
}
BENCHMARK(BM_FirstSyncFloor1000)->Unit(benchmark::kSecond)->Iterations(1);

// The cards of records put straight into the server's storage: its own
// upload checks each new card against all others, so 5000 PUTs would take
// most of an hour.
void fillBook(const QString &book, const std::vector<ContactRecord> &records)
{
    const QString folder = server().folder() + "/storage/collection-root" + book;
    QDir().mkpath(folder);
    QFile props(folder + "/.Radicale.props");
    props.open(QIODevice::WriteOnly);
    props.write(R"({"tag": "VADDRESSBOOK"})");
    props.close();
    for (size_t i = 0; i < records.size(); ++i) {
        QFile f(folder + QStringLiteral("/c%1.vcf").arg(i));
        f.open(QIODevice::WriteOnly);
        f.write(
            CardText::create(records[i], VcardWriter::V3, "c" + QByteArray::number(qulonglong(i))));
    }
}

// A book written straight into the storage has no cache yet: Radicale reads
// and parses every card the first time anyone lists it (minutes under load),
// which a book its clients filled never costs. One listing builds it.
void warm(const QString &book)
{
    DavClient client;
    client.setCredentials(RadicaleServer::User, RadicaleServer::Password);
    client.send({"PROPFIND",
                 server().url(book),
                 "<?xml version=\"1.0\"?><d:propfind xmlns:d=\"DAV:\"><d:prop><d:getetag/>"
                 "</d:prop></d:propfind>",
                 {},
                 1});
}

// Both sides already hold the same 5000 contacts, and there is no state yet.
void BM_FirstSyncPaired5000(benchmark::State &state)
{
    int round = 0;
    const std::vector<ContactRecord> records = contacts(5000);
    for (auto _ : state) {
        state.PauseTiming();
        const QString book = QStringLiteral("/alice/paired%1/").arg(round++);
        fillBook(book, records);
        warm(book);
        QTemporaryDir dir;
        ContactStore store = ContactStore::atDataFolder(dir.path());
        store.Open();
        store.AppendRecords(records);
        state.ResumeTiming();
        syncOnce(state, store, book);
    }
}
BENCHMARK(BM_FirstSyncPaired5000)->Unit(benchmark::kSecond)->Iterations(1);

// 5000 contacts paired with the cards of /alice/big/, made once.
ContactStore &paired5000()
{
    static QTemporaryDir dir;
    static ContactStore store = ContactStore::atDataFolder(dir.path());
    static const bool made = [] {
        const std::vector<ContactRecord> records = contacts(5000);
        fillBook(QStringLiteral("/alice/big/"), records);
        store.Open();
        store.AppendRecords(records);
        return true;
    }();
    (void)made;
    return store;
}

void BM_NoChangeSync5000(benchmark::State &state)
{
    ContactStore &store = paired5000();
    syncOnce(state, store, "/alice/big/"); // pairs them by content, or settles
    state.counters["server_s"] = state.counters["client_s"] = 0;
    for (auto _ : state)
        syncOnce(state, store, "/alice/big/");
    state.counters["server_s"] /= double(state.iterations());
    state.counters["client_s"] /= double(state.iterations());
}
BENCHMARK(BM_NoChangeSync5000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OneChangedThere5000(benchmark::State &state)
{
    ContactStore &store = paired5000();
    syncOnce(state, store, "/alice/big/");
    state.counters["server_s"] = state.counters["client_s"] = 0;
    QByteArray phone = "5550007";
    for (auto _ : state) {
        state.PauseTiming();
        const RadicaleServer::Answer card = server().request("GET", "/alice/big/c7.vcf");
        QByteArray edited = card.body;
        const QByteArray next = QByteArray::number(phone.toInt() + 1);
        edited.replace(phone, next);
        phone = next;
        server().request("PUT", "/alice/big/c7.vcf", edited, {"If-Match:" + card.etag});
        state.ResumeTiming();
        syncOnce(state, store, "/alice/big/");
    }
    state.counters["server_s"] /= double(state.iterations());
    state.counters["client_s"] /= double(state.iterations());
}
BENCHMARK(BM_OneChangedThere5000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
