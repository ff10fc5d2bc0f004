#include "ContactStore.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>

#include "StoreIo.h"

namespace {

constexpr auto kFolder = "File";
constexpr auto kDataName = "quorvel.dat";
constexpr auto kTempName = "quorvel1.dat";
constexpr auto kLockName = "quorvel.dat.lock";
constexpr mode_t kOwnerOnly = 0600;
constexpr qint64 kChunkRecords = 4096;

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

bool isDir(const QString &path)
{
    struct stat st;
    return ::stat(native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// Closes on every path out of a scope.
class Fd
{
public:
    Fd(StoreIo *io, int fd) : m_io(io), m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            m_io->close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd)
    {
        if (m_fd >= 0)
            m_io->close(m_fd);
        m_fd = fd;
    }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    StoreIo *m_io;
    int m_fd;
};

} // namespace

class ContactStore::WriteLock
{
public:
    // A kernel lock on a file beside the data file: it dies with its holder, so a
    // killed copy of the program never leaves the next writer locked out.
    WriteLock(const QString &dir, int timeoutMs) : m_path(dir + u'/' + QLatin1String(kLockName))
    {
        m_fd = ::open(native(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, kOwnerOnly);
        if (m_fd < 0) {
            m_error = errno;
            return;
        }
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
                m_locked = true;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) {
                m_error = errno;
                return;
            }
            if (waited.elapsed() >= timeoutMs)
                return;
            ::usleep(5000);
        }
    }
    ~WriteLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    WriteLock(const WriteLock &) = delete;
    WriteLock &operator=(const WriteLock &) = delete;
    bool locked() const { return m_locked; }
    // errno of a failure other than waiting too long; 0 when another holder kept it.
    int error() const { return m_error; }
    const QString &path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
    int m_error = 0;
    bool m_locked = false;
};

// One write in progress: the folder, its lock and the data file open for writing.
class ContactStore::Writing
{
public:
    explicit Writing(StoreIo *io) : file(io, -1) {}
    QString dir;
    QString path;
    std::optional<WriteLock> lock;
    Fd file;
    qint64 size = 0;
    mode_t mode = 0;
};

ContactStore::ContactStore(QString programDir, StoreIo *io)
    : m_programDir(std::move(programDir)), m_io(io ? io : StoreIo::defaultIo())
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
    if (m_fixedFolder)
        return m_programDir;
    const QString exact = m_programDir + u'/' + QLatin1String(kFolder);
    if (isDir(exact))
        return exact;
    const QStringList dirs =
        QDir(m_programDir)
            .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString &name : dirs) {
        if (name.compare(QLatin1String(kFolder), Qt::CaseInsensitive) == 0)
            return m_programDir + u'/' + name;
    }
    return exact;
}

QString ContactStore::dataFilePath() const
{
    return dataDir() + u'/' + QLatin1String(kDataName);
}

StoreError ContactStore::diskError(const QString &path, int err) const
{
    if (err == EACCES || err == EPERM || err == EROFS)
        return StoreError(StoreError::PermissionDenied, path);
    return StoreError(StoreError::DiskError, path, errnoText(err));
}

StoreError ContactStore::lockError(const WriteLock &lock, const QString &dir) const
{
    if (lock.locked())
        return {};
    if (lock.error() == 0)
        return StoreError(StoreError::InUse, dir + u'/' + QLatin1String(kDataName));
    // A lock file that cannot be made is the folder's fault, unless it exists.
    const bool exists = QFileInfo::exists(lock.path());
    return diskError(exists ? lock.path() : dir, lock.error());
}

bool ContactStore::syncDir(const QString &dir) const
{
    Fd fd(m_io, m_io->open(native(dir), O_RDONLY | O_DIRECTORY, 0));
    return fd.valid() && m_io->fsync(fd.get()) == 0;
}

