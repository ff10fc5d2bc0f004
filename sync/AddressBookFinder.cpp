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

} // namespace

bool AddressBookFinder::find(const QUrl &url, QList<AddressBook> &books, QString &why)
{
    const auto ask = [&](const QUrl &at, int depth, QList<DavResponse> &out, DavReply &reply) {
        reply = m_client.send({"PROPFIND", at, kAsk, {}, depth});
        return reply.status == 207 && DavResponse::parse(reply.body, reply.url, out);
    };
    const auto bookOf = [](const QUrl &base, const DavResponse &r) {
        QUrl u = base;
        u.setPath(r.path.endsWith(u'/') ? r.path : r.path + u'/');
        return AddressBook{u, r.displayName, r.versions};
    };

    QList<DavResponse> here;
    DavReply reply;
    QStringList principals;
    if (ask(url, 0, here, reply) && !here.isEmpty()) {
        if (here.front().addressBook) {
            books = {bookOf(reply.url, here.front())};
            return true;
        }
        principals = here.front().principal;
        if (!here.front().homes.isEmpty())
            principals = {here.front().path};
    } else if (reply.status == 0 || reply.status == 401) {
        why = failure(reply);
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
        if (!ask(known, 0, found, r) || found.isEmpty() || found.front().principal.isEmpty()) {
            why = r.status == 401 ? failure(r)
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
        if (ask(at, 0, got, reply) && !got.isEmpty())
            homes += got.front().homes.isEmpty() ? QStringList{p} : got.front().homes;
        else if (reply.status == 0 || reply.status == 401) {
            why = failure(reply);
            return false;
        }
        origin = reply.url;
    }
    for (const QString &h : std::as_const(homes)) {
        QUrl at = origin;
        at.setPath(h);
        QList<DavResponse> got;
        if (!ask(at, 1, got, reply)) {
            why = QStringLiteral("دفترچه هاي %1 خوانده نشد: %2")
                      .arg(at.toString(QUrl::RemoveUserInfo), failure(reply));
            return false;
        }
        for (const DavResponse &r : std::as_const(got))
            if (r.addressBook)
                books.append(bookOf(reply.url, r));
    }
    return true;
}
