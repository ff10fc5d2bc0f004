#include "store/ContactStore.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include "store/AtomicFile.h"
#include "store/FileHandle.h"
#include "store/FileLock.h"
#include "store/StoreIo.h"

namespace {

constexpr auto kFolder = "File";
constexpr auto kDataName = "quorvel.dat";
constexpr auto kTempName = "quorvel1.dat";
constexpr auto kLockName = "quorvel.dat.lock";
constexpr auto kSyncStateSuffix = ".sync";
constexpr mode_t kOwnerOnly = 0600;
constexpr qint64 kChunkRecords = 4096;

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

} // namespace

// One write in progress: the folder, its lock and the data file open for writing.
class ContactStore::Writing
{
public:
    explicit Writing(StoreIo *io) : file(io, -1) {}
    QString dir;
    QString path;
    std::optional<FileLock> lock;
    FileHandle file;
    qint64 size = 0;
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
};

ContactStore::ContactStore(QString baseFolder, StoreIo *io)
    : m_baseFolder(std::move(baseFolder)), m_io(io ? io : StoreIo::defaultIo())
{
}

ContactStore ContactStore::atDataFolder(const QString &dataFolder, StoreIo *io)
{
    ContactStore store(QDir::cleanPath(dataFolder), io);
    store.m_fixedFolder = true;
    return store;
}

QString ContactStore::dataDir() const
{
    QString dir;
    findDataDir(dir);
    return dir;
}

bool ContactStore::hasDataFolder() const
{
    QString dir;
    bool found = false;
    return !findDataDir(dir, &found) && found;
}

std::optional<ContactStore::Leftover> ContactStore::leftover() const
{
    QString dir;
    struct stat st;
    bool found = false;
    if (findDataDir(dir) || probeEntry(dir + u'/' + QLatin1String(kTempName), st, found) || !found)
        return std::nullopt;
    return Leftover{QLatin1String(kTempName), qint64(st.st_size)};
}

StoreError ContactStore::findDataDir(QString &dir, bool *found) const
{
    // The usual spelling first: it needs no listing.
    const bool fixed = m_fixedFolder;
    dir = fixed ? m_baseFolder : m_baseFolder + u'/' + QLatin1String(kFolder);
    if (fixed && !found)
        return {};
    bool there = false;
    if (StoreError e = probeDir(dir, there))
        return e;
    if (found)
        *found = there;
    if (there || fixed)
        return {};
    QList<QByteArray> names;
    if (m_io->listDir(native(m_baseFolder), names) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) // nothing to find; the caller names the folder
            return {};
        return StoreError::fromErrno(m_baseFolder, errno);
    }
    std::sort(names.begin(), names.end()); // the same one of several spellings every time
    for (const QByteArray &name : names) {
        const QString decoded = QFile::decodeName(name);
        if (decoded.compare(QLatin1String(kFolder), Qt::CaseInsensitive) != 0)
            continue;
        const QString candidate = m_baseFolder + u'/' + decoded;
        if (StoreError e = probeDir(candidate, there))
            return e;
        if (there) {
            dir = candidate;
            if (found)
                *found = true;
            return {};
        }
    }
    return {};
}

StoreError ContactStore::probe(const QString &path, struct stat &st, bool &found) const
{
    found = m_io->stat(native(path), st) == 0;
    if (found || errno == ENOENT || errno == ENOTDIR)
        return {};
    return StoreError::fromErrno(path, errno);
}

StoreError ContactStore::probeEntry(const QString &path, struct stat &st, bool &found) const
{
    found = m_io->lstat(native(path), st) == 0;
    if (found || errno == ENOENT || errno == ENOTDIR)
        return {};
    return StoreError::fromReadErrno(path, errno);
}

StoreError ContactStore::probeDir(const QString &path, bool &isDir) const
{
    struct stat st;
    bool found = false;
    const StoreError e = probe(path, st, found);
    isDir = found && S_ISDIR(st.st_mode);
    return e;
}

QString ContactStore::dataFilePath() const
{
    return dataDir() + u'/' + QLatin1String(kDataName);
}

QString ContactStore::syncStatePath() const
{
    return dataFilePath() + QLatin1String(kSyncStateSuffix);
}

