// The store on a data file of arbitrary bytes: every operation does exactly what
// it says, or fails and leaves the file byte for byte as it was. A fault can be
// injected into any write, flush or rename, or any other file call (fault's
// bit 3); the file is then old or new, whole.
//
// Input: op, fault, record number (2 bytes), flags, count, then the file's bytes
// (new records are cut from them too).
#include <cerrno>
#include <cstdint>
#include <vector>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "store/ContactStore.h"
#include "store/StoreIo.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/support/FaultyIo.h"
#include "tests/support/ReadRecord.h"

namespace {

constexpr int kSize = ContactRecord::Size;

const QString &folder()
{
    // tmpfs when there is one: a flush there costs nothing.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/halvex-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/halvex-fuzz-XXXXXX"));
    static const QString path = dir.path();
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(f.write(bytes) == bytes.size());
}

enum Op
{
    Append,
    AppendMany,
    Rewrite,
    Delete,
    ReadAll,
    Count,
    Read,
    Open,
    OpCount
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 6)
        return 0;
    const auto op = Op(data[0] % OpCount);
    const int faultAt = data[1] % 8; // 0: none
    const int faultCalls =
        (data[1] & 8) ? ~0 : FaultyIo::Write | FaultyIo::Fsync | FaultyIo::Rename;
    const int flags = data[4];
    const int k = data[5] % 8;
    const QByteArray content(reinterpret_cast<const char *>(data + 6), qsizetype(size - 6));

    // Rarely (it is slow), a file at the limit for the appends' overflow; the
    // appends take no record number, so its high byte is free for the switch.
    QByteArray old = content;
    if (data[3] == 0xB1 && !(flags & 8) && (op == Append || op == AppendMany))
        old.prepend(
            QByteArray(qsizetype(ContactStore::MaxRecords - 1 - (flags >> 4) % 4) * kSize, '\0'));
    const qint64 count = old.size() / kSize;
    const QByteArray whole = old.left(count * kSize);
    // Mostly a number near the records (0 and count + 1 included), else any.
    const qint64 n = (flags & 8) ? qint64(qint16(quint16(data[2] | data[3] << 8)))
                                 : qint64(data[2] % (count + 2));

    const QString path = folder() + QStringLiteral("/quorvel.dat");
    const QString temp = folder() + QStringLiteral("/quorvel1.dat");
    QFile::remove(temp);
    writeFile(path, old);
    // With flags & 0x80 the data file is gone and the last deletion's copy is
    // left: whole, it must come back first; cut, nothing may replace it.
    const bool leftover = flags & 0x80;
    const bool cut = leftover && old.size() % kSize != 0;
    if (leftover)
        FUZZ_CHECK(QFile::rename(path, temp));

    std::vector<ContactRecord> fresh;
    QByteArray freshBytes;
    for (int i = 0; i < k; ++i) {
        fresh.push_back(ContactRecord::fromBytes(content.mid(i * 17)));
        freshBytes += fresh.back().toByteArray();
    }
    // The caller's idea of record n: what is there, or with flags & 2 a stale copy.
    ContactRecord seen;
    const bool inRange = n >= 1 && n <= count;
    if (inRange)
        seen = ContactRecord::fromBytes(old.mid((n - 1) * kSize, kSize));
    if (flags & 2)
        seen.data()[n & 0x7F] ^= 1;
    const ContactRecord *expected = (flags & 1) ? &seen : nullptr;
    const bool seenMatches = !expected || (inRange && !(flags & 2));

    FaultyIo io(faultAt, faultCalls);
    ContactStore store = ContactStore::atDataFolder(folder(), &io);
    StoreError e;
    bool valid = true;
    QByteArray after = old;
    switch (op) {
    case Append:
        e = store.AppendRecord(fresh.empty() ? ContactRecord() : fresh[0]);
        valid = count < ContactStore::MaxRecords;
        after = whole + (fresh.empty() ? ContactRecord() : fresh[0]).toByteArray();
        break;
    case AppendMany: {
        qint64 recordsAfter = -1;
        e = store.AppendRecords(fresh, &recordsAfter);
        valid = count + k <= ContactStore::MaxRecords;
        if (k > 0)
            after = whole + freshBytes;
        if (e.ok())
            FUZZ_CHECK(recordsAfter == count + k);
        break;
    }
    case Rewrite: {
        const ContactRecord record = fresh.empty() ? ContactRecord() : fresh[0];
        e = store.RewriteRecord(n, record, expected);
        valid = inRange && seenMatches;
        if (inRange)
            after.replace((n - 1) * kSize, kSize, record.toByteArray());
        break;
    }
    case Delete:
        e = store.DeleteRecord(n, expected);
        valid = inRange && seenMatches;
        if (inRange)
            after = whole.left((n - 1) * kSize) + whole.mid(n * kSize);
        break;
    case ReadAll: {
        QByteArray seenAll;
        qint64 last = 0;
        e = store.ReadAllRecords([&](const ContactRecord &r, qint64 i) {
            FUZZ_CHECK(i == last + 1);
            last = i;
            seenAll += r.toByteArray();
            return true;
        });
        if (e.ok())
            FUZZ_CHECK(seenAll == whole);
        break;
    }
    case Count: {
        qint64 wholeCount = -1;
        e = store.CountWholeRecords(wholeCount);
        if (e.ok()) {
            FUZZ_CHECK(wholeCount == count);
            qint16 small = -1;
            if (const StoreError again = store.CountRecords(small))
                e = again; // only a fault, checked below
            else
                FUZZ_CHECK(small == count);
        }
        break;
    }
    case Read: {
        ContactRecord r;
        e = readRecord(store, n, r);
        valid = inRange;
        if (e.ok())
            FUZZ_CHECK(r.toByteArray() == whole.mid((n - 1) * kSize, kSize));
        break;
    }
    case Open:
    case OpCount:
        e = store.Open();
        break;
    }

    if (!QFile::exists(path)) {
        // Only a left-over that could not come back leaves no data file.
        FUZZ_CHECK(leftover && !e.ok());
        FUZZ_CHECK(readFile(temp) == old);
        // A cut one is refused as such, unless a fault came first.
        FUZZ_CHECK(io.fired() || (cut && e.kind() == StoreError::FileNotFound));
        return 0;
    }
    FUZZ_CHECK(!cut);
    const QByteArray now = readFile(path);
    if (e.tookEffect())
        FUZZ_CHECK(now == after);
    else
        FUZZ_CHECK(now == old);
    FUZZ_CHECK(!QFile::exists(temp));
    if (io.fired()) // a restore may succeed though its folder sync failed
        FUZZ_CHECK(!e.ok() || leftover);
    else
        FUZZ_CHECK(e.ok() == valid);
    return 0;
}
