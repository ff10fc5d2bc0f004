// A server's multistatus on arbitrary bytes: parsing never crashes, makes no
// more responses than the text names, and finds nothing the text does not hold.
#include <cstdint>

#include <QUrl>

#include "sync/DavResponse.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QUrl base(QStringLiteral("https://dav.example/u/book/"));
    QList<DavResponse> out;
    QByteArray token;
    DavResponse::parse(bytes, base, out, &token);
    FUZZ_CHECK(out.size() <= bytes.count("response"));
    FUZZ_CHECK(token.isEmpty() || bytes.contains("sync-token"));
    for (const DavResponse &r : std::as_const(out))
        FUZZ_CHECK(!r.addressBook || bytes.contains("addressbook"));
    return 0;
}
