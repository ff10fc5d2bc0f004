#include "sync/BookListing.h"

#include <vector>

#include <QSet>

#include "sync/DavResponse.h"
#include "sync/SyncState.h"

namespace {

constexpr int kPerMultiget = 250;
constexpr int kSyncRounds = 1000; // a server may split its answer to a sync report

const QByteArray kTagBody = QByteArrayLiteral(
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:propfind xmlns:d=\"DAV:\" "
    "xmlns:s=\"http://calendarserver.org/ns/\"><d:prop><s:getctag/></d:prop></d:propfind>");
const QByteArray kListBody = QByteArrayLiteral(
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:propfind xmlns:d=\"DAV:\"><d:prop>"
    "<d:getetag/><d:resourcetype/></d:prop></d:propfind>");

// With the cards' data, so that what changed needs no multiget after it.
QByteArray syncBody(const QByteArray &token, bool withData)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:sync-collection xmlns:d=\"DAV:\" "
           "xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:sync-token>" +
           QString::fromUtf8(token).toHtmlEscaped().toUtf8() +
           "</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/><d:resourcetype/>" +
           (withData ? QByteArray("<c:address-data/>") : QByteArray()) +
           "</d:prop></d:sync-collection>";
}

QByteArray multigetBody(const QUrl &book, const QStringList &paths)
{
    QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?><c:addressbook-multiget "
                      "xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:prop>"
                      "<d:getetag/><c:address-data/></d:prop>";
    for (const QString &path : paths) {
        QUrl u = book;
        u.setPath(path);
        body += "<d:href>" + u.path(QUrl::FullyEncoded).toHtmlEscaped().toUtf8() + "</d:href>";
    }
    return body + "</c:addressbook-multiget>";
}

bool sameCollection(QStringView a, QStringView b)
{
    if (a.endsWith(u'/'))
        a.chop(1);
    if (b.endsWith(u'/'))
        b.chop(1);
    return a == b;
}

// 507 on any response: the server stopped before the end of its answer.
bool cutShort(const QList<DavResponse> &items)
{
    for (const DavResponse &i : items)
        if (i.status == 507)
            return true;
    return false;
}

// A member removed, in a list of changes or a multiget.
bool gone(int status)
{
    return status == 404 || status == 410;
}

const QString kNotWebDav = QStringLiteral("پاسخ WebDAV درستي نبود");

} // namespace

BookListing::BookListing(DavTransport &dav, const QUrl &book)
    : m_dav(dav), m_book(book), m_bookPath(bookPathOf(book))
{
}

QString BookListing::bookPathOf(const QUrl &book)
{
    QString path = book.path(QUrl::FullyDecoded);
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}

QString BookListing::httpText(const DavReply &r)
{
    if (r.status == 0)
        return r.error;
    if (r.status == 401)
        return QStringLiteral("نام کاربر يا رمز پذيرفته نشد (401)");
    if (r.status == 403)
        return QStringLiteral("سرور اجازه نداد (403)");
    if (r.status == 404)
        return QStringLiteral("چنين دفترچه نشاني در سرور نيست (404)");
    return QStringLiteral("سرور پاسخ %1 داد").arg(r.status);
}

bool BookListing::holds(const QString &bookPath, const QString &path)
{
    if (!path.startsWith(bookPath) || path.size() == bookPath.size())
        return false;
    for (const QStringView segment : QStringView(path).split(u'/'))
        if (segment == u"." || segment == u"..")
            return false;
    return true;
}

std::optional<QString> BookListing::member(const QUrl &book, const QString &href)
{
    const QUrl given(href);
    if (href.isEmpty() || !given.isValid())
        return std::nullopt;
    const QUrl url = book.resolved(given);
    const int port = book.scheme() == QLatin1String("https") ? 443 : 80;
    if (url.scheme() != book.scheme() || url.host() != book.host() ||
        url.port(port) != book.port(port) || !url.userInfo().isEmpty() || url.hasQuery() ||
        url.hasFragment())
        return std::nullopt;
    // Before resolving, which would fold dot segments away.
    const QByteArray encoded = given.path(QUrl::FullyEncoded).toUtf8();
    if (encoded.contains("%2F") || encoded.contains("%2f") || encoded.contains("%5C") ||
        encoded.contains("%5c"))
        return std::nullopt;
    for (const QByteArrayView segment : QByteArray::fromPercentEncoding(encoded).split('/'))
        if (segment == "." || segment == "..")
            return std::nullopt;
    const QString path = url.path(QUrl::FullyDecoded);
    if (!holds(bookPathOf(book), path))
        return std::nullopt;
    return path;
}

std::optional<QString> BookListing::memberOf(const QString &href, QStringList &skipped) const
{
    std::optional<QString> path = member(m_book, href);
    if (!path) {
        const QString line =
            QStringLiteral("%1: نشانی بیرون از دفترچه است؛ نه خوانده شد و نه در آن چیزی نوشته شد.")
                .arg(href);
        if (!skipped.contains(line))
            skipped << line;
    }
    return path;
}

