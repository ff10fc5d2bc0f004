#include "store/StoreIo.h"

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

StoreIo::~StoreIo() = default;

int StoreIo::open(const QByteArray &path, int flags, mode_t mode)
{
    int fd;
    do {
        fd = ::open(path.constData(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int StoreIo::close(int fd)
{
    return ::close(fd);
}

ssize_t StoreIo::pread(int fd, void *buf, size_t n, off_t offset)
{
    return ::pread(fd, buf, n, offset);
}

ssize_t StoreIo::pwrite(int fd, const void *buf, size_t n, off_t offset)
{
    return ::pwrite(fd, buf, n, offset);
}

int StoreIo::fsync(int fd)
{
    return ::fsync(fd);
}

int StoreIo::ftruncate(int fd, off_t length)
{
    return ::ftruncate(fd, length);
}

int StoreIo::rename(const QByteArray &from, const QByteArray &to)
{
    return ::rename(from.constData(), to.constData());
}

int StoreIo::unlink(const QByteArray &path)
{
    return ::unlink(path.constData());
}

int StoreIo::stat(const QByteArray &path, struct stat &st)
{
    return ::stat(path.constData(), &st);
}

int StoreIo::lstat(const QByteArray &path, struct stat &st)
{
    return ::lstat(path.constData(), &st);
}

int StoreIo::fstat(int fd, struct stat &st)
{
    return ::fstat(fd, &st);
}

int StoreIo::mkdir(const QByteArray &path, mode_t mode)
{
    return ::mkdir(path.constData(), mode);
}

int StoreIo::fchown(int fd, uid_t owner, gid_t group)
{
    return ::fchown(fd, owner, group);
}

int StoreIo::fchmod(int fd, mode_t mode)
{
    return ::fchmod(fd, mode);
}

int StoreIo::flock(int fd, int operation)
{
    return ::flock(fd, operation);
}

int StoreIo::listDir(const QByteArray &path, QList<QByteArray> &names)
{
    DIR *dir = ::opendir(path.constData());
    if (!dir)
        return -1;
    names.clear();
    int err = 0;
    for (;;) {
        errno = 0; // readdir tells the end from an error only by errno
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            err = errno;
            break;
        }
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names << name;
    }
    ::closedir(dir);
    errno = err;
    return err == 0 ? 0 : -1;
}

bool StoreIo::readFully(int fd, void *buf, size_t n, off_t offset)
{
    auto *p = static_cast<char *>(buf);
    while (n > 0) {
        const ssize_t got = pread(fd, p, n, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0)
                errno = EIO; // shorter than its length said: changed under us
            return false;
        }
        p += got;
        n -= size_t(got);
        offset += got;
    }
    return true;
}

bool StoreIo::writeFully(int fd, const void *buf, size_t n, off_t offset)
{
    auto *p = static_cast<const char *>(buf);
    while (n > 0) {
        const ssize_t put = pwrite(fd, p, n, offset);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            if (put == 0)
                errno = ENOSPC;
            return false;
        }
        p += put;
        n -= size_t(put);
        offset += put;
    }
    return true;
}

StoreIo *StoreIo::defaultIo()
{
    static StoreIo io;
    return &io;
}
