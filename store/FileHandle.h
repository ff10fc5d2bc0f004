#pragma once

#include "store/StoreIo.h"

// A descriptor closed on every path out of a scope.
class FileHandle
{
public:
    FileHandle(StoreIo *io, int fd) : m_io(io), m_fd(fd) {}
    ~FileHandle() { reset(-1); }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;

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
