#include "ContactExport.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "ContactStore.h"
#include "CsvWriter.h"
#include "VcardWriter.h"

namespace {

// Small enough to stay in the cache and to fault its pages in once, however
// long the text.
constexpr qsizetype kPiece = 64 * 1024;

// Records read at a time: a few kilobytes stay in the cache while they are
// copied in and turned into text, where a larger buffer costs more than the text.
constexpr qsizetype kChunk = 64;

// Every whole record in file order, as the store reads them but in small pieces.
// Whatever keeps the file from opening is left to the store, which says why.
template <typename Visit> StoreError readRecords(const ContactStore &store, Visit &&visit)
{
    const QString path = store.dataFilePath();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return store.ReadAllRecords(visit);
    const auto fail = [&path, fd](int err) {
        ::close(fd);
        if (err == EACCES || err == EPERM)
            return StoreError(StoreError::PermissionDenied, path);
        return StoreError(StoreError::DiskError, path, QString::fromLocal8Bit(std::strerror(err)));
    };
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return fail(errno);
    const qint64 total = st.st_size / ContactRecord::Size;
    ContactRecord chunk[kChunk];
    for (qint64 n = 0; n < total;) {
        const qint64 batch = std::min<qint64>(total - n, kChunk);
        char *const to = chunk[0].data();
        const size_t want = size_t(batch * ContactRecord::Size);
        size_t got = 0;
        while (got < want) {
            const ssize_t r =
                ::pread(fd, to + got, want - got, off_t(n * ContactRecord::Size + got));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                return fail(r < 0 ? errno : EIO);
            got += size_t(r);
        }
        for (qint64 i = 0; i < batch; ++i)
            if (!visit(chunk[i], n + i + 1)) {
                ::close(fd);
                return {};
            }
        n += batch;
    }
    ::close(fd);
    return {};
}

} // namespace

StoreError ContactExport::run(const ContactStore &store, Format format, const Sink &sink,
                              QList<ExportWarning> &warnings, bool &sinkFailed, FieldText::Yeh yeh)
{
    sinkFailed = false;
    const qsizetype most = format == Csv ? CsvWriter::MaxRow : VcardWriter::MaxCard;
    std::vector<char> buffer(size_t(kPiece + most));
    char *const begin = buffer.data();
    char *p = begin;
    if (format == Csv) {
        QByteArray header;
        CsvWriter::begin(header);
        p = std::copy(header.cbegin(), header.cend(), p);
    }
    const VcardWriter::Version version = format == Vcard3 ? VcardWriter::V3 : VcardWriter::V4;
    const StoreError e = readRecords(store, [&](const ContactRecord &r, qint64 n) {
        p = format == Csv ? CsvWriter::write(r, n, p, warnings, yeh)
                          : VcardWriter::write(r, n, version, p, warnings, yeh);
        if (p - begin < kPiece)
            return true;
        sinkFailed = !sink(QByteArrayView(begin, p - begin));
        p = begin;
        return !sinkFailed;
    });
    if (e || sinkFailed)
        return e;
    if (p != begin)
        sinkFailed = !sink(QByteArrayView(begin, p - begin));
    return {};
}

StoreError ContactExport::run(const ContactStore &store, Format format, QByteArray &out,
                              QList<ExportWarning> &warnings, FieldText::Yeh yeh)
{
    bool failed = false;
    return run(
        store, format,
        [&out](QByteArrayView piece) {
            out += piece;
            return true;
        },
        warnings, failed, yeh);
}
