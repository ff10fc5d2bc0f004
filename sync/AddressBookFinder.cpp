#include "sync/AddressBookFinder.h"

#include "sync/DavTransport.h"
#include "sync/DavResponse.h"

namespace {

const QByteArray kAsk = QByteArrayLiteral(
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:propfind xmlns:d=\"DAV:\" "
    "xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:prop><d:resourcetype/><d:displayname/>"
    "<d:current-user-principal/><c:addressbook-home-set/><c:supported-address-data/>"
    "</d:prop></d:propfind>");

QString failure(const DavReply &r)
{
    if (r.status == 0)
        return r.error;
    if (r.status == 401)
        return QStringLiteral("نام کاربر يا رمز پذيرفته نشد (401)");
    return QStringLiteral("سرور پاسخ %1 داد").arg(r.status);
}

// A reply that ends the search: no answer, no login, or a multistatus that is
// broken or holds nothing, which a server never sends for a folder it has.
bool fatal(const DavReply &r)
{
    return r.status == 0 || r.status == 401 || r.status == 207;
}

} // namespace

// Empty when the answer holds at least one response; else what was wrong.
QString AddressBookFinder::ask(const QUrl &at, int depth, QList<DavResponse> &out, DavReply &reply)
{
    reply = m_client.send({"PROPFIND", at, kAsk, {}, depth});
    if (reply.status != 207)
        return failure(reply);
    if (!DavResponse::parse(reply.body, reply.url, out))
        return QStringLiteral("پاسخ %1 سرور WebDAV درستی نبود")
            .arg(reply.url.toString(QUrl::RemoveUserInfo));
    if (out.isEmpty())
        return QStringLiteral("پاسخ %1 سرور خالی بود (207 بی هیچ مورد)")
            .arg(reply.url.toString(QUrl::RemoveUserInfo));
    return {};
}

bool AddressBookFinder::find(const QUrl &url, QList<AddressBook> &books, QString &why)
{
    const auto bookOf = [](const QUrl &base, const DavResponse &r) {
        QUrl u = base;
        u.setPath(r.path.endsWith(u'/') ? r.path : r.path + u'/');
        return AddressBook{u, r.displayName, r.versions};
    };

    QList<DavResponse> here;
    DavReply reply;
    QStringList principals;
    if (const QString trouble = ask(url, 0, here, reply); trouble.isEmpty()) {
        if (here.front().addressBook) {
            books = {bookOf(reply.url, here.front())};
            return true;
        }
        principals = here.front().principal;
        if (!here.front().homes.isEmpty())
            principals = {here.front().path};
    } else if (fatal(reply)) {
        why = trouble;
        return false;
    }
    QUrl origin = reply.status ? reply.url : url;
    if (principals.isEmpty() && url.path() != QLatin1String("/")) {
        // An address given in full is taken at its word.
        why = QStringLiteral("در %1 دفترچه نشاني CardDAV نيست (%2)")
                  .arg(url.toString(QUrl::RemoveUserInfo),
                       reply.status == 207 ? QStringLiteral("يک پوشه ديگر است") : failure(reply));
        return false;
    }
    if (principals.isEmpty()) {
        QUrl known = url;
        known.setPath(QStringLiteral("/.well-known/carddav"));
        QList<DavResponse> found;
        DavReply r;
        const QString trouble = ask(known, 0, found, r);
        if (!trouble.isEmpty() || found.front().principal.isEmpty()) {
            why = fatal(r) && !trouble.isEmpty()
                      ? trouble
                      : QStringLiteral("در %1 سرور CardDAV پيدا نشد (%2)")
                            .arg(url.toString(QUrl::RemoveUserInfo), failure(reply));
            return false;
        }
        principals = found.front().principal;
        origin = r.url;
    }

    QStringList homes;
    for (const QString &p : std::as_const(principals)) {
        QUrl at = origin;
        at.setPath(p);
        QList<DavResponse> got;
        if (const QString trouble = ask(at, 0, got, reply); trouble.isEmpty()) {
            homes += got.front().homes.isEmpty() ? QStringList{p} : got.front().homes;
        } else if (fatal(reply)) {
            why = trouble;
            return false;
        }
        origin = reply.url;
    }
    for (const QString &h : std::as_const(homes)) {
        QUrl at = origin;
        at.setPath(h);
        QList<DavResponse> got;
        if (const QString trouble = ask(at, 1, got, reply); !trouble.isEmpty()) {
            why = QStringLiteral("دفترچه هاي %1 خوانده نشد: %2")
                      .arg(at.toString(QUrl::RemoveUserInfo), trouble);
            return false;
        }
        for (const DavResponse &r : std::as_const(got))
            if (r.addressBook)
                books.append(bookOf(reply.url, r));
    }
    return true;
}

VcardWriter::Version AddressBook::cardVersion() const
{
    for (const QString &v : versions) {
        if (v == QLatin1String("4.0"))
            return VcardWriter::V4;
        if (v == QLatin1String("3.0"))
            return VcardWriter::V3;
    }
    return VcardWriter::V3;
}
