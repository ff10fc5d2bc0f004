#include "store/DataFolder.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>

#include "store/AtomicFile.h"
#include "store/ContactRecord.h"
#include "store/FileHandle.h"
#include "store/FileLock.h"
#include "store/StoreIo.h"

namespace {

constexpr auto kFolder = "File";
constexpr auto kDataName = "quorvel.dat";
constexpr auto kCopyName = "quorvel1.dat";
constexpr auto kLockName = "quorvel.dat.lock";
constexpr auto kSyncStateSuffix = ".sync";

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

QString in(const QString &dir, const char *name)
{
    return dir + u'/' + QLatin1String(name);
}

} // namespace

DataFolder::DataFolder(QString base, bool fixed, StoreIo *io)
    : m_base(std::move(base)), m_fixed(fixed), m_io(io)
{
}

QString DataFolder::dataFile(const QString &dir)
{
    return in(dir, kDataName);
}

QString DataFolder::copyFile(const QString &dir)
{
    return in(dir, kCopyName);
}

QString DataFolder::copyName()
{
    return QLatin1String(kCopyName);
}

QString DataFolder::syncStateFile(const QString &dir)
{
    return dataFile(dir) + QLatin1String(kSyncStateSuffix);
}

QString DataFolder::dir() const
{
    QString dir;
    find(dir);
    return dir;
}