bool BookListing::list(const SyncState &state, BookContents &out, QString &why)
{
    out = {};
    // Without a state there is nothing to compare a ctag with.
    if (!state.entries.empty() || !state.tag.isEmpty()) {
        const DavReply asked = m_dav.send({"PROPFIND", m_book, kTagBody, {}, 0});
        if (asked.status == 401) {
            why = httpText(asked);
            return false;
        }
        QList<DavResponse> items;
        if (asked.status == 207 && DavResponse::parse(asked.body, asked.url, items) &&
            !items.isEmpty() && !cutShort(items))
            out.tag = items.front().ctag;
        if (!out.tag.isEmpty() && out.tag == state.tag) {
            // Nothing changed there since the last sync saw it.
            for (const SyncEntry &e : state.entries)
                out.etags.insert(e.path, e.etag);
            out.token = state.token;
            return true;
        }
    }
    std::vector<Listed> got;
    QByteArray token = state.token;
    if (!token.isEmpty() && changes(token, got, out.skipped)) {
        // Only what changed since the token: the rest is as the entries have
        // it. An entry without an ETag was never confirmed, so only a change
        // listed for it says that its card exists.
        for (const SyncEntry &e : state.entries)
            if (!e.etag.isEmpty())
                out.etags.insert(e.path, e.etag);
    } else {
        got.clear();
        token.clear();
        if (!changes(token, got, out.skipped)) {
            got.clear();
            token.clear();
            if (!listAll(got, out.skipped, why))
                return false;
        }
    }
    for (Listed &l : got) {
        out.cards.remove(l.path);
        if (l.removed) {
            out.etags.remove(l.path);
            continue;
        }
        out.etags.insert(l.path, l.etag);
        out.listed << l.path;
        if (!l.data.isEmpty())
            out.cards.insert(l.path, {l.etag, std::move(l.data)});
    }
    out.token = token;
    return true;
}

bool BookListing::changes(QByteArray &token, std::vector<Listed> &out, QStringList &skipped)
{
    // A server that cannot give the data with the list, or whose answer with
    // it is too large, is asked for the list alone.
    bool withData = true;
    for (int round = 0; round < kSyncRounds; ++round) {
        const DavReply r = m_dav.send({"REPORT", m_book, syncBody(token, withData), {}, 0});
        if (r.status != 207 && withData && r.status != 401) {
            withData = false;
            --round;
            continue;
        }
        QList<DavResponse> items;
        QByteArray next;
        if (r.status != 207 || !DavResponse::parse(r.body, r.url, items, &next) || next.isEmpty())
            return false;
        const bool more = cutShort(items); // the rest comes from the new token
        for (const DavResponse &i : std::as_const(items)) {
            if (i.status == 507 || sameCollection(i.path, m_bookPath) ||
                (i.collection && !gone(i.status)))
                continue;
            if (i.status >= 300 && !gone(i.status))
                return false; // neither there nor removed: no answer to build on
            if (const std::optional<QString> path = memberOf(i.href, skipped))
                out.push_back({*path, i.etag, gone(i.status), i.addressData});
        }
        if (more && next == token)
            return false; // it would only say the same again
        token = next;
        if (!more)
            return true;
    }
    return false;
}

bool BookListing::listAll(std::vector<Listed> &out, QStringList &skipped, QString &why)
{
    const DavReply all = m_dav.send({"PROPFIND", m_book, kListBody, {}, 1});
    QList<DavResponse> items;
    if (!all.ok() || !DavResponse::parse(all.body, all.url, items)) {
        why =
            QStringLiteral("فهرست کارتهاي %1 گرفته نشد: %2")
                .arg(m_book.toString(QUrl::RemoveUserInfo), all.ok() ? kNotWebDav : httpText(all));
        return false;
    }
    if (cutShort(items)) {
        // clang-format off
        why = QStringLiteral("سرور فهرست کارت‌های %1 را نیمه‌کاره فرستاد (507).")
                  .arg(m_book.toString(QUrl::RemoveUserInfo));
        // clang-format on
        return false;
    }
    for (const DavResponse &r : std::as_const(items)) {
        if (r.collection || r.status >= 300 || sameCollection(r.path, m_bookPath))
            continue;
        if (const std::optional<QString> path = memberOf(r.href, skipped))
            out.push_back({*path, r.etag, false, {}});
    }
    return true;
}

bool BookListing::fetch(const QStringList &paths, QHash<QString, FetchedCard> &out,
                        QStringList &skipped, QString &why)
{
    std::vector<DavRequest> gets;
    for (qsizetype i = 0; i < paths.size(); i += kPerMultiget)
        gets.push_back({"REPORT", m_book, multigetBody(m_book, paths.mid(i, kPerMultiget)), {}, 1});
    const QString book = m_book.toString(QUrl::RemoveUserInfo);
    const QSet<QString> asked(paths.cbegin(), paths.cend());
    QSet<QString> removed;
    for (const DavReply &r : gets.empty() ? std::vector<DavReply>() : m_dav.sendAll(gets)) {
        QList<DavResponse> got;
        if (!r.ok() || !DavResponse::parse(r.body, r.url, got)) {
            why = QStringLiteral("کارتهاي %1 خوانده نشد: %2")
                      .arg(book, r.ok() ? kNotWebDav : httpText(r));
            return false;
        }
        if (cutShort(got)) {
            // clang-format off
            why = QStringLiteral("سرور کارت‌های %1 را نیمه‌کاره فرستاد (507).").arg(book);
            // clang-format on
            return false;
        }
        for (DavResponse &g : got) {
            const std::optional<QString> path = memberOf(g.href, skipped);
            if (!path || !asked.contains(*path))
                continue;
            if (gone(g.status))
                removed.insert(*path);
            else
                out.insert(*path,
                           {g.etag, g.status < 300 ? std::move(g.addressData) : QByteArray()});
        }
    }
    // A card the answer left out is not taken as removed.
    for (const QString &path : paths)
        if (!out.contains(path) && !removed.contains(path))
            out.insert(path, {});
    return true;
}
