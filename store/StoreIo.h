#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <QByteArray>
#include <QList>

// Every file-system call the store makes, one virtual each, so tests can fail
// any single one of them. The default is plain POSIX.
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
    virtual int stat(const QByteArray &path, struct stat &st);
    // The link itself, never what it points to.
    virtual int lstat(const QByteArray &path, struct stat &st);
    virtual int fstat(int fd, struct stat &st);
    virtual int mkdir(const QByteArray &path, mode_t mode);
    virtual int fchmod(int fd, mode_t mode);
    virtual int fchown(int fd, uid_t owner, gid_t group);
    virtual int flock(int fd, int operation);
    // The names in a folder, "." and ".." left out.
    virtual int listDir(const QByteArray &path, QList<QByteArray> &names);

    // Whole-buffer helpers built on the calls above; false with errno set on failure.
    bool readFully(int fd, void *buf, size_t n, off_t offset);
    bool writeFully(int fd, const void *buf, size_t n, off_t offset);

    static StoreIo *defaultIo();
};
