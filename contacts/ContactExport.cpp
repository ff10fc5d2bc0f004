#include "contacts/ContactExport.h"

#include <vector>

#include "contacts/CsvWriter.h"
#include "contacts/VcardWriter.h"
#include "store/ContactStore.h"

namespace {

// Small enough to stay in the cache and to fault its pages in once, however
// long the text.
constexpr qsizetype kPiece = 64 * 1024;

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
    const StoreError e = store.ReadAllRecords([&](const ContactRecord &r, qint64 n) {
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
