#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "contacts/VcardWriter.h"

class DavTransport;
struct DavReply;
struct DavResponse;

struct AddressBook
{
    QUrl url;
    QString name;
    QStringList versions; // vCard versions the server takes, in its order

    // The first of them that the writer writes; 3.0, which every server takes.
    VcardWriter::Version cardVersion() const;
};

// Finds the user's address books from an address book's URL or a server's
// (RFC 6764: /.well-known/carddav; RFC 6352: the principal's home set).
class AddressBookFinder
{
public:
    explicit AddressBookFinder(DavTransport &client) : m_client(client) {}

    // False with why when the server could not be asked; an empty list when
    // it has none.
    bool find(const QUrl &url, QList<AddressBook> &books, QString &why);

private:
    QString ask(const QUrl &at, int depth, QList<DavResponse> &out, DavReply &reply);

    DavTransport &m_client;
};
