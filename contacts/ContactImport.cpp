#include "contacts/ContactImport.h"

#include <algorithm>
#include <climits>

#include "contacts/CsvReader.h"
#include "contacts/DuplicateIndex.h"
#include "contacts/LossReport.h"
#include "contacts/RecordBuilder.h"
#include "contacts/TextInput.h"
#include "contacts/VcardReader.h"
#include "store/ContactStore.h"

namespace {

QString label(const ContactDraft &d)
{
    const QString full = (d.name.toString() + u' ' + d.family.toString()).trimmed();
    return full.isEmpty() ? QStringLiteral("(بي نام)") : QStringLiteral("«%1»").arg(full.left(60));
}

} // namespace

ContactImport::ContactImport(ContactStore &store, Sink report, Sink summary)
    : m_store(store), m_report(std::move(report)), m_summary(std::move(summary))
{
}

bool ContactImport::readsAsVcard(QByteArrayView text, Format format)
{
    return format == Vcard || (format == Auto && VcardReader::looksLikeVcard(text));
}

ReadResult ContactImport::read(QByteArrayView bytes, Format format, const DraftSink &take)
{
    ReadResult result;
    QByteArray converted;
    QByteArrayView text;
    if (!TextInput::prepare(bytes, converted, text, result))
        return result;
    ReadResult read =
        readsAsVcard(text, format) ? VcardReader::read(text, take) : CsvReader::read(text, take);
    read.notices = result.notices + read.notices;
    return read;
}

int ContactImport::run(const QList<ImportSource> &sources, Format format, bool dryRun)
{
    Plan plan;
    if (!prepare(sources, format, plan))
        return 1;
    for (const auto &line : std::as_const(plan.summary))
        m_summary(line.first);
    if (dryRun) {
        m_summary(QStringLiteral("آزمايشي: %1 مخاطب افزوده مي شد (روي هم %2)؛ چيزي نوشته نشد.")
                      .arg(plan.records.size())
                      .arg(plan.total()));
        return 0;
    }
    return commit(plan);
}

bool ContactImport::prepare(const QList<ImportSource> &sources, Format format, Plan &plan,
                            const std::atomic_bool *stop)
{
    plan = Plan();
    if (!countExisting(plan.existing, plan.dataSize))
        return false;

    // Records are built as the files are read, and past the most the data file
    // holds only counted; nothing is said or written until every file has been
    // read whole.
    qint64 count = 0;
    LossReport losses;
    DuplicateIndex index;
    if (!m_addDuplicates) {
        // A contact takes some 150 bytes of a file or more.
        qint64 input = 0;
        for (const ImportSource &source : sources)
            input += source.bytes.size();
        index.reserve(std::min<qint64>(plan.existing + input / 150, ContactStore::MaxRecords));
        if (!readExisting(index))
            return false;
    }
    for (const ImportSource &source : sources)
        if (!readSource(source, format, plan.existing, count, plan, losses,
                        m_addDuplicates ? nullptr : &index, stop))
            return false;

    const qint64 total = plan.existing + count;
    if (total > ContactStore::MaxRecords) {
        m_report(QStringLiteral("فايل داده %1 مخاطب دارد و اين فايلها %2 مخاطب؛ روي هم %3 مي شود، "
                                "بيش از %4 که فايل داده جا دارد. هيچ مخاطبي افزوده نشد.")
                     .arg(plan.existing)
                     .arg(count)
                     .arg(total)
                     .arg(ContactStore::MaxRecords));
        return false;
    }
    for (const QString &line : losses.lines())
        m_report(line);
    if (plan.dataSize % ContactRecord::Size != 0)
        m_report(QStringLiteral("%1: %2 بايت انتهاي فايل داده رکورد کاملي نيست و با افزودن کنار "
                                "گذاشته مي شود.")
                     .arg(m_store.dataFilePath())
                     .arg(plan.dataSize % ContactRecord::Size));
    plan.summary = summaryOf(plan);
    return true;
}