StoreError ContactStore::statData(qint64 &size) const
{
    const QString dir = dataDir();
    const QString path = dir + u'/' + QLatin1String(kDataName);
    struct stat st;
    int rc = ::stat(native(path).constData(), &st);
    if (rc != 0 && errno == ENOENT && isDir(dir)) {
        if (StoreError e = recover(dir, false))
            return e;
        rc = ::stat(native(path).constData(), &st);
    }
    if (rc != 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) {
            if (!isDir(dir))
                return StoreError(StoreError::PathNotFound, dir);
            return StoreError(StoreError::FileNotFound, path);
        }
        return diskError(path, err);
    }
    if (!S_ISREG(st.st_mode))
        return diskError(path, EISDIR);
    size = st.st_size;
    return {};
}

StoreError ContactStore::recover(const QString &dir, bool createEmpty) const
{
    // For a data file found missing outside a write. Only a left-over, or a wish
    // for an empty file, is worth taking the lock for.
    const QString temp = dir + u'/' + QLatin1String(kTempName);
    if (!createEmpty && !QFileInfo::exists(temp))
        return {};
    WriteLock lock(dir, m_lockTimeoutMs);
    if (StoreError e = lockError(lock, dir))
        return e;
    if (StoreError e = restoreLeftover(dir))
        return e;
    if (!createEmpty)
        return {};
    const QString path = dir + u'/' + QLatin1String(kDataName);
    Fd fd(m_io, m_io->open(native(path), O_WRONLY | O_CREAT | O_EXCL, kOwnerOnly));
    if (!fd.valid()) {
        if (errno == EEXIST) // restored, or there all along
            return {};
        return diskError(path, errno);
    }
    syncDir(dir);
    return {};
}

StoreError ContactStore::restoreLeftover(const QString &dir) const
{
    // Under the write lock. A deletion renames its copy over the data file, so a
    // whole copy beside a missing data file is the last content: it must come back
    // before anything creates an empty data file or empties the copy.
    const QString path = dir + u'/' + QLatin1String(kDataName);
    const QString temp = dir + u'/' + QLatin1String(kTempName);
    if (QFileInfo::exists(path))
        return {};
    struct stat st;
    if (::stat(native(temp).constData(), &st) != 0) {
        if (errno == ENOENT)
            return {};
        return diskError(temp, errno);
    }
    if (!S_ISREG(st.st_mode) || st.st_size % ContactRecord::Size != 0)
        return StoreError(StoreError::FileNotFound, path,
                          QStringLiteral("%1 ناقص است و دست نخورده ماند").arg(kTempName));
    if (m_io->rename(native(temp), native(path)) != 0)
        return diskError(path, errno);
    syncDir(dir);
    return {};
}

StoreError ContactStore::beginWrite(Writing &w) const
{
    w.dir = dataDir();
    w.path = w.dir + u'/' + QLatin1String(kDataName);
    if (!isDir(w.dir))
        return StoreError(StoreError::PathNotFound, w.dir);
    w.lock.emplace(w.dir, m_lockTimeoutMs);
    if (StoreError e = lockError(*w.lock, w.dir))
        return e;

    // Opened for writing even by a deletion, whose rename needs only the folder:
    // the file's own protection holds for every write.
    w.file.reset(m_io->open(native(w.path), O_RDWR, 0));
    if (!w.file.valid() && errno == ENOENT) {
        if (StoreError e = restoreLeftover(w.dir))
            return e;
        w.file.reset(m_io->open(native(w.path), O_RDWR, 0));
    }
    if (!w.file.valid()) {
        if (errno == ENOENT)
            return StoreError(StoreError::FileNotFound, w.path);
        return diskError(w.path, errno);
    }
    struct stat st;
    if (::fstat(w.file.get(), &st) != 0)
        return diskError(w.path, errno);
    if (!S_ISREG(st.st_mode))
        return diskError(w.path, EISDIR);
    w.size = st.st_size;
    w.mode = st.st_mode;
    return {};
}

StoreError ContactStore::readWhole(const Writing &w, std::vector<ContactRecord> &records) const
{
    // A trailing partial record is not a record: it is left out.
    records.resize(size_t(w.size / ContactRecord::Size));
    if (!m_io->readFully(w.file.get(), records.data(), records.size() * ContactRecord::Size, 0))
        return diskError(w.path, errno);
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
    return diskError(w.path, err);
}

