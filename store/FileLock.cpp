#include "store/FileLock.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>

#include "store/StoreIo.h"

FileLock::FileLock(QString path, int timeoutMs, StoreIo *io)
    : m_io(io ? io : StoreIo::defaultIo()), m_path(std::move(path))
{
    m_fd = m_io->open(QFile::encodeName(m_path), O_RDWR | O_CREAT | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        m_error = errno;
        return;
    }
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (m_io->flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_locked = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_error = errno;
            return;
        }
        if (waited.elapsed() >= timeoutMs)
            return;
        ::usleep(5000);
    }
}

FileLock::~FileLock()
{
    unlock();
}

FileLock::FileLock(FileLock &&other) noexcept
    : m_io(other.m_io), m_path(std::move(other.m_path)), m_fd(std::exchange(other.m_fd, -1)),
      m_error(other.m_error), m_locked(std::exchange(other.m_locked, false))
{
}

FileLock &FileLock::operator=(FileLock &&other) noexcept
{
    if (this != &other) {
        unlock();
        m_io = other.m_io;
        m_path = std::move(other.m_path);
        m_fd = std::exchange(other.m_fd, -1);
        m_error = other.m_error;
        m_locked = std::exchange(other.m_locked, false);
    }
    return *this;
}

void FileLock::unlock()
{
    if (m_fd >= 0)
        m_io->close(m_fd); // releases the lock
    m_fd = -1;
    m_locked = false;
}
