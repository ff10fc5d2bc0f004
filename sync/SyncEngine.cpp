#include "sync/SyncEngine.h"

#include <algorithm>
#include <optional>
#include <vector>

#include <unistd.h>

#include <QScopeGuard>
#include <QHash>
#include <QSet>
#include <QUuid>

#include "store/ContactStore.h"
#include "sync/CardText.h"
#include "sync/DavClient.h"
#include "sync/DavResponse.h"
#include "sync/RecordAlignment.h"
#include "sync/SyncState.h"

namespace {

constexpr int kPasses = 5;
constexpr int kPerMultiget = 250;
constexpr int kSyncRounds = 1000; // a server may split its answer to a sync report

const QByteArray kTagBody = QByteArrayLiteral(
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:propfind xmlns:d=\"DAV:\" "
    "xmlns:s=\"http://calendarserver.org/ns/\"><d:prop><s:getctag/></d:prop></d:propfind>");
const QByteArray kListBody = QByteArrayLiteral(
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:propfind xmlns:d=\"DAV:\"><d:prop>"
    "<d:getetag/><d:resourcetype/></d:prop></d:propfind>");

QByteArray syncBody(const QByteArray &token)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:sync-collection xmlns:d=\"DAV:\">"
           "<d:sync-token>" +
           QString::fromUtf8(token).toHtmlEscaped().toUtf8() +
           "</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/><d:resourcetype/>"
           "</d:prop></d:sync-collection>";
}

// A card of the book as listed; removed ones come only in a list of changes.
struct Listed
{
    QString path;
    QByteArray etag;
    bool removed = false;
};

bool sameCollection(QStringView a, QStringView b)
{
    if (a.endsWith(u'/'))
        a.chop(1);
    if (b.endsWith(u'/'))
        b.chop(1);
    return a == b;
}

// A sync-collection report: what changed since token, or every card when it
// is empty; token becomes the new one. False when the server refuses it (a
// token it no longer knows, or no such report), and the caller lists instead.
// On Radicale it also costs far less than a PROPFIND listing, which it answers
// by scanning the book's folder once for each card.
bool syncReport(DavClient &client, const QUrl &book, QByteArray &token, std::vector<Listed> &out)
{
    const QString bookPath = book.path(QUrl::FullyDecoded);
    for (int round = 0; round < kSyncRounds; ++round) {
        const DavReply r = client.send({"REPORT", book, syncBody(token), {}, 0});
        QList<DavResponse> items;
        QByteArray next;
        if (r.status != 207 || !DavResponse::parse(r.body, r.url, items, &next) || next.isEmpty())
            return false;
        bool more = false; // 507 on the book itself: the rest comes from the new token
        for (const DavResponse &i : std::as_const(items)) {
            if (sameCollection(i.path, bookPath))
                more = more || i.status == 507;
            else if (!i.collection)
                out.push_back({i.path, i.etag, i.status >= 300});
        }
        token = next;
        if (!more)
            return true;
    }
    return false;
}

QString httpText(const DavReply &r)
{
    if (r.status == 0)
        return r.error;
    if (r.status == 401)
        return QStringLiteral("نام کاربر يا رمز پذيرفته نشد (401)");
    if (r.status == 403)
        return QStringLiteral("سرور اجازه نداد (403)");
    if (r.status == 404)
        return QStringLiteral("چنين دفترچه نشاني در سرور نيست (404)");
    return QStringLiteral("سرور پاسخ %1 داد").arg(r.status);
}

// A card as fetched, and what the record takes of it.
struct Card
{
    QByteArray etag;
    QByteArray data;
    CardContact contact;
    bool readable = false;
};

QString named(const CardContact &c)
{
    return c.label.isEmpty() ? QStringLiteral("(بي نام)") : QStringLiteral("«%1»").arg(c.label);
}

QString named(const ContactRecord &r)
{
    const QString full =
        (r.text(ContactRecord::Name).trimmed() + u' ' + r.text(ContactRecord::Family).trimmed())
            .trimmed();
    return full.isEmpty() ? QStringLiteral("(بي نام)") : QStringLiteral("«%1»").arg(full);
}

