#include "contacts/InputBuffer.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr size_t kHugePage = 2 * 1024 * 1024;

} // namespace

InputBuffer::~InputBuffer()
{
    std::free(m_data);
}

bool InputBuffer::read(int fd, qint64 size, QString &error)
{
    const size_t want = size_t(size);
    void *p = nullptr;
    const size_t align = want >= kHugePage ? kHugePage : alignof(std::max_align_t);
    if (posix_memalign(&p, align, want > 0 ? want : 1) != 0) {
        error = QString::fromLocal8Bit(std::strerror(ENOMEM));
        return false;
    }
    if (want >= kHugePage)
        ::madvise(p, want & ~(kHugePage - 1), MADV_HUGEPAGE); // a hint; fine if refused
    m_data = static_cast<char *>(p);
    size_t got = 0;
    while (got < want) {
        const ssize_t r = ::pread(fd, m_data + got, want - got, off_t(got));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        if (r == 0)
            break; // shortened meanwhile: what is there now is the input
        got += size_t(r);
    }
    m_size = qsizetype(got);
    return true;
}
