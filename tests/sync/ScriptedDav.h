#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QUrl>
#include <QXmlStreamReader>

#include "sync/DavTransport.h"

// A CardDAV address book in process: ctag, sync-collection, PROPFIND listing,
// multiget, conditional PUT and DELETE, as a well-behaved server answers them.
// A test scripts any other answer through script(), and every request is kept.
class ScriptedDav : public DavTransport
{
public:
    struct Card
    {
        QByteArray etag;
        QByteArray data;
    };

    static constexpr auto Origin = "http://127.0.0.1:5232";
    static constexpr auto BookPath = "/u/book/";

    // Answers a request instead of the book, when it returns one.
    std::function<std::optional<DavReply>(const DavRequest &)> script;
    // Changes the book's own answer.
    std::function<void(const DavRequest &, DavReply &)> alter;
    std::vector<DavRequest> requests;
    // Whether a list of changes gives the cards' data when asked, as Radicale does.
    bool dataInChanges = false;

    static QUrl book() { return QUrl(QString::fromLatin1(Origin) + BookPath); }

    const QMap<QString, Card> &cards() const { return m_cards; }
    void put(const QString &name, const QByteArray &data)
    {
        m_cards[BookPath + name] = {etag(), data};
        m_log.push_back({BookPath + name, false});
    }
    void remove(const QString &name)
    {
        m_cards.remove(BookPath + name);
        m_log.push_back({BookPath + name, true});
    }
    // Requests whose URL is not in the book.
    QStringList outside() const
    {
        QStringList out;
        for (const DavRequest &r : requests)
            if (r.url.adjusted(QUrl::RemovePath) != book().adjusted(QUrl::RemovePath) ||
                !r.url.path().startsWith(BookPath) || r.url.path().contains(u"/.") ||
                r.url.path(QUrl::FullyEncoded).contains(u'%'))
                out << QString::fromLatin1(r.method) + u' ' + r.url.toString();
        return out;
    }
    int count(const QByteArray &method) const
    {
        return int(std::count_if(requests.begin(), requests.end(),
                                 [&](const DavRequest &r) { return r.method == method; }));
    }

    DavReply send(const DavRequest &request) override
    {
        requests.push_back(request);
        std::optional<DavReply> scripted = script ? script(request) : std::nullopt;
        DavReply r = scripted ? *scripted : answer(request);
        if (!scripted && alter)
            alter(request, r);
        r.url = request.url;
        return r;
    }
    std::vector<DavReply> sendAll(const std::vector<DavRequest> &all,
                                  const std::function<void(qsizetype)> &done) override
    {
        std::vector<DavReply> out;
        for (const DavRequest &r : all) {
            out.push_back(send(r));
            if (done)
                done(qsizetype(out.size()));
        }
        return out;
    }

    // One <response> of a multistatus.
    static QByteArray response(const QString &href, const QByteArray &etag,
                               const QByteArray &data = {}, int status = 200)
    {
        QByteArray out = "<d:response><d:href>" + href.toHtmlEscaped().toUtf8() + "</d:href>";
        if (status != 200)
            return out + "<d:status>HTTP/1.1 " + QByteArray::number(status) +
                   " X</d:status></d:response>";
        out += "<d:propstat><d:prop><d:getetag>" + etag + "</d:getetag>";
        if (!data.isEmpty())
            out += "<c:address-data>" + QString::fromUtf8(data).toHtmlEscaped().toUtf8() +
                   "</c:address-data>";
        return out + "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
    }
    static DavReply multistatus(const QByteArray &responses, const QByteArray &token = {})
    {
        QByteArray body = "<d:multistatus xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:"
                          "carddav\" xmlns:s=\"http://calendarserver.org/ns/\">" +
                          responses;
        if (!token.isEmpty())
            body += "<d:sync-token>" + token + "</d:sync-token>";
        return {207, {}, body + "</d:multistatus>", {}, {}};
    }
    QByteArray token() const { return "tok-" + QByteArray::number(m_log.size()); }

private:
    struct Change
    {
        QString path;
        bool removed;
    };

    QByteArray etag() { return "\"e" + QByteArray::number(++m_etags) + '"'; }
    static QByteArray header(const DavRequest &r, const QByteArray &name)
    {
        for (const auto &[n, v] : r.headers)
            if (n == name)
                return v;
        return {};
    }

    DavReply answer(const DavRequest &r)
    {
        const QString path = r.url.path(QUrl::FullyDecoded);
        if (r.method == "PROPFIND" && r.depth == 0)
            return multistatus("<d:response><d:href>" + QByteArray(BookPath) +
                               "</d:href><d:propstat><d:prop><s:getctag>" + token() +
                               "</s:getctag></d:prop><d:status>HTTP/1.1 200 OK</d:status>"
                               "</d:propstat></d:response>");
        if (r.method == "PROPFIND")
            return listing();
        if (r.method == "REPORT" && r.body.contains("sync-collection"))
            return changes(r.body);
        if (r.method == "REPORT")
            return multiget(r.body);
        const auto it = m_cards.find(path);
        const QByteArray ifMatch = header(r, "If-Match");
        if ((!ifMatch.isEmpty() && (it == m_cards.end() || it->etag != ifMatch)) ||
            (header(r, "If-None-Match") == "*" && it != m_cards.end()))
            return {412, {}, {}, {}, {}};
        if (r.method == "DELETE") {
            if (it == m_cards.end())
                return {404, {}, {}, {}, {}};
            remove(path.mid(qsizetype(strlen(BookPath))));
            return {204, {}, {}, {}, {}};
        }
        const bool created = it == m_cards.end();
        put(path.mid(qsizetype(strlen(BookPath))), r.body);
        return {created ? 201 : 204, {}, {}, m_cards[path].etag, {}};
    }

    DavReply listing() const
    {
        QByteArray out;
        for (auto it = m_cards.cbegin(); it != m_cards.cend(); ++it)
            out += response(it.key(), it->etag);
        return multistatus(out);
    }

    DavReply changes(const QByteArray &body) const
    {
        const qsizetype from = body.indexOf("<d:sync-token>") + 14;
        const QByteArray since = body.mid(from, body.indexOf("</d:sync-token>") - from);
        qsizetype start = 0;
        if (!since.isEmpty()) {
            if (!since.startsWith("tok-"))
                return {403, {}, {}, {}, {}};
            start = since.mid(4).toLongLong();
        }
        QMap<QString, bool> changed;
        for (size_t i = size_t(start); i < m_log.size(); ++i)
            changed[m_log[i].path] = m_log[i].removed;
        QByteArray out;
        for (auto it = changed.cbegin(); it != changed.cend(); ++it) {
            if (it.value() && !m_cards.contains(it.key()))
                out += since.isEmpty() ? QByteArray() : response(it.key(), {}, {}, 404);
            else if (m_cards.contains(it.key()))
                out +=
                    response(it.key(), m_cards[it.key()].etag,
                             dataInChanges && body.contains("address-data") ? m_cards[it.key()].data
                                                                            : QByteArray());
        }
        return multistatus(out, token());
    }

    DavReply multiget(const QByteArray &body) const
    {
        QXmlStreamReader xml(body);
        QByteArray out;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"href") {
                const QString href = xml.readElementText();
                const QString path = QUrl(href).path(QUrl::FullyDecoded);
                const auto it = m_cards.find(path);
                out += it == m_cards.end() ? response(href, {}, {}, 404)
                                           : response(href, it->etag, it->data);
            }
        }
        return multistatus(out);
    }

    QMap<QString, Card> m_cards;
    std::vector<Change> m_log;
    int m_etags = 0;
};
