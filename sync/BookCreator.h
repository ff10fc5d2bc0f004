#pragma once

#include <QString>
#include <QUrl>

#include "sync/AddressBookFinder.h"

class DavTransport;

// Makes an address book for a user who has none, in their address book home
// (RFC 6352), with one extended MKCOL (RFC 5689) that sets its type and name.
class BookCreator
{
public:
    explicit BookCreator(DavTransport &client) : m_client(client) {}

    // url: the server's, the user's principal or home, as the finder takes it.
    // False with why, also when the server refuses to make it.
    bool create(const QUrl &url, const QString &name, AddressBook &made, QString &why);

private:
    // The first address book home of the user; empty with why when none.
    QUrl homeOf(const QUrl &url, QString &why);

    DavTransport &m_client;
};
