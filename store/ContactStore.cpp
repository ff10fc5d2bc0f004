#include "ContactStore.h"

#include <cerrno>
#include <cstring>
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
    WriteLock(const QString &dir, int timeoutMs)
    {
        const QByteArray path = native(dir + u'/' + QLatin1String(kLockName));
        m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, kOwnerOnly);
        if (m_fd < 0)
            return;
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
                m_locked = true;
                return;
            }
            if ((errno != EWOULDBLOCK && errno != EINTR) || waited.elapsed() >= timeoutMs)
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

private:
    int m_fd = -1;
    bool m_locked = false;
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

QString ContactStore::tempFilePath() const
{
    return dataDir() + u'/' + QLatin1String(kTempName);
}

StoreError ContactStore::diskError(const QString &path, int err) const
{
    return StoreError(StoreError::DiskError, path, errnoText(err));
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
    if (::stat(native(path).constData(), &st) != 0) {
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

StoreError ContactStore::restoreLeftover(const QString &dir) const
{
    // Called with the data file missing. A deletion renames its copy over the
    // data file, so a whole copy beside a missing data file is the last content.
    const QString path = dir + u'/' + QLatin1String(kDataName);
    const QString temp = dir + u'/' + QLatin1String(kTempName);
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

StoreError ContactStore::readWhole(int fd, const QString &path, std::vector<ContactRecord> &records,
                                   mode_t &mode) const
{
    // A trailing partial record is not a record: it is left out.
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return diskError(path, errno);
    mode = st.st_mode;
    records.resize(size_t(st.st_size / ContactRecord::Size));
    if (!m_io->readFully(fd, records.data(), records.size() * ContactRecord::Size, 0))
        return diskError(path, errno);
    return {};
}

StoreError ContactStore::replaceData(const QString &dir, mode_t mode,
                                     std::initializer_list<QByteArrayView> pieces)
{
    // The new content goes to a copy that is synced before it is renamed over the
    // data file, so at every instant the data file is the whole old or new content.
    const QString path = dir + u'/' + QLatin1String(kDataName);
    const QString temp = dir + u'/' + QLatin1String(kTempName);
    // A left-over copy from an interrupted deletion is emptied by O_TRUNC.
    Fd out(m_io, m_io->open(native(temp), O_WRONLY | O_CREAT | O_TRUNC, kOwnerOnly));
    if (!out.valid())
        return diskError(temp, errno);
    ::fchmod(out.get(), mode & 07777);

    const auto fail = [&](int err) {
        m_io->close(out.release());
        m_io->unlink(native(temp));
        return diskError(temp, err);
    };
    off_t at = 0;
    for (const QByteArrayView piece : pieces) {
        if (!piece.isEmpty() &&
            !m_io->writeFully(out.get(), piece.data(), size_t(piece.size()), at))
            return fail(errno);
        at += off_t(piece.size());
    }
    if (m_io->fsync(out.get()) != 0)
        return fail(errno);
    if (m_io->close(out.release()) != 0) {
        const int err = errno;
        m_io->unlink(native(temp));
        return diskError(temp, err);
    }
    if (m_io->rename(native(temp), native(path)) != 0) {
        const int err = errno;
        m_io->unlink(native(temp));
        return diskError(path, err);
    }
    m_tempCount = qint64(at) / ContactRecord::Size;
    if (!syncDir(dir))
        return diskError(dir, errno);
    return {};
}

StoreError ContactStore::Open()
{
    QString dir = dataDir();
    if (!isDir(dir)) {
        if (::mkdir(native(dir).constData(), 0700) != 0 && errno != EEXIST)
            return StoreError(StoreError::PathNotFound, dir, errnoText(errno));
        syncDir(QFileInfo(dir).path());
    }
    const QString path = dir + u'/' + QLatin1String(kDataName);
    if (QFileInfo::exists(path)) {
        qint64 size = 0;
        return statData(size);
    }

    WriteLock lock(dir, m_lockTimeoutMs);
    if (!lock.locked())
        return StoreError(StoreError::DiskError, path,
                          QStringLiteral("فايل در دست برنامه ديگري است"));
    if (QFileInfo::exists(path))
        return {};

    if (StoreError e = restoreLeftover(dir))
        return e;
    if (QFileInfo::exists(path))
        return {};

    Fd fd(m_io, m_io->open(native(path), O_WRONLY | O_CREAT | O_EXCL, kOwnerOnly));
    if (!fd.valid() && errno != EEXIST)
        return StoreError(StoreError::PathNotFound, path, errnoText(errno));
    syncDir(dir);
    return {};
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

StoreError ContactStore::AppendRecord(const ContactRecord &record)
{
    const QString dir = dataDir();
    const QString path = dir + u'/' + QLatin1String(kDataName);
    if (!isDir(dir))
        return StoreError(StoreError::PathNotFound, dir);
    WriteLock lock(dir, m_lockTimeoutMs);
    if (!lock.locked())
        return StoreError(StoreError::DiskError, path,
                          QStringLiteral("فايل در دست برنامه ديگري است"));

    qint64 size = 0;
    if (StoreError e = statData(size))
        return e;
    const qint64 count = size / ContactRecord::Size;
    m_recordCount = count;
    if (count >= MaxRecords)
        return StoreError(StoreError::Overflow, path);

    Fd fd(m_io, m_io->open(native(path), O_RDWR, 0));
    if (!fd.valid())
        return diskError(path, errno);

    // A trailing partial record is overwritten; keep it to put back on failure.
    const off_t at = off_t(count * ContactRecord::Size);
    const qint64 tailLen = size - at;
    char tail[ContactRecord::Size];
    if (tailLen > 0 && !m_io->readFully(fd.get(), tail, size_t(tailLen), at))
        return diskError(path, errno);

    const auto undo = [&] {
        m_io->ftruncate(fd.get(), off_t(size));
        if (tailLen > 0)
            m_io->writeFully(fd.get(), tail, size_t(tailLen), at);
        m_io->fsync(fd.get());
    };
    if (!m_io->writeFully(fd.get(), record.data(), ContactRecord::Size, at)) {
        const int err = errno;
        undo();
        return diskError(path, err);
    }
    if (m_io->fsync(fd.get()) != 0) {
        const int err = errno;
        undo();
        return diskError(path, err);
    }
    struct stat st;
    if (::fstat(fd.get(), &st) == 0)
        m_recordCount = st.st_size / ContactRecord::Size;
    else
        m_recordCount = count + 1;
    if (m_io->close(fd.release()) != 0)
        return diskError(path, errno);
    return {};
}

StoreError ContactStore::ReadAllRecords(const Visitor &visit) const
{
    const QString dir = dataDir();
    const QString path = dir + u'/' + QLatin1String(kDataName);
    Fd fd(m_io, m_io->open(native(path), O_RDONLY, 0));
    if (!fd.valid()) {
        const int err = errno;
        if (err != ENOENT)
            return diskError(path, err);
        if (!isDir(dir))
            return StoreError(StoreError::PathNotFound, dir);
        // Listing a missing file creates an empty one.
        Fd created(m_io, m_io->open(native(path), O_WRONLY | O_CREAT, kOwnerOnly));
        if (!created.valid())
            return diskError(path, errno);
        return {};
    }
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
    const QString dir = dataDir();
    const QString path = dir + u'/' + QLatin1String(kDataName);
    if (!isDir(dir))
        return StoreError(StoreError::PathNotFound, dir);
    WriteLock lock(dir, m_lockTimeoutMs);
    if (!lock.locked())
        return StoreError(StoreError::DiskError, path,
                          QStringLiteral("فايل در دست برنامه ديگري است"));

    qint64 count = 0;
    if (StoreError e = CountWholeRecords(count))
        return e;
    if (expected && n > count && n <= MaxRecords) // the file shrank since the caller looked
        return StoreError(StoreError::RecordChanged, path, QString::number(n));
    if (n < 1 || n > count || n > MaxRecords)
        return StoreError(StoreError::BadRecordNumber, path, QString::number(n));

    Fd fd(m_io, m_io->open(native(path), O_RDWR, 0));
    if (!fd.valid())
        return diskError(path, errno);
    const off_t at = off_t((n - 1) * ContactRecord::Size);
    ContactRecord old;
    if (!m_io->readFully(fd.get(), old.data(), ContactRecord::Size, at))
        return diskError(path, errno);
    if (expected && !(old == *expected))
        return StoreError(StoreError::RecordChanged, path, QString::number(n));

    const auto undo = [&] {
        m_io->writeFully(fd.get(), old.data(), ContactRecord::Size, at);
        m_io->fsync(fd.get());
    };
    if (!m_io->writeFully(fd.get(), record.data(), ContactRecord::Size, at)) {
        const int err = errno;
        undo();
        return diskError(path, err);
    }
    if (m_io->fsync(fd.get()) != 0) {
        const int err = errno;
        undo();
        return diskError(path, err);
    }
    if (m_io->close(fd.release()) != 0)
        return diskError(path, errno);
    return {};
}

StoreError ContactStore::DeleteRecord(qint64 n, const ContactRecord *expected)
{
    const QString dir = dataDir();
    const QString path = dir + u'/' + QLatin1String(kDataName);
    const QString temp = dir + u'/' + QLatin1String(kTempName);
    if (!isDir(dir))
        return StoreError(StoreError::PathNotFound, dir);
    WriteLock lock(dir, m_lockTimeoutMs);
    if (!lock.locked())
        return StoreError(StoreError::DiskError, path,
                          QStringLiteral("فايل در دست برنامه ديگري است"));

    Fd in(m_io, m_io->open(native(path), O_RDONLY, 0));
    if (!in.valid()) {
        const int err = errno;
        if (err == ENOENT)
            return StoreError(StoreError::FileNotFound, path);
        return diskError(path, err);
    }
    std::vector<ContactRecord> records;
    mode_t mode = 0;
    if (StoreError e = readWhole(in.get(), path, records, mode))
        return e;
    m_io->close(in.release());
    const qint64 count = qint64(records.size());
    m_recordCount = count;
    if (expected && n > count && n <= MaxRecords) // the file shrank since the caller looked
        return StoreError(StoreError::RecordChanged, path, QString::number(n));
    if (n < 1 || n > count || n > MaxRecords)
        return StoreError(StoreError::BadRecordNumber, path, QString::number(n));
    if (expected && !(records[size_t(n - 1)] == *expected))
        return StoreError(StoreError::RecordChanged, path, QString::number(n));

    const auto bytes = [&](qint64 from, qint64 to) { // records [from, to), 0-based
        return QByteArrayView(records[0].data() + from * ContactRecord::Size,
                              (to - from) * ContactRecord::Size);
    };
    return replaceData(dir, mode, {bytes(0, n - 1), bytes(n, count)});
}

StoreError ContactStore::AppendRecords(const std::vector<ContactRecord> &records)
{
    const QString dir = dataDir();
    const QString path = dir + u'/' + QLatin1String(kDataName);
    if (!isDir(dir))
        return StoreError(StoreError::PathNotFound, dir);
    WriteLock lock(dir, m_lockTimeoutMs);
    if (!lock.locked())
        return StoreError(StoreError::DiskError, path,
                          QStringLiteral("فايل در دست برنامه ديگري است"));

    // Opened for writing, so the file's own protection decides, as for one append.
    Fd in(m_io, m_io->open(native(path), O_RDWR, 0));
    if (!in.valid() && errno == ENOENT) {
        if (StoreError e = restoreLeftover(dir))
            return e;
        in.reset(m_io->open(native(path), O_RDWR, 0));
    }
    if (!in.valid()) {
        const int err = errno;
        if (err == ENOENT)
            return StoreError(StoreError::FileNotFound, path);
        return diskError(path, err);
    }
    std::vector<ContactRecord> old;
    mode_t mode = 0;
    if (StoreError e = readWhole(in.get(), path, old, mode))
        return e;
    m_io->close(in.release());
    m_recordCount = qint64(old.size());
    if (qint64(old.size() + records.size()) > MaxRecords)
        return StoreError(StoreError::Overflow, path);
    if (records.empty())
        return {};

    const auto whole = [](const std::vector<ContactRecord> &v) {
        return QByteArrayView(v.empty() ? nullptr : v.front().data(),
                              qsizetype(v.size()) * ContactRecord::Size);
    };
    return replaceData(dir, mode, {whole(old), whole(records)});
}
