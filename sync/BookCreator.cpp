#include "sync/BookCreator.h"

#include <QUuid>

#include "sync/DavTransport.h"
#include "sync/DavResponse.h"

namespace {

const QByteArray kAskHome = QByteArrayLiteral(
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:propfind xmlns:d=\"DAV:\" "
    "xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:prop><d:current-user-principal/>"
    "<c:addressbook-home-set/></d:prop></d:propfind>");

QByteArray mkcolBody(const QString &name)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:mkcol xmlns:d=\"DAV:\" "
           "xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:set><d:prop><d:resourcetype>"
           "<d:collection/><c:addressbook/></d:resourcetype><d:displayname>" +
           name.toHtmlEscaped().toUtf8() + "</d:displayname></d:prop></d:set></d:mkcol>";
}

QString answerText(const DavReply &r)
{
    if (r.status == 0)
        return r.error;
    if (r.status == 401)
        return QStringLiteral("نام کاربر يا رمز پذيرفته نشد (401)");
    return QStringLiteral("سرور پاسخ %1 داد").arg(r.status);
}

} // namespace

QUrl BookCreator::homeOf(const QUrl &url, QString &why)
{
    QUrl at = url;
    for (int hop = 0; hop < 4; ++hop) {
        const DavReply r = m_client.send({"PROPFIND", at, kAskHome, {}, 0});
        QList<DavResponse> got;
        if (r.status == 207 && DavResponse::parse(r.body, r.url, got) && !got.isEmpty()) {
            QUrl next = r.url;
            if (!got.front().homes.isEmpty()) {
                next.setPath(got.front().homes.front());
                return next;
            }
            if (!got.front().principal.isEmpty() && got.front().principal.front() != at.path()) {
                next.setPath(got.front().principal.front());
                at = next;
                continue;
            }
        } else if (r.status == 0 || r.status == 401) {
            why = answerText(r);
            return {};
        }
        if (hop > 0 || at.path() == QLatin1String("/.well-known/carddav"))
            break;
        at.setPath(QStringLiteral("/.well-known/carddav"));
    }
    why = QStringLiteral(
        "سرور جای دفترچه‌های نشانی این کاربر را نگفت");
    return {};
}

bool BookCreator::create(const QUrl &url, const QString &name, AddressBook &made, QString &why)
{
    const QUrl home = homeOf(url, why);
    if (home.isEmpty())
        return false;
    QString base = home.path();
    if (!base.endsWith(u'/'))
        base += u'/';
    // A readable name first; a folder of that name that is no book already
    // takes it, and then one no other client would pick.
    const QStringList names{name.toLower(), name.toLower() + u'-' +
                                                QUuid::createUuid().toString(QUuid::Id128).left(8)};
    DavReply r;
    for (const QString &folder : names) {
        QUrl at = home;
        at.setPath(base + folder + u'/');
        r = m_client.send({"MKCOL", at, mkcolBody(name), {}, -1});
        if (r.status == 201) {
            made = {at, name, {}};
            return true;
        }
        if (r.status != 405)
            break;
    }
    if (r.status == 403 || r.status == 405 || r.status == 415 || r.status == 501 ||
        r.status == 207 || r.status == 422)
        why = QStringLiteral("سرور ساختن دفترچهٔ نشانی را نپذیرفت (پاسخ %1)؛ دفترچه را در "
                             "سرور یا با برنامهٔ دیگری بسازید.")
                  .arg(r.status);
    else
        why = QStringLiteral("دفترچهٔ نشانی ساخته نشد: %1").arg(answerText(r));
    return false;
}