StoreError ContactStore::LockForSync(FileLock &lock) const
{
    lock = FileLock(syncStatePath() + QLatin1String(".lock"), 0, m_io);
    if (lock.locked())
        return {};
    const StoreError e = lock.error() == 0 ? StoreError(StoreError::InUse, lock.path())
                                           : openError(lock.path(), lock.error(), false);
    lock.unlock();
    return e;
}

StoreError ContactStore::openError(const QString &path, int err, bool reading) const
{
    if (err == ELOOP)
        return StoreError(StoreError::IsLink, path);
    if (err == ENOENT)
        return StoreError(StoreError::FileNotFound, path);
    if (reading || (err != EACCES && err != EPERM))
        return reading ? StoreError::fromReadErrno(path, err) : StoreError::fromErrno(path, err);
    // Refused for writing: say whether it could not even be read.
    FileHandle probe(m_io, m_io->open(native(path), O_RDONLY | O_NOFOLLOW, 0));
    return probe.valid() || (errno != EACCES && errno != EPERM)
               ? StoreError::fromErrno(path, err)
               : StoreError::fromReadErrno(path, errno);
}

bool ContactStore::ownerOfFolder(const QString &dir, uid_t &owner, gid_t &group) const
{
    struct stat st;
    if (m_io->stat(native(dir), st) != 0)
        return false;
    owner = st.st_uid;
    group = st.st_gid;
    return true;
}

StoreError ContactStore::lockError(const FileLock &lock, const QString &dir) const
{
    if (lock.locked())
        return {};
    if (lock.error() == 0)
        return StoreError(StoreError::InUse, dir + u'/' + QLatin1String(kDataName));
    if (lock.error() == ELOOP)
        return StoreError(StoreError::IsLink, lock.path());
    // A lock file that cannot be made is the folder's fault, unless it exists.
    struct stat st;
    bool exists = false;
    probe(lock.path(), st, exists);
    return StoreError::fromErrno(exists ? lock.path() : dir, lock.error());
}

StoreError ContactStore::statData(qint64 &size) const
{
    QString dir;
    if (StoreError e = findDataDir(dir))
        return e;
    const QString path = dir + u'/' + QLatin1String(kDataName);
    struct stat st;
    bool found = false;
    if (StoreError e = probeEntry(path, st, found))
        return e;
    if (!found) {
        bool folder = false;
        if (StoreError e = probeDir(dir, folder))
            return e;
        if (!folder)
            return StoreError(StoreError::PathNotFound, dir);
        if (StoreError e = recover(dir, false))
            return e;
        if (StoreError e = probeEntry(path, st, found))
            return e;
        if (!found)
            return StoreError(StoreError::FileNotFound, path);
    }
    if (S_ISLNK(st.st_mode))
        return StoreError(StoreError::IsLink, path);
    if (!S_ISREG(st.st_mode))
        return StoreError::fromErrno(path, EISDIR);
    size = st.st_size;
    return {};
}

StoreError ContactStore::recover(const QString &dir, bool createEmpty) const
{
    // For a data file found missing outside a write. Only a left-over, or a wish
    // for an empty file, is worth taking the lock for.
    if (!createEmpty) {
        struct stat st;
        bool found = false;
        if (StoreError e = probe(dir + u'/' + QLatin1String(kTempName), st, found))
            return e;
        if (!found)
            return {};
    }
    FileLock lock(dir + u'/' + QLatin1String(kLockName), m_lockTimeoutMs, m_io);
    if (StoreError e = lockError(lock, dir))
        return e;
    uid_t owner = 0;
    gid_t group = 0;
    if (!ownerOfFolder(dir, owner, group))
        return StoreError::fromReadErrno(dir, errno);
    if (!AtomicFile::keepOwner(m_io, lock.fd(), owner, group)) // so that its owner can lock it too
        return StoreError::fromErrno(lock.path(), errno);
    if (StoreError e = restoreLeftover(dir))
        return e;
    if (!createEmpty)
        return {};
    const QString path = dir + u'/' + QLatin1String(kDataName);
    // O_EXCL makes no file where a link, even a dangling one, stands.
    FileHandle fd(m_io,
                  m_io->open(native(path), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, kOwnerOnly));
    if (!fd.valid()) {
        if (errno == EEXIST) // restored, or there all along
            return {};
        return StoreError::fromErrno(path, errno);
    }
    if (!AtomicFile::keepOwner(m_io, fd.get(), owner, group))
        return StoreError::fromErrno(path, errno);
    AtomicFile::syncFolder(dir, m_io);
    return {};
}

