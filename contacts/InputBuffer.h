#pragma once

#include <QByteArray>
#include <QString>

// A regular file's bytes in memory of their own. Read, not mapped: another
// program shortening the file meanwhile gives a short read, not a bus error.
// Large files go to huge pages, since a plain copy into fresh memory spends
// most of its time faulting in 4 KiB pages.
class InputBuffer
{
public:
    InputBuffer() = default;
    ~InputBuffer();
    InputBuffer(const InputBuffer &) = delete;
    InputBuffer &operator=(const InputBuffer &) = delete;

    // Reads up to size bytes of fd from its start; false with errno's text on failure.
    bool read(int fd, qint64 size, QString &error);
    // Valid while this buffer lives.
    QByteArray bytes() const { return QByteArray::fromRawData(m_data, m_size); }

private:
    char *m_data = nullptr;
    qsizetype m_size = 0;
};
