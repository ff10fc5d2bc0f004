#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QHash>
#include <QMultiHash>
#include <QString>
#include <QStringList>

#include "contacts/VcardWriter.h"
#include "store/ContactRecord.h"
#include "sync/BookListing.h"
#include "sync/CardText.h"
#include "sync/SyncPlan.h"
#include "sync/SyncState.h"

// Every decision of a pass, from the data file as read, the state the last
// sync left and what the server holds; it reads and writes nothing. It lines
// the records up with the state, says which cards must be read, recovers an
// edit an interrupted run sent, pairs new cards by content and plans the
// writes on both sides.
class SyncPlanner
{
public:
    SyncPlanner(const QString &bookPath, std::vector<ContactRecord> local,
                std::vector<SyncEntry> entries, VcardWriter::Version version);

    // Lets a sync delete every paired contact on one side.
    void setForceDelete(bool on) { m_forceDelete = on; }
    // For tests: the UIDs of new cards.
    void setUidSource(std::function<QByteArray()> next) { m_nextUid = std::move(next); }

    // The cards to read: changed or new on the server, and those to edit.
    QStringList wanted(const BookContents &listing) const;
    SyncPlan plan(const BookContents &listing, const QHash<QString, FetchedCard> &fetched);

private:
    // A card as read, and what the record takes of it.
    struct Card
    {
        QByteArray etag;
        QByteArray data;
        CardContact contact;
        bool readable = false;
    };

    QStringList freshOf(const BookContents &listing) const;
    void readCards(const QHash<QString, FetchedCard> &fetched);
    void recoverSent();
    void indexFresh();
    std::optional<QString> takeUnpaired(const ContactRecord &record);
    void send(const ContactRecord &record, int localIndex);
    void planLocal(size_t j);
    void removedThere(size_t j, const SyncEntry &e);
    void merge(size_t j, const SyncEntry &e, QByteArray etag, Card *card);
    void planDeletedHere(const SyncEntry &e);
    void receiveFresh();
    void addCopies();
    void checkLimits();
    void lossesOf(const QString &path, const CardContact &c);

    QString m_bookPath;
    std::vector<ContactRecord> m_local;
    std::vector<SyncEntry> m_entries;
    std::vector<int> m_toLocal;   // for each entry, the record it became, or -1
    std::vector<int> m_fromLocal; // for each record, its entry, or -1
    QStringList m_outside;        // entries that named a card outside the book
    VcardWriter::Version m_version;
    bool m_forceDelete = false;
    std::function<QByteArray()> m_nextUid;

    // While planning.
    const BookContents *m_listing = nullptr;
    QHash<QString, Card> m_cards;
    QStringList m_fresh;
    QMultiHash<QByteArray, QString> m_unpaired;
    std::vector<ContactRecord> m_copies;
    SyncPlan m_plan;
};