StoreError ContactStore::restoreLeftover(const QString &dir) const
{
    // Under the write lock. A deletion renames its copy over the data file, so a
    // whole copy beside a missing data file is the last content: it must come back
    // before anything creates an empty data file or empties the copy.
    const QString path = dir + u'/' + QLatin1String(kDataName);
    const QString temp = dir + u'/' + QLatin1String(kTempName);
    struct stat st;
    bool found = false;
    if (StoreError e = probeEntry(path, st, found))
        return e;
    if (found)
        return {};
    if (StoreError e = probeEntry(temp, st, found))
        return e;
    if (!found)
        return {};
    // Only our own kind of copy comes back: never a link, nor a file someone
    // else put in the folder.
    uid_t owner = 0;
    gid_t group = 0;
    if (S_ISLNK(st.st_mode))
        return StoreError(StoreError::FileNotFound, path,
                          QStringLiteral("%1 يک پيوند است و دست نخورده ماند").arg(kTempName));
    if (!ownerOfFolder(dir, owner, group))
        return StoreError::fromReadErrno(dir, errno);
    if (st.st_uid != owner && st.st_uid != ::geteuid())
        return StoreError(
            StoreError::FileNotFound, path,
            QStringLiteral("%1 از آن کاربر ديگري است و دست نخورده ماند").arg(kTempName));
    if (!S_ISREG(st.st_mode) || st.st_size % ContactRecord::Size != 0)
        return StoreError(StoreError::FileNotFound, path,
                          QStringLiteral("%1 ناقص است و دست نخورده ماند").arg(kTempName));
    if (m_io->rename(native(temp), native(path)) != 0)
        return StoreError::fromErrno(path, errno);
    AtomicFile::syncFolder(dir, m_io);
    return {};
}

StoreError ContactStore::beginWrite(Writing &w) const
{
    if (StoreError e = findDataDir(w.dir))
        return e;
    w.path = w.dir + u'/' + QLatin1String(kDataName);
    bool folder = false;
    if (StoreError e = probeDir(w.dir, folder))
        return e;
    if (!folder)
        return StoreError(StoreError::PathNotFound, w.dir);
    w.lock.emplace(w.dir + u'/' + QLatin1String(kLockName), m_lockTimeoutMs, m_io);
    if (StoreError e = lockError(*w.lock, w.dir))
        return e;

    // Opened for writing even by a deletion, whose rename needs only the folder:
    // the file's own protection holds for every write. A link is refused.
    constexpr int kFlags = O_RDWR | O_NOFOLLOW;
    w.file.reset(m_io->open(native(w.path), kFlags, 0));
    if (!w.file.valid() && errno == ENOENT) {
        if (StoreError e = restoreLeftover(w.dir))
            return e;
        w.file.reset(m_io->open(native(w.path), kFlags, 0));
    }
    if (!w.file.valid())
        return openError(w.path, errno, false);
    struct stat st;
    if (m_io->fstat(w.file.get(), st) != 0)
        return StoreError::fromErrno(w.path, errno);
    if (!S_ISREG(st.st_mode))
        return StoreError::fromErrno(w.path, EISDIR);
    w.size = st.st_size;
    w.mode = st.st_mode;
    w.owner = st.st_uid;
    w.group = st.st_gid;
    if (!AtomicFile::keepOwner(m_io, w.lock->fd(), w.owner,
                               w.group)) // so that its owner can lock it too
        return StoreError::fromErrno(w.lock->path(), errno);
    return {};
}

StoreError ContactStore::readWhole(const Writing &w, std::vector<ContactRecord> &records) const
{
    // A trailing partial record is not a record: it is left out.
    records.resize(size_t(w.size / ContactRecord::Size));
    if (!m_io->readFully(w.file.get(), records.data(), records.size() * ContactRecord::Size, 0))
        return StoreError::fromErrno(w.path, errno);
    return {};
}

StoreError ContactStore::writeInPlace(const Writing &w, qint64 at, QByteArrayView bytes,
                                      QByteArrayView old) const
{
    const int fd = w.file.get();
    if (m_io->writeFully(fd, bytes.data(), size_t(bytes.size()), off_t(at)) && m_io->fsync(fd) == 0)
        return {};
    // Put back the length and the bytes that were there.
    const int err = errno;
    m_io->ftruncate(fd, off_t(w.size));
    if (!old.isEmpty())
        m_io->writeFully(fd, old.data(), size_t(old.size()), off_t(at));
    m_io->fsync(fd);
    return StoreError::fromErrno(w.path, err);
}

