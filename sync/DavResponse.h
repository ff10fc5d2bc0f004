#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// One <response> of a WebDAV multistatus, with the properties this client asks
// for. Only properties the server gave with status 200 are set.
struct DavResponse
{
    QString href; // as the server wrote it
    QString path; // the href resolved against the request, decoded
    int status = 200;
    QByteArray etag;
    QByteArray ctag; // CalendarServer's getctag: changes with any member
    bool collection = false;
    bool addressBook = false;
    QString displayName;
    QStringList principal; // current-user-principal
    QStringList homes;     // addressbook-home-set
    QByteArray addressData;
    QStringList versions; // supported-address-data, in the server's order

    // False when the body is no multistatus. syncToken gets the multistatus's
    // own sync-token (a sync-collection report's), when asked for.
    static bool parse(const QByteArray &body, const QUrl &base, QList<DavResponse> &out,
                      QByteArray *syncToken = nullptr);
    // The decoded path of an href, as parse gives it.
    static QString pathOf(const QUrl &base, const QString &href);
};
