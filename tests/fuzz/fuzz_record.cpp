// The record: any bytes make a record whose fields decode and encode back to the
// same bytes, and whose fields match the search keys built from their own text.
#include <cstdint>

#include <QByteArray>

#include "store/ContactRecord.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const ContactRecord r = ContactRecord::fromBytes(input);
    const QByteArray bytes = r.toByteArray();
    if (input.size() >= ContactRecord::Size)
        FUZZ_CHECK(bytes == input.left(ContactRecord::Size));
    else
        FUZZ_CHECK(bytes == input + ContactRecord().toByteArray().mid(input.size()));

    constexpr ContactRecord::Field fields[] = {ContactRecord::Name, ContactRecord::Family,
                                               ContactRecord::Phone, ContactRecord::Mobile,
                                               ContactRecord::Address};
    ContactRecord again;
    for (const ContactRecord::Field f : fields) {
        const QString text = r.text(f);
        FUZZ_CHECK(text.size() == ContactRecord::width(f));
        FUZZ_CHECK(r.fieldEquals(f, ContactRecord::key(f, text)));
        again.setText(f, text);
    }
    again.setID(r.ID());
    FUZZ_CHECK(again.toByteArray() == bytes);
    return 0;
}
