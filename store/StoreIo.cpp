#include "StoreIo.h"

#include <cerrno>

#include <fcntl.h>
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
