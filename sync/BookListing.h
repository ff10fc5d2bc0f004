#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "sync/DavTransport.h"

class SyncState;

// A card as the server gave it; empty data: it could not be read this time.
struct FetchedCard
{
    QByteArray etag;
    QByteArray data;
};

// What the server holds, as far as the listing tells.
struct BookContents
{
    QHash<QString, QByteArray> etags;  // each card there: its decoded path and ETag
    QStringList listed;                // the cards the listing named, in the server's order
    QHash<QString, FetchedCard> cards; // those it brought along with their data
    QByteArray tag;                    // the book's ctag, when it was asked for
    QByteArray token;                  // the sync-token the entries are brought up to
    QStringList skipped;               // one line for each href outside the book
};

// Reads the address book: its ctag, the changes since the last sync-token,
// a full listing when the server gives no changes, and the cards themselves.
// Only cards inside the book are ever named: every href the server gives is
// checked, and one outside is reported and left out.
class BookListing
{
public:
    BookListing(DavTransport &dav, const QUrl &book);

    // What the server holds now, against the state of the last sync. False with why.
    bool list(const SyncState &state, BookContents &out, QString &why);
    // The cards at paths. A card gone meanwhile is left out; one the answer
    // does not give is there with empty data. False with why when the server
    // fails or says it cut its answer short.
    bool fetch(const QStringList &paths, QHash<QString, FetchedCard> &out, QStringList &skipped,
               QString &why);

    // The decoded path of the member at href, when it lies inside the book on
    // the book's own origin; decoded once, it may hold no dot segment and no
    // slash that was encoded.
    static std::optional<QString> member(const QUrl &book, const QString &href);
    // A decoded path below the book's (which ends with '/').
    static bool holds(const QString &bookPath, const QString &path);
    static QString bookPathOf(const QUrl &book);
    static QString httpText(const DavReply &reply);

private:
    // A card as listed; a removed one comes only in a list of changes.
    struct Listed
    {
        QString path;
        QByteArray etag;
        bool removed = false;
        QByteArray data;
    };

    // What changed since token (everything, when it is empty), with the
    // cards' data when the server gives it; false when the
    // server refuses the report or its answer is unclear, and the caller
    // lists the book in full instead.
    bool changes(QByteArray &token, std::vector<Listed> &out, QStringList &skipped);
    bool listAll(std::vector<Listed> &out, QStringList &skipped, QString &why);
    // A member's path; an href outside the book gets a report line.
    std::optional<QString> memberOf(const QString &href, QStringList &skipped) const;

    DavTransport &m_dav;
    QUrl m_book;
    QString m_bookPath;
};
