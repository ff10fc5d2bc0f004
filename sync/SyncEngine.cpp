#include "sync/SyncEngine.h"

#include <algorithm>
#include <optional>
#include <vector>

#include <QHash>
#include <QSet>

#include "store/ContactStore.h"
#include "sync/BookListing.h"
#include "sync/DavTransport.h"
#include "sync/SyncPlan.h"
#include "sync/SyncPlanner.h"
#include "sync/SyncState.h"

namespace {

constexpr int kPasses = 5;
// Writes go out this many at a time, so that a stop waits for few answers.
constexpr size_t kWriteSlice = 24;

// The state while the server is written and before the file is.
SyncState between(const QString &book, const SyncPlan &plan)
{
    SyncState s;
    s.book = book;
    for (const auto &e : plan.pending)
        if (e)
            s.entries.push_back(*e);
    s.entries.insert(s.entries.end(), plan.kept.begin(), plan.kept.end());
    return s;
}

// The state once the data file holds the plan's records.
SyncState after(const SyncState &before, const SyncPlan &plan)
{
    SyncState s;
    s.book = before.book;
    for (const PlannedRecord &r : plan.records)
        s.entries.push_back(r.entry);
    for (const SyncEntry &e : plan.kept)
        if (std::none_of(plan.records.begin(), plan.records.end(),
                         [&e](const PlannedRecord &r) { return r.entry.path == e.path; }))
            s.entries.push_back(e);
    return s;
}

void addAll(QStringList &to, const QStringList &lines)
{
    for (const QString &line : lines)
        if (!to.contains(line))
            to << line;
}

} // namespace

SyncEngine::SyncEngine(ContactStore &store, DavTransport &client, const QUrl &book,
                       VcardWriter::Version version)
    : m_store(store), m_client(client), m_book(book), m_version(version)
{
}

void SyncEngine::progress(const QString &what) const
{
    if (m_progress)
        m_progress(what);
}

QUrl SyncEngine::urlOf(const QString &path) const
{
    QUrl u = m_book;
    u.setPath(path);
    return u;
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
        const Outcome o = stopped() ? Failed : pass(report, why);
        if (o != Again)
            return o == Done;
    }
    why = QStringLiteral("پس از %1 دور هنوز در هر دو سو تغييري در کار بود؛ دوباره همگام "
                         "سازي کنيد.")
              .arg(kPasses);
    return false;
}

bool SyncEngine::readSides(std::vector<ContactRecord> &local, SyncState &state, QString &why)
{
    if (StoreError e = m_store.ReadAllRecords([&local](const ContactRecord &r, qint64) {
            local.push_back(r);
            return true;
        })) {
        // A trial run on a data folder not made yet sees an empty directory.
        const bool none =
            e.kind() == StoreError::FileNotFound || e.kind() == StoreError::PathNotFound;
        if (!m_dryRun || !none) {
            why = e.message();
            return false;
        }
    }
    const QString statePath = SyncState::pathFor(m_store);
    if (!state.load(statePath, why, &m_stateOnDisk))
        return false;
    state.settle(local);
    const QString bookUrl = m_book.toString(QUrl::RemoveUserInfo);
    if (!state.book.isEmpty() && state.book != bookUrl) {
        why = QStringLiteral("اين فايل داده با دفترچه ديگري همگام است: %1\nبراي همگامي با %2 "
                             "نخست %3 را برداريد.")
                  .arg(state.book, bookUrl, statePath);
        return false;
    }
    state.book = bookUrl;
    return true;
}

