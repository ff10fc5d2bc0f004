// The contact formats on arbitrary bytes. As an import: reading never crashes
// and every contact read makes a record. As a record: the first 156 bytes,
// exported in each format and read back, give the same record again, unless a
// byte the format cannot carry was named.
#include <cstdint>

#include "contacts/ContactImport.h"
#include "contacts/CsvWriter.h"
#include "contacts/RecordBuilder.h"
#include "contacts/VcardWriter.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

// An address of several lines comes back as one line, its lines joined, by
// design; every other field must come back as it was.
bool sameRecord(const ContactRecord &back, const ContactRecord &record)
{
    const QByteArrayView address = record.fieldBytes(ContactRecord::Address);
    if (!address.contains('\n') && !address.contains('\r'))
        return back == record;
    for (const ContactRecord::Field f :
         {ContactRecord::Name, ContactRecord::Family, ContactRecord::Phone, ContactRecord::Mobile})
        if (back.fieldBytes(f) != record.fieldBytes(f))
            return false;
    return back.ID() == record.ID();
}

void roundTrip(const ContactRecord &record, int format)
{
    QByteArray text;
    QList<ExportWarning> warnings;
    if (format == 2) {
        CsvWriter::begin(text);
        CsvWriter::write(record, 1, text, warnings);
    } else {
        VcardWriter::write(record, 1, format ? VcardWriter::V3 : VcardWriter::V4, text, warnings);
    }
    int read = 0;
    const ReadResult r =
        ContactImport::read(text, format == 2 ? ContactImport::Csv : ContactImport::Vcard,
                            [&](const ContactDraft &draft) {
                                QList<DraftNote> notes;
                                const ContactRecord back = RecordBuilder::build(draft, 1, notes);
                                FUZZ_CHECK(!warnings.isEmpty() || sameRecord(back, record));
                                ++read;
                            });
    FUZZ_CHECK(!warnings.isEmpty() || (r.ok() && read == 1));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const ContactImport::Format f :
         {ContactImport::Auto, ContactImport::Vcard, ContactImport::Csv}) {
        int contacts = 0;
        const ReadResult r = ContactImport::read(bytes, f, [&](const ContactDraft &draft) {
            QList<DraftNote> notes = draft.notes;
            RecordBuilder::build(draft, 1, notes);
            ++contacts;
        });
        FUZZ_CHECK(r.ok() ? r.contacts == contacts : r.errorLine >= 1);
    }
    if (size >= size_t(ContactRecord::Size)) {
        const ContactRecord record = ContactRecord::fromBytes(bytes);
        for (int format = 0; format < 3; ++format)
            roundTrip(record, format);
    }
    return 0;
}