QList<QPair<QString, int>> ContactImport::summaryOf(const Plan &plan)
{
    QList<QPair<QString, int>> out;
    const auto line = [&out](int count, const QString &text) {
        if (count > 0)
            out.append({text.arg(count), count});
    };
    const auto &n = plan.changes.counts;
    line(n[RecordChanges::CutMobile], QStringLiteral("%1 شماره موبايل کوتاه شد"));
    line(n[RecordChanges::CutPhone], QStringLiteral("%1 شماره تلفن کوتاه شد"));
    line(n[RecordChanges::CutName], QStringLiteral("%1 نام کوتاه شد"));
    line(n[RecordChanges::CutFamily], QStringLiteral("%1 نام خانوادگی کوتاه شد"));
    line(n[RecordChanges::CutAddress], QStringLiteral("%1 آدرس کوتاه شد"));
    line(int(std::min<qint64>(plan.duplicatesLeftOut, INT_MAX)),
         QStringLiteral("%1 مخاطب تکراری افزوده نشد"));
    line(n[RecordChanges::National], QStringLiteral("%1 شماره با 0 به جای +98 یا 0098 نوشته شد"));
    if (n[RecordChanges::AreaCode] > 0)
        line(n[RecordChanges::AreaCode],
             QStringLiteral("%1 شماره تلفن بدون کد شهر ذخیره شد (کد شهر کنار گذاشته شد: %2)")
                 .arg(QStringLiteral("%1"), plan.changes.areaCodes.join(QStringLiteral("، "))));
    line(n[RecordChanges::MovedToMobile],
         QStringLiteral("%1 شماره موبایل که به جای تلفن آمده بود در موبایل ذخیره شد"));
    line(n[RecordChanges::LinesJoined],
         QStringLiteral("%1 آدرس چندسطری در یک سطر ذخیره شد (سطرها با «، » از هم جدا شدند)"));
    line(n[RecordChanges::NotKept],
         QStringLiteral("%1 شماره دیگر از خانه‌های چندشماره‌ای "
                        "ذخیره نشد"));
    line(n[RecordChanges::Replaced],
         QStringLiteral("%1 فیلد نویسه‌ای داشت که در Windows-1256 "
                        "نیست و به صورت \"?\" ذخیره شد"));
    return out;
}

// Every record of the directory, to leave out what it has already.
bool ContactImport::readExisting(DuplicateIndex &index)
{
    qint64 size = 0;
    if (StoreError e = m_store.DataFileSize(size); e || size == 0)
        return true; // a missing file is an empty directory; countExisting said the rest
    const StoreError e = m_store.ReadAllRecords([&index](const ContactRecord &r, qint64) {
        index.add(r);
        return true;
    });
    if (e && e.kind() != StoreError::FileNotFound && e.kind() != StoreError::PathNotFound) {
        m_report(e.message());
        nothingAdded();
        return false;
    }
    return true;
}

int ContactImport::commit(const Plan &plan)
{
    if (plan.records.empty()) {
        m_summary(
            plan.duplicatesLeftOut > 0
                ? QStringLiteral(
                      "همه مخاطب‌های این فایل‌ها در دفتر تلفن "
                      "بودند؛ "
                      "چیزی "
                      "نوشته نشد.")
                : QStringLiteral("مخاطبي در اين فايلها نبود؛ چيزي نوشته نشد."));
        return 0;
    }
    // The records were numbered after the ones counted; another writer
    // (the window, a sync) may have added or deleted some since.
    qint64 existing = 0;
    qint64 size = 0;
    if (!countExisting(existing, size))
        return 1;
    if (size != plan.dataSize) {
        m_report(QStringLiteral("فايل داده در اين ميان تغيير کرد؛ دوباره وارد کنيد."));
        nothingAdded();
        return 1;
    }
    return append(plan.records, plan.dataSize);
}

// The add page proposes the count + 1, so the count comes first. A missing
// file or folder is an empty directory that the import creates.
bool ContactImport::countExisting(qint64 &existing, qint64 &size)
{
    existing = 0;
    size = 0;
    if (StoreError e = m_store.DataFileSize(size)) {
        size = 0;
        if (e.kind() != StoreError::FileNotFound && e.kind() != StoreError::PathNotFound) {
            m_report(e.message());
            return false;
        }
    }
    existing = size / ContactRecord::Size;
    return true;
}

