#pragma once

#include <cerrno>

#include "StoreIo.h"

// Fails the Nth write, flush or rename (counted together); a failing write
// first puts half its bytes down, as a full disk does.
class FaultyIo : public StoreIo
{
public:
    explicit FaultyIo(int failAt) : m_failAt(failAt) {}
    bool fired() const { return m_fired; }

    ssize_t pwrite(int fd, const void *buf, size_t n, off_t off) override
    {
        if (hit()) {
            if (n > 1)
                StoreIo::pwrite(fd, buf, n / 2, off);
            errno = ENOSPC;
            return -1;
        }
        return StoreIo::pwrite(fd, buf, n, off);
    }
    int fsync(int fd) override { return hit() ? (errno = EIO, -1) : StoreIo::fsync(fd); }
    int rename(const QByteArray &from, const QByteArray &to) override
    {
        return hit() ? (errno = EIO, -1) : StoreIo::rename(from, to);
    }

private:
    bool hit()
    {
        if (m_fired || ++m_calls != m_failAt)
            return false;
        m_fired = true;
        return true;
    }
    int m_failAt;
    int m_calls = 0;
    bool m_fired = false;
};
