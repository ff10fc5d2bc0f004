#include "store/ContactStore.h"

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>

#include <QDir>

#include "store/DataWrite.h"
#include "store/FileHandle.h"
#include "store/StoreIo.h"

namespace {

constexpr qint64 kChunkRecords = 4096;

QByteArrayView bytesOf(const std::vector<ContactRecord> &records)
{
    return QByteArrayView(records.empty() ? nullptr : records.front().data(),
                          qsizetype(records.size()) * ContactRecord::Size);
}

// Record n of the file as it is now; checked, it may have shrunk since the
// caller looked.
StoreError numberHolds(const DataWrite &w, qint64 n, bool checked)
{
    const qint64 count = w.wholeRecords();
    if (checked && n > count && n <= ContactStore::MaxRecords)
        return StoreError(StoreError::RecordChanged, w.path(), QString::number(n));
    if (n < 1 || n > count || n > ContactStore::MaxRecords)
        return StoreError(StoreError::BadRecordNumber, w.path(), QString::number(n));
    return {};
}

} // namespace

ContactStore::ContactStore(QString baseFolder, StoreIo *io)
    : m_folder(std::move(baseFolder), false, io ? io : StoreIo::defaultIo())
{
}

ContactStore::ContactStore(DataFolder folder) : m_folder(std::move(folder)) {}

ContactStore ContactStore::atDataFolder(const QString &dataFolder, StoreIo *io)
{
    return ContactStore(
        DataFolder(QDir::cleanPath(dataFolder), true, io ? io : StoreIo::defaultIo()));
}

QString ContactStore::dataDir() const
{
    return m_folder.dir();
}

QString ContactStore::dataFilePath() const
{
    return DataFolder::dataFile(dataDir());
}

QString ContactStore::syncStatePath() const
{
    return DataFolder::syncStateFile(dataDir());
}

bool ContactStore::hasDataFolder() const
{
    QString dir;
    bool found = false;
    return !m_folder.find(dir, &found) && found;
}

std::optional<ContactStore::Leftover> ContactStore::leftover() const
{
    QString dir;
    struct stat st;
    bool found = false;
    if (m_folder.find(dir) || m_folder.probeEntry(DataFolder::copyFile(dir), st, found) || !found)
        return std::nullopt;
    return Leftover{DataFolder::copyName(), qint64(st.st_size)};
}

StoreError ContactStore::LockForSync(FileLock &lock) const
{
    lock = FileLock(syncStatePath() + QStringLiteral(".lock"), 0, m_folder.io());
    if (lock.locked())
        return {};
    const StoreError e = lock.error() == 0 ? StoreError(StoreError::InUse, lock.path())
                                           : m_folder.openError(lock.path(), lock.error(), false);
    lock.unlock();
    return e;
}

StoreError ContactStore::Open()
{
    return m_folder.open();
}

StoreError ContactStore::CountWholeRecords(qint64 &count) const
{
    qint64 size = 0;
    if (StoreError e = m_folder.dataSize(size))
        return e;
    count = size / ContactRecord::Size;
    return {};
}

StoreError ContactStore::CountRecords(qint16 &count) const
{
    qint64 whole = 0;
    if (StoreError e = CountWholeRecords(whole))
        return e;
    if (whole > MaxRecords)
        return StoreError(StoreError::Overflow, dataFilePath());
    count = qint16(whole);
    return {};
}

StoreError ContactStore::AppendRecord(const ContactRecord &record, qint64 *recordsAfter)
{
    DataWrite w(m_folder);
    if (StoreError e = w.begin())
        return e;
    const qint64 count = w.wholeRecords();
    if (count >= MaxRecords)
        return StoreError(StoreError::Overflow, w.path());

    // A trailing partial record is overwritten; keep it to put back on failure.
    const qint64 at = count * ContactRecord::Size;
    char tail[ContactRecord::Size];
    const qint64 tailLen = w.size() - at;
    if (StoreError e = w.read(at, tail, tailLen))
        return e;
    if (StoreError e = w.writeInPlace(at, QByteArrayView(record.data(), ContactRecord::Size),
                                      QByteArrayView(tail, tailLen)))
        return e;
    if (recordsAfter)
        *recordsAfter = count + 1;
    return {};
}

