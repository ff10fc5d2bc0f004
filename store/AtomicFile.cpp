#include "store/AtomicFile.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "store/FileHandle.h"
#include "store/StoreIo.h"

namespace {

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

} // namespace

AtomicFile::AtomicFile(QString path, StoreIo *io, QString tempPath)
    : m_path(std::move(path)),
      m_temp(tempPath.isEmpty() ? m_path + QStringLiteral(".new") : std::move(tempPath)),
      m_io(io ? io : StoreIo::defaultIo())
{
}

AtomicFile::~AtomicFile()
{
    if (m_fd >= 0) {
        m_io->close(m_fd);
        m_io->unlink(native(m_temp));
    }
}

StoreError AtomicFile::begin(mode_t newFileMode)
{
    struct stat st;
    Owner owner;
    if (m_io->lstat(native(m_path), st) == 0) {
        if (S_ISLNK(st.st_mode))
            return m_error = StoreError(StoreError::IsLink, m_path);
        if (!S_ISREG(st.st_mode))
            return m_error = StoreError::fromErrno(m_path, EISDIR);
        owner = {st.st_uid, st.st_gid, mode_t(st.st_mode & 07777)};
    } else if (errno != ENOENT) {
        return m_error = StoreError::fromReadErrno(m_path, errno);
    } else {
        const QString dir = QFileInfo(m_path).path();
        if (m_io->stat(native(dir), st) != 0)
            return m_error = StoreError::fromReadErrno(dir, errno);
        owner = {st.st_uid, st.st_gid, newFileMode};
    }
    return begin(owner);
}

StoreError AtomicFile::begin(const Owner &owner)
{
    // A stale copy, or a link someone put in its place, is removed, never
    // followed; the copy is always a new file.
    struct stat st;
    if (m_io->lstat(native(m_temp), st) == 0) {
        if ((S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) && m_io->unlink(native(m_temp)) != 0 &&
            errno != ENOENT)
            return m_error = StoreError::fromErrno(m_temp, errno);
    } else if (errno != ENOENT && errno != ENOTDIR) {
        return m_error = StoreError::fromReadErrno(m_temp, errno);
    }
    m_fd = m_io->open(native(m_temp), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    if (m_fd < 0)
        return m_error = StoreError::fromErrno(m_temp, errno);
    // The rename gives the file the copy's owner and mode.
    if (!keepOwner(m_io, m_fd, owner.uid, owner.gid))
        return fail(m_temp, errno);
    if (m_io->fchmod(m_fd, owner.mode & 07777) != 0)
        return fail(m_temp, errno);
    return {};
}

StoreError AtomicFile::write(QByteArrayView bytes)
{
    if (m_error || m_fd < 0)
        return m_error ? m_error : StoreError(StoreError::DiskError, m_temp);
    if (!bytes.isEmpty() && !m_io->writeFully(m_fd, bytes.data(), size_t(bytes.size()), m_written))
        return fail(m_temp, errno);
    m_written += off_t(bytes.size());
    return {};
}

StoreError AtomicFile::commit()
{
    if (m_error || m_fd < 0)
        return m_error ? m_error : StoreError(StoreError::DiskError, m_temp);
    if (m_io->fsync(m_fd) != 0)
        return fail(m_temp, errno);
    if (m_io->close(std::exchange(m_fd, -1)) != 0)
        return fail(m_temp, errno);
    if (m_io->rename(native(m_temp), native(m_path)) != 0)
        return fail(m_path, errno);
    if (!syncFolder(QFileInfo(m_path).path(), m_io))
        return m_error = StoreError(StoreError::Unconfirmed, m_path, StoreError::errnoText(errno));
    return {};
}

StoreError AtomicFile::fail(const QString &path, int err)
{
    if (m_fd >= 0)
        m_io->close(std::exchange(m_fd, -1));
    m_io->unlink(native(m_temp));
    return m_error = StoreError::fromErrno(path, err);
}

StoreError AtomicFile::replace(const QString &path, QByteArrayView bytes, mode_t newFileMode,
                               StoreIo *io)
{
    AtomicFile file(path, io);
    if (StoreError e = file.begin(newFileMode))
        return e;
    if (StoreError e = file.write(bytes))
        return e;
    return file.commit();
}

bool AtomicFile::syncFolder(const QString &dir, StoreIo *io)
{
    FileHandle fd(io, io->open(native(dir), O_RDONLY | O_DIRECTORY, 0));
    return fd.valid() && io->fsync(fd.get()) == 0;
}

bool AtomicFile::keepOwner(StoreIo *io, int fd, uid_t owner, gid_t group)
{
    if (::geteuid() != 0)
        return true;
    struct stat st;
    if (io->fstat(fd, st) != 0)
        return false;
    if (st.st_uid == owner && st.st_gid == group)
        return true;
    return io->fchown(fd, owner, group) == 0;
}