StoreError ContactStore::replaceData(const Writing &w,
                                     std::initializer_list<QByteArrayView> pieces) const
{
    // The copy has the name a deletion's left-over is known by. The data file
    // is there, so a stale copy is no longer needed.
    AtomicFile file(w.path, m_io, w.dir + u'/' + QLatin1String(kTempName));
    if (StoreError e = file.begin(AtomicFile::Owner{w.owner, w.group, mode_t(w.mode & 07777)}))
        return e;
    for (const QByteArrayView piece : pieces) {
        if (StoreError e = file.write(piece))
            return e;
    }
    return file.commit();
}

StoreError ContactStore::Open()
{
    QString dir;
    if (StoreError e = findDataDir(dir))
        return e;
    bool folder = false;
    if (StoreError e = probeDir(dir, folder))
        return e;
    if (!folder) {
        if (m_io->mkdir(native(dir), 0700) != 0 && errno != EEXIST) {
            const int err = errno;
            if (err == EACCES || err == EPERM || err == EROFS)
                return StoreError::fromErrno(dir, err);
            return StoreError(StoreError::PathNotFound, dir, StoreError::errnoText(err));
        }
        AtomicFile::syncFolder(QFileInfo(dir).path(), m_io);
    }
    struct stat st;
    bool found = false;
    if (StoreError e = probe(dir + u'/' + QLatin1String(kDataName), st, found))
        return e;
    if (!found) {
        if (StoreError e = recover(dir, true))
            return e;
    }
    qint64 size = 0;
    return statData(size);
}

StoreError ContactStore::CountWholeRecords(qint64 &count) const
{
    qint64 size = 0;
    if (StoreError e = statData(size))
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
    Writing w(m_io);
    if (StoreError e = beginWrite(w))
        return e;
    const qint64 count = w.size / ContactRecord::Size;
    if (count >= MaxRecords)
        return StoreError(StoreError::Overflow, w.path);

    // A trailing partial record is overwritten; keep it to put back on failure.
    const qint64 at = count * ContactRecord::Size;
    char tail[ContactRecord::Size];
    const qint64 tailLen = w.size - at;
    if (tailLen > 0 && !m_io->readFully(w.file.get(), tail, size_t(tailLen), off_t(at)))
        return StoreError::fromErrno(w.path, errno);
    if (StoreError e = writeInPlace(w, at, QByteArrayView(record.data(), ContactRecord::Size),
                                    QByteArrayView(tail, tailLen)))
        return e;
    if (recordsAfter)
        *recordsAfter = count + 1;
    return {};
}

StoreError ContactStore::AppendRecords(const std::vector<ContactRecord> &records,
                                       qint64 *recordsAfter)
{
    Writing w(m_io);
    if (StoreError e = beginWrite(w))
        return e;
    const qint64 count = w.size / ContactRecord::Size;
    const qint64 total = count + qint64(records.size());
    if (total > MaxRecords)
        return StoreError(StoreError::Overflow, w.path);
    StoreError e;
    if (!records.empty()) {
        std::vector<ContactRecord> old;
        if ((e = readWhole(w, old)))
            return e;
        const auto whole = [](const std::vector<ContactRecord> &v) {
            return QByteArrayView(v.empty() ? nullptr : v.front().data(),
                                  qsizetype(v.size()) * ContactRecord::Size);
        };
        e = replaceData(w, {whole(old), whole(records)});
    }
    if (e.tookEffect() && recordsAfter)
        *recordsAfter = total;
    return e;
}