StoreError ContactStore::AppendRecords(const std::vector<ContactRecord> &records,
                                       qint64 *recordsAfter, std::optional<qint64> expectedSize)
{
    DataWrite w(m_folder);
    if (StoreError e = w.begin())
        return e;
    if (expectedSize && w.size() != *expectedSize)
        return StoreError(StoreError::FileChanged, w.path());
    const qint64 total = w.wholeRecords() + qint64(records.size());
    if (total > MaxRecords)
        return StoreError(StoreError::Overflow, w.path());
    StoreError e;
    if (!records.empty()) {
        std::vector<ContactRecord> old;
        if ((e = w.readWhole(old)))
            return e;
        e = w.replace({bytesOf(old), bytesOf(records)});
    }
    if (e.tookEffect() && recordsAfter)
        *recordsAfter = total;
    return e;
}

StoreError ContactStore::ReadAllRecords(const Visitor &visit) const
{
    FileHandle fd(m_folder.io(), -1);
    QString path;
    qint64 total = 0;
    if (StoreError e = m_folder.openForReading(fd, path, total))
        return e;
    std::vector<ContactRecord> chunk(size_t(std::min(total, kChunkRecords)));
    for (qint64 n = 0; n < total; n += kChunkRecords) {
        const qint64 batch = std::min(total - n, kChunkRecords);
        if (!m_folder.io()->readFully(fd.get(), chunk.data(), size_t(batch * ContactRecord::Size),
                                      off_t(n * ContactRecord::Size)))
            return StoreError::fromErrno(path, errno);
        for (qint64 i = 0; i < batch; ++i) {
            if (!visit(chunk[size_t(i)], n + i + 1))
                return {};
        }
    }
    return {};
}

StoreError ContactStore::ReadAll(std::vector<ContactRecord> &records) const
{
    records.clear();
    FileHandle fd(m_folder.io(), -1);
    QString path;
    qint64 total = 0;
    if (StoreError e = m_folder.openForReading(fd, path, total))
        return e;
    records.resize(size_t(total));
    if (total > 0 && !m_folder.io()->readFully(fd.get(), records.data(),
                                               size_t(total * ContactRecord::Size), 0)) {
        records.clear();
        return StoreError::fromErrno(path, errno);
    }
    return {};
}

StoreError ContactStore::RewriteRecord(qint64 n, const ContactRecord &record,
                                       const ContactRecord *expected)
{
    DataWrite w(m_folder);
    if (StoreError e = w.begin())
        return e;
    if (StoreError e = numberHolds(w, n, expected != nullptr))
        return e;

    const qint64 at = (n - 1) * ContactRecord::Size;
    ContactRecord old;
    if (StoreError e = w.read(at, old.data(), ContactRecord::Size))
        return e;
    if (expected && !(old == *expected))
        return StoreError(StoreError::RecordChanged, w.path(), QString::number(n));
    return w.writeInPlace(at, QByteArrayView(record.data(), ContactRecord::Size),
                          QByteArrayView(old.data(), ContactRecord::Size));
}

StoreError ContactStore::DeleteRecord(qint64 n, const ContactRecord *expected)
{
    DataWrite w(m_folder);
    if (StoreError e = w.begin())
        return e;
    if (StoreError e = numberHolds(w, n, expected != nullptr))
        return e;

    std::vector<ContactRecord> records;
    if (StoreError e = w.readWhole(records))
        return e;
    if (expected && !(records[size_t(n - 1)] == *expected))
        return StoreError(StoreError::RecordChanged, w.path(), QString::number(n));

    const auto bytes = [&](qint64 from, qint64 to) { // records [from, to), 0-based
        return QByteArrayView(records[0].data() + from * ContactRecord::Size,
                              (to - from) * ContactRecord::Size);
    };
    return w.replace({bytes(0, n - 1), bytes(n, qint64(records.size()))});
}

StoreError ContactStore::ReplaceAllRecords(const std::vector<ContactRecord> &records,
                                           const std::vector<ContactRecord> &expected)
{
    if (records.size() > size_t(MaxRecords))
        return StoreError(StoreError::Overflow, dataFilePath());
    DataWrite w(m_folder);
    if (StoreError e = w.begin())
        return e;
    std::vector<ContactRecord> old;
    if (StoreError e = w.readWhole(old))
        return e;
    if (old != expected)
        return StoreError(StoreError::RecordChanged, w.path());
    return w.replace({bytesOf(records)});
}
