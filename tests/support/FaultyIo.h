#pragma once

#include <cerrno>

#include <fcntl.h>

#include <QFileInfo>
#include <QHash>
#include <QStringList>

#include "store/StoreIo.h"

// Fails the Nth of the calls it counts, by default writes, flushes and renames
// together; a failing write first puts half its bytes down, as a full disk
// does. Logs the writes, flushes and renames with the name of the file.
class FaultyIo : public StoreIo
{
public:
    enum Call
    {
        Write = 1,
        Fsync = 2,
        Rename = 4,
        Open = 8, // of files: a folder is opened only to sync it
        Stat = 16,
        Fstat = 32,
        Mkdir = 64,
        Fchmod = 128,
        Flock = 256,
        ListDir = 512,
        Lstat = 1024,
        Fchown = 2048,
    };

    explicit FaultyIo(int failAt = 0, int calls = Write | Fsync | Rename)
        : m_failAt(failAt), m_calls(calls)
    {
    }
    bool fired() const { return m_fired; }
    QStringList log;

    int open(const QByteArray &path, int flags, mode_t mode) override
    {
        if (!(flags & O_DIRECTORY) && hit(Open))
            return fail();
        const int fd = StoreIo::open(path, flags, mode);
        if (fd >= 0)
            m_names[fd] = QFileInfo(QFile::decodeName(path)).fileName();
        return fd;
    }
    ssize_t pwrite(int fd, const void *buf, size_t n, off_t off) override
    {
        log << "write " + m_names.value(fd);
        if (hit(Write)) {
            if (n > 1)
                StoreIo::pwrite(fd, buf, n / 2, off);
            errno = ENOSPC;
            return -1;
        }
        return StoreIo::pwrite(fd, buf, n, off);
    }
    int fsync(int fd) override
    {
        log << "fsync " + m_names.value(fd);
        return hit(Fsync) ? fail() : StoreIo::fsync(fd);
    }
    int rename(const QByteArray &from, const QByteArray &to) override
    {
        log << "rename " + QFileInfo(QFile::decodeName(from)).fileName() + " " +
                   QFileInfo(QFile::decodeName(to)).fileName();
        return hit(Rename) ? fail() : StoreIo::rename(from, to);
    }
    int stat(const QByteArray &path, struct stat &st) override
    {
        return hit(Stat) ? fail() : StoreIo::stat(path, st);
    }
    int lstat(const QByteArray &path, struct stat &st) override
    {
        return hit(Lstat) ? fail() : StoreIo::lstat(path, st);
    }
    int fchown(int fd, uid_t owner, gid_t group) override
    {
        return hit(Fchown) ? fail() : StoreIo::fchown(fd, owner, group);
    }
    int fstat(int fd, struct stat &st) override
    {
        return hit(Fstat) ? fail() : StoreIo::fstat(fd, st);
    }
    int mkdir(const QByteArray &path, mode_t mode) override
    {
        return hit(Mkdir) ? fail() : StoreIo::mkdir(path, mode);
    }
    int fchmod(int fd, mode_t mode) override
    {
        return hit(Fchmod) ? fail() : StoreIo::fchmod(fd, mode);
    }
    int flock(int fd, int operation) override
    {
        return hit(Flock) ? fail() : StoreIo::flock(fd, operation);
    }
    int listDir(const QByteArray &path, QList<QByteArray> &names) override
    {
        return hit(ListDir) ? fail() : StoreIo::listDir(path, names);
    }

private:
    bool hit(Call call)
    {
        if (m_fired || !(m_calls & call) || ++m_count != m_failAt)
            return false;
        m_fired = true;
        return true;
    }
    static int fail()
    {
        errno = EIO;
        return -1;
    }
    QHash<int, QString> m_names;
    int m_failAt;
    int m_calls;
    int m_count = 0;
    bool m_fired = false;
};
