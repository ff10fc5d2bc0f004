#include "sync/SyncPlanner.h"

#include <algorithm>

#include <QSet>
#include <QUuid>

#include "store/ContactStore.h"
#include "sync/RecordAlignment.h"

namespace {

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

// A card without our ID (as another client keeps it) pairs with a record
// equal but for the ID.
QByteArray keyOf(ContactRecord r, bool withId)
{
    if (!withId)
        r.setID(0);
    return r.toByteArray() + char(withId);
}

// The number the add page proposes for a record appended after count others.
qint16 proposedId(qsizetype count)
{
    return qint16(std::min<qsizetype>(count + 1, ContactStore::MaxRecords));
}

} // namespace

SyncPlanner::SyncPlanner(const QString &bookPath, std::vector<ContactRecord> local,
                         std::vector<SyncEntry> entries, VcardWriter::Version version)
    : m_bookPath(bookPath), m_local(std::move(local)), m_version(version),
      m_nextUid([] { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUtf8(); })
{
    // A pairing with a card outside the book (left by an older version) is
    // dropped: its record is sent anew, and nothing is done out there.
    for (SyncEntry &e : entries) {
        if (BookListing::holds(m_bookPath, e.path))
            m_entries.push_back(std::move(e));
        else
            m_outside << QStringLiteral("%1: نشانی بیرون از دفترچه است؛ جفت آن کنار گذاشته شد.")
                             .arg(e.path);
    }
    std::vector<ContactRecord> bases;
    bases.reserve(m_entries.size());
    for (const SyncEntry &e : m_entries)
        bases.push_back(e.base);
    m_toLocal = RecordAlignment::align(bases, m_local);
    m_fromLocal.assign(m_local.size(), -1);
    for (size_t k = 0; k < m_toLocal.size(); ++k)
        if (m_toLocal[k] >= 0)
            m_fromLocal[size_t(m_toLocal[k])] = int(k);
}

QStringList SyncPlanner::freshOf(const BookContents &listing) const
{
    QSet<QString> seen;
    for (const SyncEntry &e : m_entries)
        seen.insert(e.path);
    QStringList fresh; // in the server's order, so that new records keep it
    for (const QString &path : listing.listed) {
        if (listing.etags.contains(path) && !seen.contains(path)) {
            seen.insert(path); // a split report may list a card twice
            fresh << path;
        }
    }
    return fresh;
}

QStringList SyncPlanner::wanted(const BookContents &listing) const
{
    QStringList out;
    for (size_t k = 0; k < m_entries.size(); ++k) {
        const SyncEntry &e = m_entries[k];
        const auto it = listing.etags.constFind(e.path);
        if (it == listing.etags.cend())
            continue;
        if (it.value() != e.etag || e.etag.isEmpty() ||
            (m_toLocal[k] >= 0 && !(m_local[size_t(m_toLocal[k])] == e.base)))
            out << e.path;
    }
    return out + freshOf(listing);
}

SyncPlan SyncPlanner::plan(const BookContents &listing, const QHash<QString, FetchedCard> &fetched)
{
    m_listing = &listing;
    m_plan = {};
    m_plan.pending.resize(m_local.size());
    m_plan.report.skipped = listing.skipped + m_outside;
    m_copies.clear();
    m_fresh = freshOf(listing);
    readCards(fetched);
    recoverSent();
    indexFresh();
    for (size_t j = 0; j < m_local.size(); ++j)
        planLocal(j);
    for (size_t k = 0; k < m_entries.size(); ++k)
        if (m_toLocal[k] < 0)
            planDeletedHere(m_entries[k]);
    receiveFresh();
    addCopies();
    checkLimits();
    m_listing = nullptr;
    return std::move(m_plan);
}

void SyncPlanner::readCards(const QHash<QString, FetchedCard> &fetched)
{
    m_cards.clear();
    for (auto it = fetched.cbegin(); it != fetched.cend(); ++it) {
        Card c{it->etag, it->data, {}, false};
        QString bad = QStringLiteral("سرور آن را نداد");
        c.readable = !c.data.isEmpty() && CardText::read(c.data, 0, c.contact, bad);
        if (!c.readable)
            m_plan.report.losses
                << QStringLiteral("%1: کارت خوانده نشد و دست نخورد: %2").arg(it.key(), bad);
        m_cards.insert(it.key(), std::move(c));
    }
}

