// Store operations on a full file of 32767 records, against the cost of the
// bare file-system work they cannot avoid.
#include <vector>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "store/ContactStore.h"

namespace {

constexpr int kRecords = 32767;

struct Data
{
    QTemporaryDir dir;
    QByteArray original;
    QString path;
    QString temp;

    Data()
    {
        QDir(dir.path()).mkpath("File");
        path = dir.path() + "/File/quorvel.dat";
        temp = dir.path() + "/File/quorvel1.dat";
        for (int i = 1; i <= kRecords; ++i) {
            ContactRecord r;
            r.setText(ContactRecord::Name, QStringLiteral("Name%1").arg(i));
            r.setText(ContactRecord::Family, QStringLiteral("Family%1").arg(i));
            r.setText(ContactRecord::Address, QStringLiteral("Street %1, Tehran").arg(i));
            r.setID(qint16(i));
            original += r.toByteArray();
        }
        restore();
    }
    void restore() const
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(original);
    }
    QByteArray nativePath() const { return QFile::encodeName(path); }
    QByteArray nativeTemp() const { return QFile::encodeName(temp); }
};

Data &data()
{
    static Data d;
    return d;
}

void BM_ReadAll(benchmark::State &state)
{
    ContactStore store(data().dir.path());
    for (auto _ : state) {
        qint64 sum = 0;
        store.ReadAllRecords([&](const ContactRecord &r, qint64) { return sum += r.ID(), true; });
        benchmark::DoNotOptimize(sum);
    }
}

void BM_ReadFloor(benchmark::State &state)
{
    std::vector<char> buf(size_t(kRecords) * ContactRecord::Size);
    for (auto _ : state) {
        const int fd = ::open(data().nativePath().constData(), O_RDONLY);
        benchmark::DoNotOptimize(::read(fd, buf.data(), buf.size()));
        ::close(fd);
    }
}

void BM_Delete(benchmark::State &state)
{
    ContactStore store(data().dir.path());
    for (auto _ : state) {
        state.PauseTiming();
        data().restore();
        state.ResumeTiming();
        if (!store.DeleteRecord(1).ok())
            state.SkipWithError("delete failed");
    }
}

void BM_DeleteFloor(benchmark::State &state)
{
    std::vector<char> buf(size_t(kRecords) * ContactRecord::Size);
    const QByteArray dirPath = QFile::encodeName(data().dir.path() + "/File");
    for (auto _ : state) {
        state.PauseTiming();
        data().restore();
        state.ResumeTiming();
        int in = ::open(data().nativePath().constData(), O_RDONLY);
        benchmark::DoNotOptimize(::read(in, buf.data(), buf.size()));
        ::close(in);
        int out = ::open(data().nativeTemp().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        benchmark::DoNotOptimize(
            ::write(out, buf.data() + ContactRecord::Size, buf.size() - ContactRecord::Size));
        ::fsync(out);
        ::close(out);
        ::rename(data().nativeTemp().constData(), data().nativePath().constData());
        int d = ::open(dirPath.constData(), O_RDONLY | O_DIRECTORY);
        ::fsync(d);
        ::close(d);
    }
}

// The original two-pass copy, one record per call each way, kept as a baseline.
void BM_DeleteAsDesigned(benchmark::State &state)
{
    const int n = 1;
    char rec[ContactRecord::Size];
    for (auto _ : state) {
        state.PauseTiming();
        data().restore();
        state.ResumeTiming();
        struct stat st;
        ::stat(data().nativePath().constData(), &st);
        const int count = int(st.st_size / ContactRecord::Size);
        int f1 = ::open(data().nativePath().constData(), O_RDWR | O_CREAT, 0644);
        int f2 = ::open(data().nativeTemp().constData(), O_RDWR | O_CREAT, 0644);
        for (int i = 1; i <= n - 1; ++i) {
            ::pread(f1, rec, sizeof rec, off_t(i - 1) * ContactRecord::Size);
            ::pwrite(f2, rec, sizeof rec, off_t(i - 1) * ContactRecord::Size);
        }
        for (int i = n + 1; i <= count; ++i) {
            ::pread(f1, rec, sizeof rec, off_t(i - 1) * ContactRecord::Size);
            ::pwrite(f2, rec, sizeof rec, off_t(i - 2) * ContactRecord::Size);
        }
        ::fstat(f2, &st);
        const int tempCount = int(st.st_size / ContactRecord::Size);
        ::close(f1);
        ::unlink(data().nativePath().constData());
        f1 = ::open(data().nativePath().constData(), O_RDWR | O_CREAT, 0644);
        for (int i = 1; i <= tempCount; ++i) {
            ::pread(f2, rec, sizeof rec, off_t(i - 1) * ContactRecord::Size);
            ::pwrite(f1, rec, sizeof rec, off_t(i - 1) * ContactRecord::Size);
        }
        ::close(f2);
        ::close(f1);
        ::unlink(data().nativeTemp().constData());
    }
}

void BM_Append(benchmark::State &state)
{
    ContactStore store(data().dir.path());
    ContactRecord r;
    r.setText(ContactRecord::Name, u"Appended");
    for (auto _ : state) {
        state.PauseTiming();
        QFile::resize(data().path, qint64(kRecords - 1) * ContactRecord::Size);
        state.ResumeTiming();
        if (!store.AppendRecord(r).ok())
            state.SkipWithError("append failed");
    }
    data().restore();
}

void BM_Count(benchmark::State &state)
{
    data().restore();
    ContactStore store(data().dir.path());
    for (auto _ : state) {
        qint16 n = 0;
        store.CountRecords(n);
        benchmark::DoNotOptimize(n);
    }
}

} // namespace

BENCHMARK(BM_ReadAll)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Delete)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DeleteFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DeleteAsDesigned)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Append)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Count)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
