#include "ContactExport.h"

#include "ContactStore.h"
#include "CsvWriter.h"
#include "VcardWriter.h"

StoreError ContactExport::run(const ContactStore &store, Format format, QByteArray &out,
                              QList<ExportWarning> &warnings)
{
    qint64 count = 0;
    if (store.CountWholeRecords(count).ok())
        out.reserve(out.size() + qsizetype(count) * (format == Csv ? 120 : 240));
    if (format == Csv) {
        CsvWriter::begin(out);
        return store.ReadAllRecords([&](const ContactRecord &r, qint64 n) {
            CsvWriter::write(r, n, out, warnings);
            return true;
        });
    }
    const VcardWriter::Version version = format == Vcard3 ? VcardWriter::V3 : VcardWriter::V4;
    return store.ReadAllRecords([&](const ContactRecord &r, qint64 n) {
        VcardWriter::write(r, n, version, out, warnings);
        return true;
    });
}
