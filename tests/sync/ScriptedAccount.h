#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include <QStringList>

#include "sync/AccountSync.h"
#include "tests/sync/ScriptedDav.h"

// A user's account on a scripted server: discovery from the server's root
// through the principal /u/ to its address books, and MKCOL to make one.
// /u/book/ is the ScriptedDav's book; the others are empty. Safe to share
// with the worker thread the window's sync runs on, one request at a time.
class ScriptedAccount
{
public:
    static constexpr auto Home = "/u/";

    ScriptedDav dav;
    QStringList books{QStringLiteral("book")}; // the folders in /u/ that are address books
    bool refuseLogin = false;
    int mkcolStatus = 201;
    std::vector<DavRequest> mkcols;
    QStringList elsewhere; // cards put in other books than /u/book/
    // Called on the sync's thread before the server's writes are answered.
    std::function<void(const std::vector<DavRequest> &)> beforeWrites;
    std::atomic_int running{0}; // requests being answered now
    std::atomic_int mostAtOnce{0};

    static QUrl root() { return QUrl(QString::fromLatin1(ScriptedDav::Origin) + u'/'); }

    AccountSync::Transport transport()
    {
        return [this](const AccountSync::Request &) { return std::make_unique<Link>(*this); };
    }

private:
    class Link : public DavTransport
    {
    public:
        explicit Link(ScriptedAccount &account) : m_account(account) {}
        DavReply send(const DavRequest &request) override { return sendAll({request}, {}).front(); }
        std::vector<DavReply> sendAll(const std::vector<DavRequest> &requests,
                                      const std::function<void(qsizetype)> &done) override
        {
            const int now = ++m_account.running;
            m_account.mostAtOnce = std::max(m_account.mostAtOnce.load(), now);
            if (m_account.beforeWrites && !requests.empty() &&
                (requests.front().method == "PUT" || requests.front().method == "DELETE"))
                m_account.beforeWrites(requests);
            std::vector<DavReply> out;
            {
                const std::lock_guard<std::mutex> hold(m_account.m_lock);
                for (const DavRequest &r : requests) {
                    out.push_back(m_account.answer(r));
                    if (done)
                        done(qsizetype(out.size()));
                }
            }
            --m_account.running;
            return out;
        }

    private:
        ScriptedAccount &m_account;
    };

    static QByteArray prop(const QString &href, const QByteArray &props)
    {
        return "<d:response><d:href>" + href.toUtf8() + "</d:href><d:propstat><d:prop>" + props +
               "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
    }
    static QByteArray bookProps(const QString &name)
    {
        return "<d:resourcetype><d:collection/><c:addressbook/></d:resourcetype><d:displayname>" +
               name.toUtf8() + "</d:displayname>";
    }

    DavReply answer(const DavRequest &r)
    {
        if (refuseLogin)
            return {401, {}, {}, {}, r.url};
        const QString path = r.url.path();
        const QString home = QString::fromLatin1(Home);
        if (r.method == "MKCOL") {
            mkcols.push_back(r);
            if (mkcolStatus == 201)
                books << path.mid(home.size()).chopped(1);
            return {mkcolStatus, {}, {}, {}, r.url};
        }
        if (r.method == "PROPFIND" && r.body.contains("current-user-principal")) {
            QByteArray out;
            if (path == u"/" || path == u"/.well-known/carddav")
                out = prop(path, "<d:current-user-principal><d:href>" + QByteArray(Home) +
                                     "</d:href></d:current-user-principal>");
            else if (path == home) {
                out = prop(home, "<d:resourcetype><d:collection/></d:resourcetype>"
                                 "<c:addressbook-home-set><d:href>" +
                                     QByteArray(Home) + "</d:href></c:addressbook-home-set>");
                if (r.depth == 1)
                    for (const QString &b : std::as_const(books))
                        out += prop(home + b + u'/', bookProps(b));
            } else if (books.contains(path.mid(home.size()).chopped(1)))
                out = prop(path, bookProps(path.mid(home.size()).chopped(1)));
            else
                return {404, {}, {}, {}, r.url};
            DavReply reply = ScriptedDav::multistatus(out);
            reply.url = r.url;
            return reply;
        }
        if (path.startsWith(QLatin1String(ScriptedDav::BookPath)))
            return dav.send(r);
        // Another book: it takes cards, and lists none.
        if (r.method == "PUT") {
            elsewhere << path;
            return {201, {}, {}, "\"x" + QByteArray::number(elsewhere.size()) + '"', r.url};
        }
        return {207, {}, ScriptedDav::multistatus({}).body, {}, r.url};
    }

    std::mutex m_lock;
};
