#include "ContactExport.h"

#include "ContactStore.h"
#include "CsvWriter.h"
#include "VcardWriter.h"

StoreError ContactExport::run(const ContactStore &store, Format format, QByteArray &out,
                              QList<ExportWarning> &warnings)
{
    // Room for the most every record can take, written through a pointer and
    // cut to size at the end; pages never written are never touched.
    const qsizetype most = format == Csv ? CsvWriter::MaxRow : VcardWriter::MaxCard;
    qint64 count = 0;
    store.CountWholeRecords(count);
    const qsizetype start = out.size();
    if (format == Csv)
        CsvWriter::begin(out);
    qsizetype at = out.size();
    out.resize(at + (count + 1) * most);
    char *p = out.data() + at;
    const VcardWriter::Version version = format == Vcard3 ? VcardWriter::V3 : VcardWriter::V4;
    const StoreError e = store.ReadAllRecords([&](const ContactRecord &r, qint64 n) {
        if (out.constData() + out.size() - p < most) { // the file grew since it was counted
            at = p - out.constData();
            out.resize(out.size() * 2);
            p = out.data() + at;
        }
        p = format == Csv ? CsvWriter::write(r, n, p, warnings)
                          : VcardWriter::write(r, n, version, p, warnings);
        return true;
    });
    out.resize(e ? start : p - out.constData());
    return e;
}
