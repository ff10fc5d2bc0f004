#pragma once

#include <QString>

class StoreIo;

// An exclusive kernel lock on a lock file, held while the object lives. It dies
// with its holder, so a killed copy of the program never locks the next one out.
class FileLock
{
public:
    FileLock() = default;
    // Opens the lock file (made 0600 when missing, never through a link) and
    // tries for up to timeoutMs to lock it; 0 tries once.
    FileLock(QString path, int timeoutMs, StoreIo *io = nullptr);
    ~FileLock();
    FileLock(FileLock &&other) noexcept;
    FileLock &operator=(FileLock &&other) noexcept;
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    bool locked() const { return m_locked; }
    // errno of a failure other than waiting too long; 0 when another holder kept it.
    int error() const { return m_error; }
    int fd() const { return m_fd; }
    const QString &path() const { return m_path; }
    void unlock();

private:
    StoreIo *m_io = nullptr;
    QString m_path;
    int m_fd = -1;
    int m_error = 0;
    bool m_locked = false;
};
