#include "store/DataWrite.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>

#include <QFile>

#include "store/AtomicFile.h"
#include "store/ContactRecord.h"
#include "store/DataFolder.h"
#include "store/StoreIo.h"

DataWrite::DataWrite(const DataFolder &folder)
    : m_folder(folder), m_io(folder.io()), m_file(folder.io(), -1)
{
}

bool DataWrite::ownerMayWrite(mode_t mode)
{
    return (mode & S_IWUSR) != 0;
}

qint64 DataWrite::wholeRecords() const
{
    return m_size / ContactRecord::Size;
}

StoreError DataWrite::begin()
{
    if (StoreError e = m_folder.find(m_dir))
        return e;
    m_path = DataFolder::dataFile(m_dir);
    bool folder = false;
    if (StoreError e = m_folder.probeDir(m_dir, folder))
        return e;
    if (!folder)
        return StoreError(StoreError::PathNotFound, m_dir);
    if (StoreError e = m_folder.lock(m_dir, m_lock))
        return e;

    // Opened for writing even by a deletion, whose rename needs only the folder:
    // the file's own protection holds for every write. A link is refused.
    const QByteArray native = QFile::encodeName(m_path);
    constexpr int kFlags = O_RDWR | O_NOFOLLOW;
    m_file.reset(m_io->open(native, kFlags, 0));
    if (!m_file.valid() && errno == ENOENT) {
        if (StoreError e = m_folder.restoreLeftover(m_dir))
            return e;
        m_file.reset(m_io->open(native, kFlags, 0));
    }
    if (!m_file.valid())
        return m_folder.openError(m_path, errno, false);
    struct stat st;
    if (m_io->fstat(m_file.get(), st) != 0)
        return StoreError::fromErrno(m_path, errno);
    if (!S_ISREG(st.st_mode))
        return StoreError::fromErrno(m_path, EISDIR);
    if (!ownerMayWrite(st.st_mode))
        return StoreError(StoreError::PermissionDenied, m_path);
    m_size = st.st_size;
    m_mode = st.st_mode & 07777;
    m_owner = st.st_uid;
    m_group = st.st_gid;
    // So that the data file's owner can take the lock too.
    if (!AtomicFile::keepOwner(m_io, m_lock.fd(), m_owner, m_group))
        return StoreError::fromErrno(m_lock.path(), errno);
    return {};
}

StoreError DataWrite::readWhole(std::vector<ContactRecord> &records) const
{
    records.resize(size_t(wholeRecords()));
    return read(0, records.empty() ? nullptr : records.front().data(),
                wholeRecords() * ContactRecord::Size);
}

StoreError DataWrite::read(qint64 at, char *into, qint64 n) const
{
    if (n > 0 && !m_io->readFully(m_file.get(), into, size_t(n), off_t(at)))
        return StoreError::fromErrno(m_path, errno);
    return {};
}

StoreError DataWrite::writeInPlace(qint64 at, QByteArrayView bytes, QByteArrayView old) const
{
    const int fd = m_file.get();
    if (m_io->writeFully(fd, bytes.data(), size_t(bytes.size()), off_t(at)) && m_io->fsync(fd) == 0)
        return {};
    const int err = errno;
    m_io->ftruncate(fd, off_t(m_size));
    if (!old.isEmpty())
        m_io->writeFully(fd, old.data(), size_t(old.size()), off_t(at));
    m_io->fsync(fd);
    return StoreError::fromErrno(m_path, err);
}

StoreError DataWrite::replace(std::initializer_list<QByteArrayView> pieces) const
{
    // The copy has the name a deletion's left-over is known by; the data file
    // is there, so a stale copy is no longer needed.
    AtomicFile file(m_path, m_io, DataFolder::copyFile(m_dir));
    if (StoreError e = file.begin(AtomicFile::Owner{m_owner, m_group, m_mode}))
        return e;
    for (const QByteArrayView piece : pieces) {
        if (StoreError e = file.write(piece))
            return e;
    }
    return file.commit();
}