StoreError DataFolder::find(QString &dir, bool *found) const
{
    // The usual spelling first: it needs no listing.
    dir = m_fixed ? m_base : in(m_base, kFolder);
    if (m_fixed && !found)
        return {};
    bool there = false;
    if (StoreError e = probeDir(dir, there))
        return e;
    if (found)
        *found = there;
    if (there || m_fixed)
        return {};
    QList<QByteArray> names;
    if (m_io->listDir(native(m_base), names) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) // nothing to find; the caller names the folder
            return {};
        return StoreError::fromErrno(m_base, errno);
    }
    std::sort(names.begin(), names.end()); // the same one of several spellings every time
    for (const QByteArray &name : names) {
        const QString decoded = QFile::decodeName(name);
        if (decoded.compare(QLatin1String(kFolder), Qt::CaseInsensitive) != 0)
            continue;
        const QString candidate = m_base + u'/' + decoded;
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

StoreError DataFolder::probe(const QString &path, struct stat &st, bool &found) const
{
    found = m_io->stat(native(path), st) == 0;
    if (found || errno == ENOENT || errno == ENOTDIR)
        return {};
    return StoreError::fromErrno(path, errno);
}

StoreError DataFolder::probeEntry(const QString &path, struct stat &st, bool &found) const
{
    found = m_io->lstat(native(path), st) == 0;
    if (found || errno == ENOENT || errno == ENOTDIR)
        return {};
    return StoreError::fromReadErrno(path, errno);
}

StoreError DataFolder::probeDir(const QString &path, bool &isDir) const
{
    struct stat st;
    bool found = false;
    const StoreError e = probe(path, st, found);
    isDir = found && S_ISDIR(st.st_mode);
    return e;
}

bool DataFolder::ownerOf(const QString &dir, uid_t &owner, gid_t &group) const
{
    struct stat st;
    if (m_io->stat(native(dir), st) != 0)
        return false;
    owner = st.st_uid;
    group = st.st_gid;
    return true;
}

StoreError DataFolder::openError(const QString &path, int err, bool reading) const
{
    if (err == ELOOP)
        return StoreError(StoreError::IsLink, path);
    if (err == ENOENT)
        return StoreError(StoreError::FileNotFound, path);
    if (reading)
        return StoreError::fromReadErrno(path, err);
    if (err != EACCES && err != EPERM)
        return StoreError::fromErrno(path, err);
    // Refused for writing: say whether it could not even be read.
    FileHandle probe(m_io, m_io->open(native(path), O_RDONLY | O_NOFOLLOW, 0));
    return probe.valid() || (errno != EACCES && errno != EPERM)
               ? StoreError::fromErrno(path, err)
               : StoreError::fromReadErrno(path, errno);
}

StoreError DataFolder::lock(const QString &dir, FileLock &lock) const
{
    lock = FileLock(in(dir, kLockName), m_lockTimeoutMs, m_io);
    if (lock.locked())
        return {};
    if (lock.error() == 0)
        return StoreError(StoreError::InUse, dataFile(dir));
    if (lock.error() == ELOOP)
        return StoreError(StoreError::IsLink, lock.path());
    // A lock file that cannot be made is the folder's fault, unless it exists.
    struct stat st;
    bool exists = false;
    probe(lock.path(), st, exists);
    return StoreError::fromErrno(exists ? lock.path() : dir, lock.error());
}

StoreError DataFolder::open() const
{
    QString dir;
    if (StoreError e = find(dir))
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
    if (StoreError e = probe(dataFile(dir), st, found))
        return e;
    if (!found) {
        if (StoreError e = recover(dir, true))
            return e;
    }
    qint64 size = 0;
    return dataSize(size);
}

StoreError DataFolder::openForReading(FileHandle &fd, QString &path, qint64 &records) const
{
    QString dir;
    if (StoreError e = find(dir))
        return e;
    path = dataFile(dir);
    fd.reset(m_io->open(native(path), O_RDONLY | O_NOFOLLOW, 0));
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
    records = st.st_size / ContactRecord::Size;
    return {};
}

StoreError DataFolder::dataSize(qint64 &size) const
{
    QString dir;
    if (StoreError e = find(dir))
        return e;
    const QString path = dataFile(dir);
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

StoreError DataFolder::recover(const QString &dir, bool createEmpty) const
{
    // Only a left-over, or a wish for an empty file, is worth taking the lock for.
    if (!createEmpty) {
        struct stat st;
        bool found = false;
        if (StoreError e = probe(copyFile(dir), st, found))
            return e;
        if (!found)
            return {};
    }
    FileLock held;
    if (StoreError e = lock(dir, held))
        return e;
    uid_t owner = 0;
    gid_t group = 0;
    if (!ownerOf(dir, owner, group))
        return StoreError::fromReadErrno(dir, errno);
    if (!AtomicFile::keepOwner(m_io, held.fd(), owner, group)) // so that its owner can lock it too
        return StoreError::fromErrno(held.path(), errno);
    if (StoreError e = restoreLeftover(dir))
        return e;
    if (!createEmpty)
        return {};
    const QString path = dataFile(dir);
    // O_EXCL makes no file where a link, even a dangling one, stands.
    FileHandle fd(m_io, m_io->open(native(path), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600));
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

StoreError DataFolder::restoreLeftover(const QString &dir) const
{
    // A deletion renames its copy over the data file, so a whole copy beside a
    // missing data file is the last content: it must come back before anything
    // creates an empty data file or empties the copy.
    const QString path = dataFile(dir);
    const QString copy = copyFile(dir);
    struct stat st;
    bool found = false;
    if (StoreError e = probeEntry(path, st, found))
        return e;
    if (found)
        return {};
    if (StoreError e = probeEntry(copy, st, found))
        return e;
    if (!found)
        return {};
    // Only our own kind of copy comes back: never a link, nor a file someone
    // else put in the folder.
    const auto leftAlone = [&path](const QString &why) {
        return StoreError(StoreError::FileNotFound, path, why.arg(QLatin1String(kCopyName)));
    };
    if (S_ISLNK(st.st_mode))
        return leftAlone(QStringLiteral("%1 يک پيوند است و دست نخورده ماند"));
    uid_t owner = 0;
    gid_t group = 0;
    if (!ownerOf(dir, owner, group))
        return StoreError::fromReadErrno(dir, errno);
    if (st.st_uid != owner && st.st_uid != ::geteuid())
        return leftAlone(QStringLiteral("%1 از آن کاربر ديگري است و دست نخورده ماند"));
    if (!S_ISREG(st.st_mode) || st.st_size % ContactRecord::Size != 0)
        return leftAlone(QStringLiteral("%1 ناقص است و دست نخورده ماند"));
    if (m_io->rename(native(copy), native(path)) != 0)
        return StoreError::fromErrno(path, errno);
    AtomicFile::syncFolder(dir, m_io);
    return {};
}
