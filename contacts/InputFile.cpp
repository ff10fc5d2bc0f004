#include "contacts/InputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QIODevice>

#include "contacts/ContactImport.h"
#include "contacts/InputBuffer.h"
#include "store/ContactStore.h"

namespace {

QString tooLarge()
{
    return QStringLiteral("بزرگتر از %1 مگابايت است، بسيار بيش از آنچه %2 مخاطب لازم دارند؛ اگر "
                          "عکس مخاطبها در آن است، آنها را بدون عکس بيرون ببريد.")
        .arg(ContactImport::MaxInput / (1024 * 1024))
        .arg(ContactStore::MaxRecords);
}

} // namespace

// Reads to the end, but never more than one byte past the limit: a pipe or
// /dev/zero must not fill memory before it is refused.
bool InputFile::readAtMost(QIODevice &in, QByteArray &out, QString &error)
{
    constexpr qsizetype kStep = 1024 * 1024;
    const qsizetype most = ContactImport::MaxInput + 1;
    out.clear();
    for (;;) {
        const qsizetype have = out.size();
        const qsizetype want = std::min(kStep, most - have);
        if (want <= 0)
            break;
        if (out.capacity() < have + want)
            out.reserve(std::min(most, std::max(2 * out.capacity(), have + want)));
        out.resize(have + want);
        const qint64 n = in.read(out.data() + have, want);
        out.resize(have + std::max<qint64>(n, 0));
        if (n < 0) {
            error = in.errorString();
            return false;
        }
        if (n == 0)
            break;
    }
    if (out.size() > ContactImport::MaxInput) {
        out.clear();
        out.squeeze();
        error = tooLarge();
        return false;
    }
    return true;
}

// A named input: a regular file within the limit, checked on the file once
// opened, so nothing can be swapped in between. A FIFO is opened without
// waiting for a writer; a device is never read.
bool InputFile::read(const QString &name, QByteArray &bytes, std::unique_ptr<InputBuffer> &buffer,
                     QString &error)
{
    const auto fail = [&error](const QString &why) {
        error = why;
        return false;
    };
    const auto notRegular = [&fail] {
        return fail(QStringLiteral("فايل معمولي نيست (FIFO، دستگاه يا سوکت)؛ براي خواندن از "
                                   "لوله، - بدهيد و ورودي را به ورودي استاندارد بفرستيد."));
    };
    const QByteArray path = QFile::encodeName(name);
    struct stat st;
    if (::stat(path.constData(), &st) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISDIR(st.st_mode))
        return fail(QStringLiteral("يک پوشه است"));
    if (!S_ISREG(st.st_mode))
        return notRegular();
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    const struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &st) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(st.st_mode))
        return notRegular();
    if (st.st_size > ContactImport::MaxInput)
        return fail(tooLarge());
    if (st.st_size == 0) {
        // Files such as those in /proc tell their size only by being read.
        QFile file;
        return file.open(fd, QIODevice::ReadOnly, QFile::DontCloseHandle) &&
               readAtMost(file, bytes, error);
    }
    buffer = std::make_unique<InputBuffer>();
    if (!buffer->read(fd, st.st_size, error))
        return false;
    bytes = buffer->bytes();
    return true;
}