// One contact of the data file after this pass: its record and its pairing.
struct Slot
{
    ContactRecord record;
    SyncEntry entry;
    int local = -1; // the index of the record it was in the file as read
};

struct Op
{
    enum Kind
    {
        Create,
        Edit,
        Delete
    } kind;
    DavRequest request;
    int slot = -1;
    SyncEntry old; // the pairing before, for an edit or a deletion
};

} // namespace

SyncEngine::SyncEngine(ContactStore &store, DavClient &client, const QUrl &book,
                       VcardWriter::Version version)
    : m_store(store), m_client(client), m_book(book), m_version(version)
{
}

bool SyncEngine::run(SyncReport &report, QString &why)
{
    // A trial run writes nothing, and may look at a data folder not made yet.
    FileLock held;
    if (!m_dryRun) {
        if (StoreError e = m_store.LockForSync(held)) {
            why = e.kind() == StoreError::InUse
                      ? QStringLiteral("همگام سازي ديگري با همين فايل داده در کار است؛ "
                                       "پس از پايان آن دوباره امتحان کنيد.\n") +
                            e.path()
                      : e.message();
            return false;
        }
    }
    for (int i = 0; i < kPasses; ++i) {
        const Outcome o = pass(report, why);
        if (o != Again)
            return o == Done;
    }
    why = QStringLiteral("پس از %1 دور هنوز در هر دو سو تغييري در کار بود؛ دوباره همگام "
                         "سازي کنيد.")
              .arg(kPasses);
    return false;
}