StoreError ContactStore::ReadAllRecords(const Visitor &visit) const
{
    QString dir;
    if (StoreError e = findDataDir(dir))
        return e;
    const QString path = dir + u'/' + QLatin1String(kDataName);
    FileHandle fd(m_io, m_io->open(native(path), O_RDONLY | O_NOFOLLOW, 0));
    if (!fd.valid() && errno == ENOENT) {
        bool folder = false;
        if (StoreError e = probeDir(dir, folder))
            return e;
        if (!folder)
            return StoreError(StoreError::PathNotFound, dir);
        // Listing a missing file creates an empty one, unless a left-over holds its records.
        if (StoreError e = recover(dir, true))
            return e;
        fd.reset(m_io->open(native(path), O_RDONLY | O_NOFOLLOW, 0));
    }
    if (!fd.valid())
        return openError(path, errno, true);
    struct stat st;
    if (m_io->fstat(fd.get(), st) != 0)
        return StoreError::fromErrno(path, errno);
    const qint64 total = st.st_size / ContactRecord::Size;

    std::vector<ContactRecord> chunk(static_cast<size_t>(std::min(total, kChunkRecords)));
    qint64 n = 0;
    while (n < total) {
        const qint64 batch = std::min(total - n, kChunkRecords);
        if (!m_io->readFully(fd.get(), chunk.data(), size_t(batch * ContactRecord::Size),
                             off_t(n * ContactRecord::Size)))
            return StoreError::fromErrno(path, errno);
        for (qint64 i = 0; i < batch; ++i) {
            if (!visit(chunk[size_t(i)], n + i + 1))
                return {};
        }
        n += batch;
    }
    return {};
}

StoreError ContactStore::ReadAll(std::vector<ContactRecord> &records) const
{
    records.clear();
    std::vector<ContactRecord> read;
    const StoreError e = ReadAllRecords([&read](const ContactRecord &r, qint64) {
        read.push_back(r);
        return true;
    });
    if (!e)
        records = std::move(read);
    return e;
}

StoreError ContactStore::RewriteRecord(qint64 n, const ContactRecord &record,
                                       const ContactRecord *expected)
{
    Writing w(m_io);
    if (StoreError e = beginWrite(w))
        return e;
    const qint64 count = w.size / ContactRecord::Size;
    if (expected && n > count && n <= MaxRecords) // the file shrank since the caller looked
        return StoreError(StoreError::RecordChanged, w.path, QString::number(n));
    if (n < 1 || n > count || n > MaxRecords)
        return StoreError(StoreError::BadRecordNumber, w.path, QString::number(n));

    const qint64 at = (n - 1) * ContactRecord::Size;
    ContactRecord old;
    if (!m_io->readFully(w.file.get(), old.data(), ContactRecord::Size, off_t(at)))
        return StoreError::fromErrno(w.path, errno);
    if (expected && !(old == *expected))
        return StoreError(StoreError::RecordChanged, w.path, QString::number(n));
    return writeInPlace(w, at, QByteArrayView(record.data(), ContactRecord::Size),
                        QByteArrayView(old.data(), ContactRecord::Size));
}

StoreError ContactStore::DeleteRecord(qint64 n, const ContactRecord *expected)
{
    Writing w(m_io);
    if (StoreError e = beginWrite(w))
        return e;
    const qint64 count = w.size / ContactRecord::Size;
    if (expected && n > count && n <= MaxRecords) // the file shrank since the caller looked
        return StoreError(StoreError::RecordChanged, w.path, QString::number(n));
    if (n < 1 || n > count || n > MaxRecords)
        return StoreError(StoreError::BadRecordNumber, w.path, QString::number(n));

    std::vector<ContactRecord> records;
    if (StoreError e = readWhole(w, records))
        return e;
    if (expected && !(records[size_t(n - 1)] == *expected))
        return StoreError(StoreError::RecordChanged, w.path, QString::number(n));

    const auto bytes = [&](qint64 from, qint64 to) { // records [from, to), 0-based
        return QByteArrayView(records[0].data() + from * ContactRecord::Size,
                              (to - from) * ContactRecord::Size);
    };
    return replaceData(w, {bytes(0, n - 1), bytes(n, count)});
}

StoreError ContactStore::ReplaceAllRecords(const std::vector<ContactRecord> &records,
                                           const std::vector<ContactRecord> &expected)
{
    if (records.size() > size_t(MaxRecords))
        return StoreError(StoreError::Overflow, dataFilePath());
    Writing w(m_io);
    if (StoreError e = beginWrite(w))
        return e;
    std::vector<ContactRecord> old;
    if (StoreError e = readWhole(w, old))
        return e;
    if (old != expected)
        return StoreError(StoreError::RecordChanged, w.path);
    return replaceData(w, {QByteArrayView(records.empty() ? nullptr : records.front().data(),
                                          qsizetype(records.size()) * ContactRecord::Size)});
}
