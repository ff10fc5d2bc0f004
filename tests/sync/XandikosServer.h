#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include "sync/DavResponse.h"
#include "tests/sync/DavTestServer.h"

// Debian's Xandikos, with the address book it makes by default. It asks for
// no login.
class XandikosServer : public DavTestServer
{
public:
    XandikosServer() : DavTestServer(false, {"-", "-"}) {}

    bool start(QString &why)
    {
        return takeFreePort(why) && launch("xandikos", "/usr/bin/xandikos",
                                           {"-d", folder(), "--defaults", "-l", "127.0.0.1", "-p",
                                            QString::number(port())},
                                           why);
    }

    QUrl book() const { return url(QStringLiteral("/user/contacts/addressbook/")); }

    // Each card of the book by path, as the server gives it.
    QMap<QString, QByteArray> cards() const
    {
        QMap<QString, QByteArray> out;
        const Answer listing = request("PROPFIND", book().path(), {}, {"Depth:1"});
        QList<DavResponse> items;
        DavResponse::parse(listing.body, book(), items);
        for (const DavResponse &r : std::as_const(items))
            if (!r.collection && r.path != book().path())
                out.insert(r.path, request("GET", r.path).body);
        return out;
    }
};