StoreError ContactStore::replaceData(const Writing &w,
                                     std::initializer_list<QByteArrayView> pieces) const
{
    // The new content goes to a copy that is synced before it is renamed over the
    // data file, so at every instant the data file is the whole old or new content.
    const QString temp = w.dir + u'/' + QLatin1String(kTempName);
    // A left-over copy from an interrupted deletion is emptied by O_TRUNC.
    Fd out(m_io, m_io->open(native(temp), O_WRONLY | O_CREAT | O_TRUNC, kOwnerOnly));
    if (!out.valid())
        return diskError(temp, errno);
    ::fchmod(out.get(), w.mode & 07777);

    const auto fail = [&](const QString &path, int err) {
        if (out.valid())
            m_io->close(out.release());
        m_io->unlink(native(temp));
        return diskError(path, err);
    };
    off_t at = 0;
    for (const QByteArrayView piece : pieces) {
        if (!piece.isEmpty() &&
            !m_io->writeFully(out.get(), piece.data(), size_t(piece.size()), at))
            return fail(temp, errno);
        at += off_t(piece.size());
    }
    if (m_io->fsync(out.get()) != 0)
        return fail(temp, errno);
    if (m_io->close(out.release()) != 0)
        return fail(temp, errno);
    if (m_io->rename(native(temp), native(w.path)) != 0)
        return fail(w.path, errno);
    if (!syncDir(w.dir))
        return StoreError(StoreError::Unconfirmed, w.path, errnoText(errno));
    return {};
}

StoreError ContactStore::Open()
{
    const QString dir = dataDir();
    if (!isDir(dir)) {
        if (::mkdir(native(dir).constData(), 0700) != 0 && errno != EEXIST) {
            const int err = errno;
            if (err == EACCES || err == EPERM || err == EROFS)
                return diskError(dir, err);
            return StoreError(StoreError::PathNotFound, dir, errnoText(err));
        }
        syncDir(QFileInfo(dir).path());
    }
    const QString path = dir + u'/' + QLatin1String(kDataName);
    if (!QFileInfo::exists(path)) {
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
        return diskError(w.path, errno);
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
    const QString dir = dataDir();
    const QString path = dir + u'/' + QLatin1String(kDataName);
    Fd fd(m_io, m_io->open(native(path), O_RDONLY, 0));
    if (!fd.valid() && errno == ENOENT) {
        if (!isDir(dir))
            return StoreError(StoreError::PathNotFound, dir);
        // Listing a missing file creates an empty one, unless a left-over holds its records.
        if (StoreError e = recover(dir, true))
            return e;
        fd.reset(m_io->open(native(path), O_RDONLY, 0));
    }
    if (!fd.valid())
        return diskError(path, errno);
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return diskError(path, errno);
    const qint64 total = st.st_size / ContactRecord::Size;

    std::vector<ContactRecord> chunk(static_cast<size_t>(std::min(total, kChunkRecords)));
    qint64 n = 0;
    while (n < total) {
        const qint64 batch = std::min(total - n, kChunkRecords);
        if (!m_io->readFully(fd.get(), chunk.data(), size_t(batch * ContactRecord::Size),
                             off_t(n * ContactRecord::Size)))
            return diskError(path, errno);
        for (qint64 i = 0; i < batch; ++i) {
            if (!visit(chunk[size_t(i)], n + i + 1))
                return {};
        }
        n += batch;
    }
    return {};
}

StoreError ContactStore::ReadRecord(qint64 n, ContactRecord &record) const
{
    const QString path = dataFilePath();
    qint64 count = 0;
    if (StoreError e = CountWholeRecords(count))
        return e;
    if (n < 1 || n > count)
        return StoreError(StoreError::BadRecordNumber, path, QString::number(n));
    Fd fd(m_io, m_io->open(native(path), O_RDONLY, 0));
    if (!fd.valid())
        return diskError(path, errno);
    if (!m_io->readFully(fd.get(), record.data(), ContactRecord::Size,
                         off_t((n - 1) * ContactRecord::Size)))
        return diskError(path, errno);
    return {};
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
        return diskError(w.path, errno);
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