SyncEngine::Outcome SyncEngine::pass(SyncReport &report, QString &why)
{
    std::vector<ContactRecord> local;
    SyncState state;
    if (!readSides(local, state, why))
        return Failed;
    BookListing listing(m_client, m_book);
    BookContents contents;
    if (!listing.list(state, contents, why))
        return Failed;
    if (contents.etags.size() > ContactStore::MaxRecords) {
        // Refused before a single card is read.
        SyncPlan tooMany;
        tooMany.refusal = SyncPlan::TooManyCards;
        tooMany.count = contents.etags.size();
        why = refusal(tooMany);
        return Failed;
    }
    SyncPlanner planner(BookListing::bookPathOf(m_book), local, state.entries, m_version);
    planner.setForceDelete(m_forceDelete);
    // What the listing brought along need not be read again.
    QHash<QString, FetchedCard> cards;
    QStringList toRead;
    for (const QString &path : planner.wanted(contents)) {
        if (const auto it = contents.cards.constFind(path); it != contents.cards.cend())
            cards.insert(path, *it);
        else
            toRead << path;
    }
    if (!toRead.isEmpty())
        progress(QStringLiteral("خواندن %1 کارت").arg(toRead.size()));
    if (!listing.fetch(toRead, cards, contents.skipped, why))
        return Failed;
    SyncPlan plan = planner.plan(contents, cards);
    addAll(report.skipped, plan.report.skipped);
    if (plan.refusal != SyncPlan::None) {
        why = refusal(plan);
        return Failed;
    }
    if (stopped())
        return Failed; // nothing written yet
    if (m_dryRun) {
        const QStringList skipped = report.skipped;
        report = plan.report;
        report.skipped = skipped;
        return Done;
    }
    return write(state, local, contents, plan, report, why);
}

QString SyncEngine::refusal(const SyncPlan &plan) const
{
    const QString book = m_book.toString(QUrl::RemoveUserInfo);
    // clang-format off
    switch (plan.refusal) {
    case SyncPlan::EmptiedHere:
        return QStringLiteral("هیچ‌یک از %1 مخاطبی که با %2 همگام بود در فایل داده نمانده است "
                              "(فایل داده خالی یا عوض شده است)؛ برای همین چیزی از سرور حذف نشد. "
                              "اگر به‌راستی می‌خواهید همه آنها از سرور هم حذف شوند، "
                              "دوباره با --force-delete همگام کنید.")
            .arg(plan.count).arg(book);
    case SyncPlan::EmptiedThere:
        return QStringLiteral("هیچ‌یک از %1 کارتی که با فایل داده همگام بود در %2 نمانده است "
                              "(دفترچه خالی یا عوض شده است)؛ برای همین چیزی از فایل داده حذف نشد. "
                              "اگر به‌راستی می‌خواهید همه آنها از فایل داده هم حذف شوند، "
                              "دوباره با --force-delete همگام کنید.")
            .arg(plan.count).arg(book);
    case SyncPlan::TooManyCards:
        return QStringLiteral("%1 %2 کارت دارد، بیش از %3 رکوردی که فایل داده می‌گیرد؛ "
                              "در هیچ سو چیزی نوشته نشد.")
            .arg(book).arg(plan.count).arg(ContactStore::MaxRecords);
    case SyncPlan::TooManyRecords:
        return QStringLiteral("پس از همگام‌سازی فایل داده %1 رکورد می‌داشت، بیش از %2 رکوردی که "
                              "می‌گیرد؛ در هیچ سو چیزی نوشته نشد.")
            .arg(plan.count).arg(ContactStore::MaxRecords);
    // clang-format on
    case SyncPlan::None:
        break;
    }
    return {};
}

