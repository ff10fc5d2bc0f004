// The import and export tool's work on a full directory of 32767 contacts,
// against reading the records alone.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "contacts/ContactExport.h"
#include "contacts/ContactImport.h"
#include "contacts/Duplicates.h"
#include "store/ContactStore.h"

namespace {

constexpr int kRecords = 32767;

struct Data
{
    QTemporaryDir dir;
    QString folder;
    QByteArray vcards;

    Data() : folder(dir.filePath("data"))
    {
        // Persian and Latin names, both phones, an address of ordinary length.
        static const char16_t *given[] = {u"علي", u"مريم", u"John", u"فاطمه", u"Sara"};
        static const char16_t *family[] = {u"رضايي", u"احمدي", u"Smith", u"کريمي", u"Miller"};
        QByteArray bytes;
        for (int i = 1; i <= kRecords; ++i) {
            ContactRecord r;
            r.setText(ContactRecord::Name, QString::fromUtf16(given[i % 5]));
            r.setText(ContactRecord::Family,
                      QString::fromUtf16(family[i % 7 % 5]) + QString::number(i));
            r.setText(ContactRecord::Phone,
                      QStringLiteral("021%1").arg(i, 5, 10, QLatin1Char('0')));
            r.setText(ContactRecord::Mobile,
                      QStringLiteral("0912%1").arg(i, 7, 10, QLatin1Char('0')));
            r.setID(qint16(i));
            r.setText(ContactRecord::Address,
                      QStringLiteral("تهران، خيابان آزادي، کوچه %1، پلاک %2").arg(i % 90).arg(i));
            bytes += r.toByteArray();
        }
        QDir().mkpath(folder);
        QFile f(folder + "/quorvel.dat");
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        QList<ExportWarning> warnings;
        ContactExport::run(ContactStore::atDataFolder(folder), ContactExport::Vcard4, vcards,
                           warnings);
    }
};

Data &data()
{
    static Data d;
    return d;
}

// The text is made in pieces and dropped, as the tool hands each to a file.
void exportAs(benchmark::State &state, ContactExport::Format format)
{
    const ContactStore store = ContactStore::atDataFolder(data().folder);
    for (auto _ : state) {
        qint64 bytes = 0;
        QList<ExportWarning> warnings;
        bool failed = false;
        const auto count = [&bytes](QByteArrayView piece) {
            bytes += piece.size();
            return true;
        };
        if (ContactExport::run(store, format, count, warnings, failed) || failed)
            state.SkipWithError("export failed");
        benchmark::DoNotOptimize(bytes);
    }
}

void BM_ExportVcard(benchmark::State &state)
{
    exportAs(state, ContactExport::Vcard4);
}

void BM_ExportCsv(benchmark::State &state)
{
    exportAs(state, ContactExport::Csv);
}

// Parsing, building the records and the synced write into an empty folder.
void importVcards(benchmark::State &state, bool addDuplicates)
{
    const QString into = data().dir.filePath("into");
    const QList<ImportSource> sources{{QStringLiteral("all.vcf"), data().vcards}};
    for (auto _ : state) {
        state.PauseTiming();
        QDir(into).removeRecursively();
        ContactStore store = ContactStore::atDataFolder(into);
        state.ResumeTiming();
        ContactImport job(
            store, [](const QString &) {}, [](const QString &) {});
        job.setAddDuplicates(addDuplicates);
        if (job.run(sources, ContactImport::Vcard, false) != 0)
            state.SkipWithError("import failed");
    }
}

void BM_ImportVcard(benchmark::State &state)
{
    importVcards(state, false);
}

// The same import without looking for duplicates: what the look costs.
void BM_ImportVcardNoDuplicateCheck(benchmark::State &state)
{
    importVcards(state, true);
}

// A full directory where one record in eight repeats the one before it
// without its mobile.
void BM_FindDuplicates(benchmark::State &state)
{
    std::vector<ContactRecord> records;
    records.reserve(kRecords);
    ContactStore::atDataFolder(data().folder).ReadAllRecords([&](const ContactRecord &r, qint64) {
        records.push_back(r);
        return true;
    });
    for (size_t i = 8; i < records.size(); i += 8) {
        records[i] = records[i - 1];
        records[i].setText(ContactRecord::Mobile, u"");
    }
    size_t groups = 0;
    for (auto _ : state) {
        groups = Duplicates::find(records).size();
        benchmark::DoNotOptimize(groups);
    }
    state.counters["groups"] = double(groups);
}

void BM_ReadAll(benchmark::State &state)
{
    const ContactStore store = ContactStore::atDataFolder(data().folder);
    for (auto _ : state) {
        qint64 sum = 0;
        store.ReadAllRecords([&](const ContactRecord &r, qint64) { return sum += r.ID(), true; });
        benchmark::DoNotOptimize(sum);
    }
}

} // namespace

BENCHMARK(BM_ExportVcard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportVcard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportVcardNoDuplicateCheck)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FindDuplicates)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadAll)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