void SyncPlanner::recoverSent()
{
    // An edit an interrupted run sent: a card that holds it is ours.
    for (SyncEntry &e : m_entries) {
        if (!e.sent)
            continue;
        if (const auto it = m_cards.constFind(e.path); it != m_cards.cend() && it->readable) {
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
}

void SyncPlanner::indexFresh()
{
    // New cards by content, so that a card an interrupted run made pairs with
    // its record instead of coming back as a copy.
    m_unpaired.clear();
    for (const QString &path : std::as_const(m_fresh))
        if (const auto it = m_cards.constFind(path); it != m_cards.cend() && it->readable)
            m_unpaired.insert(keyOf(it->contact.record, it->contact.hasId), path);
}

std::optional<QString> SyncPlanner::takeUnpaired(const ContactRecord &record)
{
    auto it = m_unpaired.find(keyOf(record, true));
    if (it == m_unpaired.end())
        it = m_unpaired.find(keyOf(record, false));
    if (it == m_unpaired.end())
        return std::nullopt;
    const QString path = it.value();
    m_unpaired.erase(it);
    return path;
}

void SyncPlanner::send(const ContactRecord &record, int localIndex)
{
    // A new card for a record, or the one an earlier run already made.
    const int at = int(m_plan.records.size());
    if (const std::optional<QString> path = takeUnpaired(record)) {
        m_plan.records.push_back({record, {*path, m_cards[*path].etag, record}, localIndex});
        if (localIndex >= 0)
            m_plan.pending[size_t(localIndex)] = m_plan.records.back().entry;
        return;
    }
    const QByteArray uid = m_nextUid();
    const QString path = m_bookPath + QString::fromUtf8(uid) + QStringLiteral(".vcf");
    m_plan.records.push_back({record, {path, {}, record}, localIndex});
    // Remembered before it is sent: a card that was made by a run killed
    // before its end pairs by its path then, and is not taken for new.
    if (localIndex >= 0)
        m_plan.pending[size_t(localIndex)] = m_plan.records.back().entry;
    m_plan.writes.push_back(
        {PlannedWrite::Create, path, CardText::create(record, m_version, uid), {}, at, {}});
    ++m_plan.report.sent;
}

void SyncPlanner::lossesOf(const QString &path, const CardContact &c)
{
    for (const DraftNote &n : c.notes)
        m_plan.report.losses
            << QStringLiteral("%1: مخاطب %2: %3: %4").arg(path, named(c), n.where, n.what);
}

void SyncPlanner::planLocal(size_t j)
{
    const ContactRecord &mine = m_local[j];
    const int k = m_fromLocal[j];
    if (k < 0) {
        send(mine, int(j));
        return;
    }
    const SyncEntry &e = m_entries[size_t(k)];
    const auto listedAt = m_listing->etags.constFind(e.path);
    const auto cardAt = m_cards.find(e.path);
    const bool read = cardAt != m_cards.end();
    if (listedAt == m_listing->etags.cend() && e.etag.isEmpty()) {
        send(mine, int(j)); // never confirmed: the card was not made
        return;
    }
    // A card that was to be read and was not is gone since the listing.
    if (listedAt == m_listing->etags.cend() ||
        (!read && (listedAt.value() != e.etag || !(mine == e.base)))) {
        removedThere(j, e);
        return;
    }
    if (read && !cardAt->readable) {
        m_plan.pending[j] = e; // left alone on both sides until it can be read
        m_plan.records.push_back({mine, e, int(j)});
        return;
    }
    merge(j, e, listedAt.value(), read ? &*cardAt : nullptr);
}

void SyncPlanner::removedThere(size_t j, const SyncEntry &e)
{
    // Removed on the server: so here too, unless it changed here.
    const ContactRecord &mine = m_local[j];
    m_plan.pending[j] = e;
    if (!(mine == e.base)) {
        m_plan.report.conflict(QStringLiteral("%1 در سرور حذف شده بود ولي اينجا تغيير کرده "
                                              "بود؛ دوباره به سرور فرستاده شد.")
                                   .arg(named(mine)));
        send(mine, int(j));
    } else {
        ++m_plan.report.deletedHere;
    }
}

void SyncPlanner::merge(size_t j, const SyncEntry &e, QByteArray etag, Card *card)
{
    const ContactRecord &mine = m_local[j];
    const bool changedHere = !(mine == e.base);
    std::optional<ContactRecord> theirs;
    if (card) {
        CardContact &c = card->contact;
        if (!c.hasId)
            c.record.setID(mine.ID());
        etag = card->etag;
        if (!(c.record == e.base))
            theirs = c.record;
    }
    SyncPlan &p = m_plan;
    if (!theirs && !changedHere) {
        p.records.push_back({mine, {e.path, etag, mine}, int(j)});
        p.pending[j] = p.records.back().entry;
    } else if (!theirs) {
        // Changed here only: the card keeps all that the record does not hold.
        p.records.push_back({mine, {e.path, {}, mine}, int(j)});
        p.pending[j] = e;
        p.pending[j]->sent = mine;
        p.writes.push_back({PlannedWrite::Edit, e.path,
                            CardText::edit(card->data, card->contact, e.base, mine), etag,
                            int(p.records.size() - 1), e});
        ++p.report.changedThere;
    } else {
        p.pending[j] = e;
        p.records.push_back({*theirs, {e.path, etag, *theirs}, int(j)});
        lossesOf(e.path, card->contact);
        if (!changedHere) {
            ++p.report.changedHere;
        } else if (!(*theirs == mine)) {
            // Changed on both sides: the server's version is the record, and
            // this one lives on beside it, as a record and a card of its own.
            p.report.conflict(QStringLiteral("%1 در هر دو سو تغيير کرده بود: نسخه سرور در "
                                             "رکورد ماند و نسخه اينجا %2 رکورد و کارت تازه شد.")
                                  .arg(named(*theirs), named(mine)));
            ++p.report.changedHere;
            m_copies.push_back(mine);
        }
    }
}

void SyncPlanner::planDeletedHere(const SyncEntry &e)
{
    const auto listedAt = m_listing->etags.constFind(e.path);
    if (listedAt == m_listing->etags.cend())
        return; // gone on both sides
    const auto cardAt = m_cards.find(e.path);
    const bool read = cardAt != m_cards.end();
    if (!read && listedAt.value() != e.etag)
        return; // it was to be read, and it is gone since the listing
    if (read && !cardAt->readable) {
        m_plan.kept.push_back(e);
        return;
    }
    if (read) {
        // A change there wins, whatever it changed: a card read here has a
        // new ETag. Only one whose ETag was never known is judged by the
        // record it makes.
        CardContact &c = cardAt->contact;
        if (!c.hasId)
            c.record.setID(e.base.ID());
        if (!e.etag.isEmpty() || !(c.record == e.base)) {
            m_plan.report.conflict(QStringLiteral("%1 اينجا حذف شده بود ولي در سرور تغيير کرده "
                                                  "بود؛ به فايل داده برگشت.")
                                       .arg(named(c.record)));
            m_plan.kept.push_back(e);
            m_plan.records.push_back({c.record, {e.path, cardAt->etag, c.record}, -1});
            lossesOf(e.path, c);
            ++m_plan.report.received;
            return;
        }
    }
    m_plan.kept.push_back(e); // until the deletion is confirmed
    m_plan.writes.push_back(
        {PlannedWrite::Delete, e.path, {}, read ? cardAt->etag : listedAt.value(), -1, e});
    ++m_plan.report.deletedThere;
}

void SyncPlanner::receiveFresh()
{
    // New on the server, and no record here holds them already.
    for (const QString &path : std::as_const(m_fresh)) {
        const auto it = m_cards.find(path);
        if (it == m_cards.end() || !it->readable)
            continue;
        const QByteArray key = keyOf(it->contact.record, it->contact.hasId);
        if (!m_unpaired.contains(key, path))
            continue;
        m_unpaired.remove(key, path);
        CardContact &c = it->contact;
        if (!c.hasId)
            c.record.setID(proposedId(qsizetype(m_plan.records.size())));
        m_plan.records.push_back({c.record, {path, it->etag, c.record}, -1});
        lossesOf(path, c);
        ++m_plan.report.received;
    }
}

void SyncPlanner::addCopies()
{
    // A conflict's own version is a new contact: it goes at the end, with the
    // number the add page would give it there.
    for (ContactRecord copy : m_copies) {
        copy.setID(proposedId(qsizetype(m_plan.records.size())));
        send(copy, -1);
    }
}

void SyncPlanner::checkLimits()
{
    SyncPlan &p = m_plan;
    const auto refuse = [&p](SyncPlan::Refusal why, qsizetype count) {
        p.refusal = why;
        p.count = count;
    };
    if (m_listing->etags.size() > ContactStore::MaxRecords)
        return refuse(SyncPlan::TooManyCards, m_listing->etags.size());
    if (qsizetype(p.records.size()) > ContactStore::MaxRecords)
        return refuse(SyncPlan::TooManyRecords, qsizetype(p.records.size()));
    if (m_forceDelete || m_entries.empty())
        return;
    // One side emptied (or replaced by another) is more likely an accident
    // than the user's wish: nothing is deleted on the other side for it
    // unless asked. The book is taken as such when none of the paired cards
    // is there any more; the data file when none of the paired records is
    // left as it was, since another file's records may share a field or a
    // number with these and line up with them.
    bool keptHere = false, keptThere = false;
    for (size_t k = 0; k < m_entries.size(); ++k) {
        const SyncEntry &e = m_entries[k];
        keptHere = keptHere || (m_toLocal[k] >= 0 && m_local[size_t(m_toLocal[k])] == e.base);
        keptThere = keptThere || m_listing->etags.contains(e.path);
    }
    if (!keptHere && p.report.deletedThere > 0)
        return refuse(SyncPlan::EmptiedHere, qsizetype(m_entries.size()));
    if (!keptThere && p.report.deletedHere > 0)
        refuse(SyncPlan::EmptiedThere, qsizetype(m_entries.size()));
}