// Builds each contact's record as the file is read, numbered as the add page
// would number it after the records ahead of it.
bool ContactImport::readSource(const ImportSource &source, Format format, qint64 existing,
                               qint64 &count, Plan &plan, LossReport &losses, DuplicateIndex *index,
                               const std::atomic_bool *stop)
{
    std::vector<ContactRecord> &records = plan.records;
    const qint64 room = std::max<qint64>(ContactStore::MaxRecords - existing, 0);
    records.reserve(
        size_t(std::min<qint64>(qint64(records.size()) + source.bytes.size() / 100 + 1, room)));
    const qsizetype at = losses.mark();
    bool stopped = false;
    const ReadResult r = read(source.bytes, format, [&](const ContactDraft &draft) {
        if (stopped || (stop && stop->load(std::memory_order_relaxed))) {
            stopped = true;
            return;
        }
        // Past the room the import fails, saying only how many there were
        // (duplicates among them too: a runaway file is not built record by record).
        if (count >= room) {
            ++count;
            return;
        }
        QList<DraftNote> notes = draft.notes;
        const qint64 next = existing + count + 1;
        const auto proposed = qint16(std::min<qint64>(next, ContactStore::MaxRecords));
        RecordChanges changes;
        const ContactRecord record = RecordBuilder::build(draft, proposed, notes, &changes);
        if (index && !index->addIfNew(record)) {
            ++plan.duplicatesLeftOut;
            return;
        }
        records.push_back(record);
        ++count;
        for (int k = 0; k < RecordChanges::KindCount; ++k)
            plan.changes.counts[k] += changes.counts[k];
        for (const QString &code : std::as_const(changes.areaCodes))
            if (!plan.changes.areaCodes.contains(code))
                plan.changes.areaCodes << code;
        for (const DraftNote &n : std::as_const(notes))
            if (losses.full())
                losses.count(n.where);
            else
                losses.add(n.where, QStringLiteral("%1:%2: مخاطب %3 %4: %5: %6")
                                        .arg(source.name)
                                        .arg(draft.line)
                                        .arg(draft.index)
                                        .arg(label(draft), n.where.left(LossReport::MaxLineLength),
                                             n.what.left(LossReport::MaxLineLength)));
        if (draft.moreNotes > 0)
            losses.add(QStringLiteral("بيش از %1 مورد در يک مخاطب").arg(ContactDraft::MaxNotes),
                       QStringLiteral("%1:%2: مخاطب %3 %4: و %5 مورد ديگر")
                           .arg(source.name)
                           .arg(draft.line)
                           .arg(draft.index)
                           .arg(label(draft))
                           .arg(draft.moreNotes));
    });
    if (stopped || (stop && stop->load(std::memory_order_relaxed)))
        return false;
    for (qsizetype i = 0; i < r.notices.size(); ++i)
        losses.say(at + i, QStringLiteral("%1: %2").arg(source.name, r.notices[i]));
    if (!r.ok()) {
        for (const QString &n : r.notices)
            m_report(QStringLiteral("%1: %2").arg(source.name, n));
        m_report(QStringLiteral("%1:%2: %3").arg(source.name).arg(r.errorLine).arg(r.error));
        nothingAdded();
        return false;
    }
    return true;
}

int ContactImport::append(const std::vector<ContactRecord> &records, qint64 dataSize)
{
    if (StoreError e = m_store.Open()) {
        m_report(e.message());
        return 1;
    }
    qint64 after = 0;
    if (StoreError e = m_store.AppendRecords(records, &after, dataSize)) {
        if (e.kind() == StoreError::Overflow)
            m_report(QStringLiteral("بيش از %1 مخاطب در فايل داده جا نمي گيرد (فايل در اين "
                                    "ميان بزرگتر شده است). هيچ مخاطبي افزوده نشد.")
                         .arg(ContactStore::MaxRecords));
        else
            m_report(e.message());
        // Only a failed sync of the folder after the rename leaves the new file.
        if (e.tookEffect())
            m_report(QStringLiteral("مخاطبها در فايل داده نوشته شدند ولي پوشه همگام نشد؛ پيش از "
                                    "افزودن دوباره با list ببينيد."));
        else
            nothingAdded();
        return 1;
    }
    m_summary(QStringLiteral("%1 مخاطب افزوده شد؛ فايل داده اکنون %2 مخاطب دارد.")
                  .arg(records.size())
                  .arg(after));
    return 0;
}

void ContactImport::nothingAdded()
{
    m_report(QStringLiteral("هيچ مخاطبي افزوده نشد؛ فايل داده دست نخورد."));
}