SyncEngine::Outcome SyncEngine::write(const SyncState &state,
                                      const std::vector<ContactRecord> &local,
                                      const BookContents &contents, SyncPlan &plan,
                                      SyncReport &report, QString &why)
{
    // The server first: what it refuses is seen again on the next pass.
    const QString statePath = SyncState::pathFor(m_store);
    if (!plan.writes.empty() && !between(state.book, plan).save(statePath, why))
        return Failed;
    if (m_beforeServer)
        m_beforeServer();
    bool again = false;
    QString failed;
    const bool sent = sendWrites(local, plan, again, failed);
    report.sent += plan.report.sent;
    report.changedThere += plan.report.changedThere;
    report.deletedThere += plan.report.deletedThere;

    // What the server holds now, against the file as it was read.
    if (!sent) {
        QString ignored;
        between(state.book, plan).save(statePath, ignored);
        why = failed;
        return Failed;
    }
    // The state once the data file is written; it goes along with the state
    // between, so that a run killed around the write finds the right one.
    SyncState done = after(state, plan);
    // Only a listing that nothing of ours changed afterwards may be skipped next time.
    if (plan.writes.empty())
        done.tag = contents.tag;
    // Our own writes come back in the next list of changes, with the ETags
    // the entries now hold; but a card made after the token and deleted
    // before the next run may be left out of it (Xandikos does), so after
    // making cards everything is listed once.
    const bool made =
        std::any_of(plan.writes.begin(), plan.writes.end(),
                    [](const PlannedWrite &w) { return w.kind == PlannedWrite::Create; });
    done.token = made ? QByteArray() : contents.token;
    if (m_beforeLocal)
        m_beforeLocal();
    std::vector<ContactRecord> records;
    records.reserve(plan.records.size());
    for (const PlannedRecord &r : plan.records)
        records.push_back(r.record);
    if (records != local) {
        SyncState both = between(state.book, plan);
        both.written = SyncState::hashOf(records);
        both.ifWritten = done.entries;
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
    report.received += plan.report.received;
    report.changedHere += plan.report.changedHere;
    report.deletedHere += plan.report.deletedHere;
    report.losses += plan.report.losses;
    for (const QString &line : std::as_const(plan.report.conflicts))
        report.conflict(line);
    // A sync that changed nothing leaves the state file as it was.
    const bool saved = !plan.writes.empty() || records != local;
    if (!done.save(statePath, why, saved ? nullptr : &m_stateOnDisk))
        return Failed;
    return again ? Again : Done;
}

bool SyncEngine::sendWrites(const std::vector<ContactRecord> &local, SyncPlan &plan, bool &again,
                            QString &why)
{
    static const QByteArray kVcard = "text/vcard; charset=utf-8";
    std::vector<DavRequest> requests;
    requests.reserve(plan.writes.size());
    for (const PlannedWrite &w : plan.writes) {
        if (w.kind == PlannedWrite::Delete)
            requests.push_back({"DELETE", urlOf(w.path), {}, {{"If-Match", w.etag}}});
        else if (w.kind == PlannedWrite::Edit)
            requests.push_back(
                {"PUT", urlOf(w.path), w.body, {{"If-Match", w.etag}, {"Content-Type", kVcard}}});
        else
            requests.push_back(
                {"PUT", urlOf(w.path), w.body, {{"If-None-Match", "*"}, {"Content-Type", kVcard}}});
    }
    std::vector<DavReply> replies;
    replies.reserve(requests.size());
    for (size_t from = 0; from < requests.size() && !stopped(); from += kWriteSlice) {
        const std::vector<DavRequest> slice(
            requests.begin() + qsizetype(from),
            requests.begin() + qsizetype(std::min(from + kWriteSlice, requests.size())));
        const auto shown = [&](qsizetype n) {
            const qint64 done = qint64(from) + n;
            progress(QStringLiteral("سرور: %1 از %2").arg(done).arg(requests.size()));
            if (m_counts)
                m_counts(done, qint64(requests.size()));
        };
        for (DavReply &r : m_client.sendAll(slice, shown))
            replies.push_back(std::move(r));
    }
    // Those not sent fail as unanswered: the state keeps them for the next sync.
    replies.resize(requests.size(), DavReply{0, QStringLiteral("متوقف شد"), {}, {}, {}});
    QSet<QString> deleted;
    for (size_t i = 0; i < plan.writes.size(); ++i) {
        const PlannedWrite &w = plan.writes[i];
        const DavReply &r = replies[i];
        if (r.status == 412)
            again = true; // changed there meanwhile: the next pass merges it
        if (!r.ok() && !(w.kind == PlannedWrite::Delete && r.status == 404)) {
            if (r.status != 412 && why.isEmpty())
                why = QStringLiteral("%1 %2: %3")
                          .arg(QString::fromLatin1(requests[i].method),
                               requests[i].url.toString(QUrl::RemoveUserInfo),
                               BookListing::httpText(r));
            if (w.kind == PlannedWrite::Edit)
                plan.records[size_t(w.slot)].entry = w.old;
            continue;
        }
        if (w.kind == PlannedWrite::Delete) {
            deleted.insert(w.path);
            continue;
        }
        PlannedRecord &s = plan.records[size_t(w.slot)];
        s.entry.etag = r.etag;
        if (s.local >= 0 && local[size_t(s.local)] == s.record)
            plan.pending[size_t(s.local)] = s.entry;
    }
    std::erase_if(plan.kept, [&deleted](const SyncEntry &e) { return deleted.contains(e.path); });
    return why.isEmpty();
}