SyncEngine::Outcome SyncEngine::pass(SyncReport &report, QString &why)
{
    const auto progress = [this](const QString &what) {
        if (m_progress)
            m_progress(what);
    };

    // Both sides as they are now, and the state between them.
    std::vector<ContactRecord> local;
    if (StoreError e = m_store.ReadAllRecords([&local](const ContactRecord &r, qint64) {
            local.push_back(r);
            return true;
        })) {
        // A trial run on a data folder not made yet sees an empty directory.
        const bool none =
            e.kind() == StoreError::FileNotFound || e.kind() == StoreError::PathNotFound;
        if (!m_dryRun || !none) {
            why = e.message();
            return Failed;
        }
    }
    SyncState state;
    const QString statePath = SyncState::pathFor(m_store);
    if (!state.load(statePath, why))
        return Failed;
    state.settle(local);
    const QString bookUrl = m_book.toString(QUrl::RemoveUserInfo);
    if (!state.book.isEmpty() && state.book != bookUrl) {
        why = QStringLiteral("اين فايل داده با دفترچه ديگري همگام است: %1\nبراي همگامي با %2 "
                             "نخست %3 را برداريد.")
                  .arg(state.book, bookUrl, statePath);
        return Failed;
    }
    state.book = bookUrl;

    // The book's ctag first: when it is the one the last sync saw, nothing
    // changed there and the long listing is not needed.
    const QString bookPath = m_book.path(QUrl::FullyDecoded);
    QList<DavResponse> items;
    const DavReply asked = m_client.send({"PROPFIND", m_book, kTagBody, {}, 0});
    QByteArray tag;
    if (asked.status == 401) {
        why = httpText(asked);
        return Failed;
    }
    if (asked.status == 207 && DavResponse::parse(asked.body, asked.url, items) && !items.isEmpty())
        tag = items.front().ctag;
    QHash<QString, QByteArray> onServer;
    QStringList listed; // in the server's order, so that new records keep it
    QByteArray token = state.token;
    if (!tag.isEmpty() && tag == state.tag) {
        for (const SyncEntry &e : state.entries)
            onServer.insert(e.path, e.etag);
    } else {
        std::vector<Listed> got;
        if (!token.isEmpty() && syncReport(m_client, m_book, token, got)) {
            // Only what changed since the token: the rest is as the entries
            // have it. An entry without an ETag was never confirmed, so only a
            // change listed for it says that its card exists.
            for (const SyncEntry &e : state.entries)
                if (!e.etag.isEmpty())
                    onServer.insert(e.path, e.etag);
        } else {
            got.clear();
            token.clear();
            if (!syncReport(m_client, m_book, token, got)) {
                got.clear();
                token.clear();
                items.clear();
                const DavReply all = m_client.send({"PROPFIND", m_book, kListBody, {}, 1});
                if (!all.ok() || !DavResponse::parse(all.body, all.url, items)) {
                    why = QStringLiteral("فهرست کارتهاي %1 گرفته نشد: %2")
                              .arg(bookUrl, all.ok() ? QStringLiteral("پاسخ WebDAV درستي نبود")
                                                     : httpText(all));
                    return Failed;
                }
                for (const DavResponse &r : std::as_const(items))
                    if (!r.collection && r.status < 300 && r.path != bookPath)
                        got.push_back({r.path, r.etag});
            }
        }
        for (const Listed &l : got) {
            if (l.removed) {
                onServer.remove(l.path);
            } else {
                onServer.insert(l.path, l.etag);
                listed << l.path;
            }
        }
    }

    std::vector<ContactRecord> bases;
    bases.reserve(state.entries.size());
    for (const SyncEntry &e : state.entries)
        bases.push_back(e.base);
    const std::vector<int> toLocal = RecordAlignment::align(bases, local);
    std::vector<int> fromLocal(local.size(), -1);
    for (size_t k = 0; k < toLocal.size(); ++k)
        if (toLocal[k] >= 0)
            fromLocal[size_t(toLocal[k])] = int(k);

    // The cards to read: changed or new on the server, and those to edit.
    QSet<QString> paired;
    QStringList wanted;
    for (size_t k = 0; k < state.entries.size(); ++k) {
        const SyncEntry &e = state.entries[k];
        paired.insert(e.path);
        const auto it = onServer.constFind(e.path);
        if (it == onServer.cend())
            continue;
        if (it.value() != e.etag || e.etag.isEmpty() ||
            (toLocal[k] >= 0 && !(local[size_t(toLocal[k])] == e.base)))
            wanted << e.path;
    }
    QStringList fresh; // in the server's order, so that new records keep it
    for (const QString &path : std::as_const(listed)) {
        if (onServer.contains(path) && !paired.contains(path)) {
            paired.insert(path); // a split report may list a card twice
            fresh << path;
        }
    }
    wanted += fresh;

    QHash<QString, Card> cards;
    std::vector<DavRequest> gets;
    for (qsizetype i = 0; i < wanted.size(); i += kPerMultiget) {
        QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?><c:addressbook-multiget "
                          "xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:prop>"
                          "<d:getetag/><c:address-data/></d:prop>";
        for (const QString &path : wanted.mid(i, kPerMultiget)) {
            QUrl u = m_book;
            u.setPath(path);
            body += "<d:href>" + u.path(QUrl::FullyEncoded).toUtf8() + "</d:href>";
        }
        gets.push_back({"REPORT", m_book, body + "</c:addressbook-multiget>", {}, 1});
    }
    if (!gets.empty())
        progress(QStringLiteral("خواندن %1 کارت").arg(wanted.size()));
    for (const DavReply &r : m_client.sendAll(gets)) {
        QList<DavResponse> got;
        if (!r.ok() || !DavResponse::parse(r.body, r.url, got)) {
            why =
                QStringLiteral("کارتهاي %1 خوانده نشد: %2")
                    .arg(bookUrl, r.ok() ? QStringLiteral("پاسخ WebDAV درستي نبود") : httpText(r));
            return Failed;
        }
        for (DavResponse &g : got) {
            if (g.status >= 300 || g.addressData.isEmpty())
                continue; // gone since the listing: as if removed
            Card c;
            c.etag = g.etag;
            c.data = std::move(g.addressData);
            QString bad;
            c.readable = CardText::read(c.data, 0, c.contact, bad);
            if (!c.readable)
                report.losses
                    << QStringLiteral("%1: کارت خوانده نشد و دست نخورد: %2").arg(g.path, bad);
            cards.insert(g.path, std::move(c));
        }
    }

    // An edit an interrupted run sent: a card that holds it is ours.
    for (SyncEntry &e : state.entries) {
        if (!e.sent)
            continue;
        if (const auto it = cards.find(e.path); it != cards.end() && it->readable) {
            ContactRecord r = it->contact.record;
            if (!it->contact.hasId)
                r.setID(e.sent->ID());
            if (r == *e.sent) {
                e.base = *e.sent;
                e.etag = it->etag;
            }
        }
        e.sent.reset();
    }

    // New cards by content, so that a card an interrupted run made pairs with
    // its record instead of coming back as a copy; a card without our ID (as
    // another client keeps it) pairs with a record equal but for the ID.
    const auto keyOf = [](ContactRecord r, bool withId) {
        if (!withId)
            r.setID(0);
        return r.toByteArray() + char(withId);
    };
    QMultiHash<QByteArray, QString> unpaired;
    for (const QString &path : std::as_const(fresh))
        if (const auto it = cards.constFind(path); it != cards.cend() && it->readable)
            unpaired.insert(keyOf(it->contact.record, it->contact.hasId), path);
    const auto takeUnpaired = [&](const ContactRecord &r) -> std::optional<QString> {
        auto it = unpaired.find(keyOf(r, true));
        if (it == unpaired.end())
            it = unpaired.find(keyOf(r, false));
        if (it == unpaired.end())
            return std::nullopt;
        const QString path = it.value();
        unpaired.erase(it);
        return path;
    };

    SyncReport done; // what this pass will have done once it is written
    std::vector<Slot> plan;
    std::vector<Op> ops;
    std::vector<SyncEntry> kept; // pairings of records gone here whose card stays for now
    // The state while the server is written and before the file is: for each
    // record as read, its pairing then.
    std::vector<std::optional<SyncEntry>> pending(local.size());
    const auto urlOf = [&](const QString &path) {
        QUrl u = m_book;
        u.setPath(path);
        return u;
    };
    // A new card for a record, or the one an earlier run already made.
    const auto send = [&](const ContactRecord &record, int localIndex) {
        const int at = int(plan.size());
        if (const std::optional<QString> path = takeUnpaired(record)) {
            plan.push_back({record, {*path, cards[*path].etag, record}, localIndex});
            if (localIndex >= 0)
                pending[size_t(localIndex)] = plan.back().entry;
            return;
        }
        const QString uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QString path = bookPath + uid + QStringLiteral(".vcf");
        plan.push_back({record, {path, {}, record}, localIndex});
        // Remembered before it is sent: a card that was made by a run killed
        // before its end pairs by its path then, and is not taken for new.
        if (localIndex >= 0)
            pending[size_t(localIndex)] = plan.back().entry;
        ops.push_back({Op::Create,
                       {"PUT",
                        urlOf(path),
                        CardText::create(record, m_version, uid.toUtf8()),
                        {{"If-None-Match", "*"}, {"Content-Type", "text/vcard; charset=utf-8"}}},
                       at,
                       {}});
        ++done.sent;
    };
    const auto lossesOf = [&](const QString &path, const CardContact &c) {
        for (const DraftNote &n : c.notes)
            done.losses
                << QStringLiteral("%1: مخاطب %2: %3: %4").arg(path, named(c), n.where, n.what);
    };

    for (size_t j = 0; j < local.size(); ++j) {
        const ContactRecord &mine = local[j];
        const int k = fromLocal[j];
        if (k < 0) {
            send(mine, int(j));
            continue;
        }
        const SyncEntry &e = state.entries[size_t(k)];
        const bool changedHere = !(mine == e.base);
        const auto listedAt = onServer.constFind(e.path);
        const auto cardAt = cards.find(e.path);
        if (listedAt == onServer.cend() && e.etag.isEmpty()) {
            send(mine, int(j)); // never confirmed: the card was not made
            continue;
        }
        if (listedAt == onServer.cend() || (listedAt.value() != e.etag && cardAt == cards.end())) {
            // Removed on the server: so here too, unless it changed here.
            pending[j] = e;
            if (changedHere) {
                done.conflict(QStringLiteral("%1 در سرور حذف شده بود ولي اينجا تغيير کرده بود؛ "
                                             "دوباره به سرور فرستاده شد.")
                                  .arg(named(mine)));
                send(mine, int(j));
            } else {
                ++done.deletedHere;
            }
            continue;
        }
        if (cardAt != cards.end() && !cardAt->readable) {
            pending[j] = e; // left alone on both sides until it can be read
            plan.push_back({mine, e, int(j)});
            continue;
        }
        std::optional<ContactRecord> theirs;
        QByteArray etag = listedAt.value();
        if (cardAt != cards.end()) {
            CardContact &c = cardAt->contact;
            if (!c.hasId)
                c.record.setID(mine.ID());
            etag = cardAt->etag;
            if (!(c.record == e.base))
                theirs = c.record;
        }
        if (!theirs && !changedHere) {
            plan.push_back({mine, {e.path, etag, mine}, int(j)});
            pending[j] = plan.back().entry;
        } else if (!theirs) {
            // Changed here only: the card keeps all that the record does not hold.
            plan.push_back({mine, {e.path, {}, mine}, int(j)});
            pending[j] = e;
            pending[j]->sent = mine;
            ops.push_back({Op::Edit,
                           {"PUT",
                            urlOf(e.path),
                            CardText::edit(cardAt->data, cardAt->contact, e.base, mine),
                            {{"If-Match", etag}, {"Content-Type", "text/vcard; charset=utf-8"}}},
                           int(plan.size() - 1),
                           e});
            ++done.changedThere;
        } else {
            pending[j] = e;
            plan.push_back({*theirs, {e.path, etag, *theirs}, int(j)});
            lossesOf(e.path, cardAt->contact);
            if (!changedHere) {
                ++done.changedHere;
            } else if (!(*theirs == mine)) {
                // Changed on both sides: the server's version is the record, and
                // this one lives on beside it, as a record and a card of its own.
                done.conflict(QStringLiteral("%1 در هر دو سو تغيير کرده بود: نسخه سرور در "
                                             "رکورد ماند و نسخه اينجا %2 رکورد و کارت تازه شد.")
                                  .arg(named(*theirs), named(mine)));
                ++done.changedHere;
                send(mine, -1);
            }
        }
    }
    // Records deleted here.
    for (size_t k = 0; k < state.entries.size(); ++k) {
        if (toLocal[k] >= 0)
            continue;
        const SyncEntry &e = state.entries[k];
        const auto listedAt = onServer.constFind(e.path);
        if (listedAt == onServer.cend())
            continue; // gone on both sides
        const auto cardAt = cards.find(e.path);
        if (cardAt != cards.end() && !cardAt->readable) {
            kept.push_back(e);
            continue;
        }
        if (cardAt != cards.end()) {
            CardContact &c = cardAt->contact;
            if (!c.hasId)
                c.record.setID(e.base.ID());
            if (!(c.record == e.base)) {
                // Changed there, deleted here: the change wins.
                done.conflict(QStringLiteral("%1 اينجا حذف شده بود ولي در سرور تغيير کرده بود؛ "
                                             "به فايل داده برگشت.")
                                  .arg(named(c.record)));
                kept.push_back(e);
                plan.push_back({c.record, {e.path, cardAt->etag, c.record}, -1});
                lossesOf(e.path, c);
                ++done.received;
                continue;
            }
        }
        const QByteArray etag = cardAt != cards.end() ? cardAt->etag : listedAt.value();
        kept.push_back(e); // until the deletion is confirmed
        ops.push_back({Op::Delete, {"DELETE", urlOf(e.path), {}, {{"If-Match", etag}}}, -1, e});
        ++done.deletedThere;
    }
    // New on the server, and no record here holds them already.
    for (const QString &path : std::as_const(fresh)) {
        const auto it = cards.find(path);
        if (it == cards.end() || !it->readable)
            continue;
        const QByteArray key = keyOf(it->contact.record, it->contact.hasId);
        if (!unpaired.contains(key, path))
            continue;
        unpaired.remove(key, path);
        CardContact &c = it->contact;
        if (!c.hasId)
            c.record.setID(qint16(std::min<qsizetype>(plan.size() + 1, ContactStore::MaxRecords)));
        plan.push_back({c.record, {path, it->etag, c.record}, -1});
        lossesOf(path, c);
        ++done.received;
    }

    if (m_dryRun) {
        report = done;
        return Done;
    }

    // The server first: what it refuses is seen again on the next pass.
    const auto stateBetween = [&] {
        SyncState s;
        s.book = state.book;
        for (const auto &e : pending)
            if (e)
                s.entries.push_back(*e);
        s.entries.insert(s.entries.end(), kept.begin(), kept.end());
        return s;
    };
    if (!ops.empty() && !stateBetween().save(statePath, why))
        return Failed;
    if (m_beforeServer)
        m_beforeServer();
    std::vector<DavRequest> requests;
    requests.reserve(ops.size());
    for (const Op &op : ops)
        requests.push_back(op.request);
    const auto shown = [&](qsizetype n) {
        progress(QStringLiteral("سرور: %1 از %2").arg(n).arg(requests.size()));
    };
    const std::vector<DavReply> replies =
        requests.empty() ? std::vector<DavReply>() : m_client.sendAll(requests, shown);
    bool again = false;
    QString failed;
    std::vector<char> keptDone(kept.size(), 0);
    for (size_t i = 0; i < ops.size(); ++i) {
        const Op &op = ops[i];
        const DavReply &r = replies[i];
        const bool gone = op.kind == Op::Delete && r.status == 404;
        if (r.status == 412) {
            again = true; // changed there meanwhile: the next pass merges it
            if (op.kind == Op::Edit)
                plan[size_t(op.slot)].entry = op.old;
            if (op.kind == Op::Create)
                plan[size_t(op.slot)].entry.etag.clear();
            continue;
        }
        if (!r.ok() && !gone) {
            if (failed.isEmpty())
                failed = QStringLiteral("%1 %2: %3")
                             .arg(QString::fromLatin1(op.request.method),
                                  op.request.url.toString(QUrl::RemoveUserInfo), httpText(r));
            if (op.kind == Op::Edit)
                plan[size_t(op.slot)].entry = op.old;
            continue;
        }
        if (op.kind == Op::Delete) {
            for (size_t k = 0; k < kept.size(); ++k)
                if (kept[k].path == op.old.path)
                    keptDone[k] = 1;
            continue;
        }
        Slot &s = plan[size_t(op.slot)];
        s.entry.etag = r.etag;
        if (s.local >= 0 && local[size_t(s.local)] == s.record)
            pending[size_t(s.local)] = s.entry;
    }
    std::vector<SyncEntry> stillKept;
    for (size_t k = 0; k < kept.size(); ++k)
        if (!keptDone[k])
            stillKept.push_back(kept[k]);
    report.sent += done.sent;
    report.changedThere += done.changedThere;
    report.deletedThere += done.deletedThere;

    // What the server holds now, against the file as it was read.
    kept = stillKept;
    const SyncState middle = stateBetween();
    if (!failed.isEmpty()) {
        QString ignored;
        middle.save(statePath, ignored);
        why = failed;
        return Failed;
    }

    // The state once the data file is written; it goes along with the state
    // between, so that a run killed around the write finds the right one.
    SyncState after;
    after.book = state.book;
    // Only a listing that nothing of ours changed afterwards may be skipped next time.
    if (ops.empty())
        after.tag = tag;
    // Our own writes come back in the next list of changes, with the ETags the
    // entries now hold.
    after.token = token;
    for (const Slot &s : plan)
        after.entries.push_back(s.entry);
    for (const SyncEntry &e : stillKept)
        if (!std::any_of(plan.begin(), plan.end(),
                         [&e](const Slot &s) { return s.entry.path == e.path; }))
            after.entries.push_back(e);

    // Then the data file, in one write, if nobody changed it meanwhile.
    if (m_beforeLocal)
        m_beforeLocal();
    std::vector<ContactRecord> records;
    records.reserve(plan.size());
    for (const Slot &s : plan)
        records.push_back(s.record);
    if (records != local) {
        SyncState both = middle;
        both.written = SyncState::hashOf(records);
        both.ifWritten = after.entries;
        if (!both.save(statePath, why))
            return Failed;
        if (StoreError e = m_store.ReplaceAllRecords(records, local)) {
            if (e.kind() == StoreError::RecordChanged)
                return Again; // the window wrote: read both sides again
            if (!e.tookEffect()) {
                why = e.message();
                return Failed;
            }
        }
    }
    report.received += done.received;
    report.changedHere += done.changedHere;
    report.deletedHere += done.deletedHere;
    report.losses += done.losses;
    for (const QString &line : std::as_const(done.conflicts))
        report.conflict(line);
    if (!after.save(statePath, why))
        return Failed;
    return again ? Again : Done;
}
