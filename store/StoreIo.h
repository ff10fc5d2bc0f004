#pragma once

#include <sys/types.h>

#include <QByteArray>

// The file-system calls the store makes, one virtual each, so tests can fail any
// single write, flush or rename. The default is plain POSIX.
class StoreIo
{
public:
    virtual ~StoreIo();

    virtual int open(const QByteArray &path, int flags, mode_t mode);
    virtual int close(int fd);
    virtual ssize_t pread(int fd, void *buf, size_t n, off_t offset);
    virtual ssize_t pwrite(int fd, const void *buf, size_t n, off_t offset);
    virtual int fsync(int fd);
    virtual int ftruncate(int fd, off_t length);
    virtual int rename(const QByteArray &from, const QByteArray &to);
    virtual int unlink(const QByteArray &path);

    // Whole-buffer helpers built on the calls above; false with errno set on failure.
    bool readFully(int fd, void *buf, size_t n, off_t offset);
    bool writeFully(int fd, const void *buf, size_t n, off_t offset);

    static StoreIo *defaultIo();
};
