#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

#include "store/ContactRecord.h"

class ContactStore;

// One contact paired with a card: where the card is, its ETag and the record
// as both sides held it after the last sync.
struct SyncEntry
{
    QString path;
    QByteArray etag; // empty: not known, the card is read again
    ContactRecord base;
    // While an edit is on its way: the record sent. A card that holds it
    // afterwards was changed by us, not by another client.
    std::optional<ContactRecord> sent = std::nullopt;
};

// What the last sync left, beside the data file and readable by its owner
// only. The entries are in the order of the data file then.
class SyncState
{
public:
    // Far more than 32767 entries need; a bigger file is refused unread.
    static constexpr qint64 MaxSize = 64 * 1024 * 1024;

    QString book;   // the address book's URL
    QByteArray tag; // its ctag when the last sync listed it and wrote nothing there
    // Its sync-token when the entries were last brought up to the book: what
    // changed since is asked for instead of the whole listing.
    QByteArray token;
    std::vector<SyncEntry> entries;
    // Saved just before the data file is written: the state for the file that
    // write makes, and its hash. The next run takes it when the file is that.
    QByteArray written;
    std::vector<SyncEntry> ifWritten;

    static QByteArray hashOf(const std::vector<ContactRecord> &records);
    // Takes ifWritten when the file holds what it was saved for.
    void settle(const std::vector<ContactRecord> &records);

    static QString pathFor(const ContactStore &store);

    // A missing file is an empty state. False with why: a damaged line is
    // refused, never skipped, and so is anything but a regular file.
    // onDisk, when given, gets the file's bytes.
    bool load(const QString &path, QString &why, QByteArray *onDisk = nullptr);
    // All or nothing, readable by its owner only, and owned by the folder's
    // owner; a link in the way is replaced, never followed. unchanged: what
    // the file holds, when known; the same bytes are not written again unless
    // the file's owner or mode needs mending.
    bool save(const QString &path, QString &why, const QByteArray *unchanged = nullptr) const;

    // The file's bytes: every text value escaped, so any byte survives.
    QByteArray toBytes() const;

private:
    bool parseHead(const QByteArray &line, bool &raw);
};
