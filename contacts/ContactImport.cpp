#include "ContactImport.h"

#include <system_error>
#include <thread>
#include <vector>

#include <QFileInfo>

#include "ContactStore.h"
#include "CsvReader.h"
#include "RecordBuilder.h"
#include "TextInput.h"
#include "TextLines.h"
#include "VcardReader.h"

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

ReadResult ContactImport::read(QByteArray bytes, Format format, const DraftSink &take)
{
    ReadResult result;
    if (!TextInput::prepare(bytes, result))
        return result;
    ReadResult read =
        readsAsVcard(bytes, format) ? VcardReader::read(bytes, take) : CsvReader::read(bytes, take);
    read.notices = result.notices + read.notices;
    return read;
}

namespace {

// What one file, or one piece of it, gave.
struct Batch
{
    std::vector<ContactRecord> records;
    QStringList losses;
    ReadResult result;
};

// Builds each contact's record as the file is read: before is the number of
// records ahead of the first, for the number the add page would propose.
DraftSink building(Batch &batch, qint64 before, const QString &name)
{
    return [&batch, before, &name](const ContactDraft &draft) {
        QList<DraftNote> notes = draft.notes;
        const qint64 next = before + qint64(batch.records.size()) + 1;
        const auto proposed = qint16(std::min<qint64>(next, ContactStore::MaxRecords));
        batch.records.push_back(RecordBuilder::build(draft, proposed, notes));
        for (const DraftNote &n : std::as_const(notes))
            batch.losses << QStringLiteral("%1:%2: مخاطب %3 %4: %5: %6")
                                .arg(name)
                                .arg(draft.line)
                                .arg(draft.index)
                                .arg(label(draft), n.where, n.what);
    };
}

// A large vCard file is read in two halves at once, each from a card start
// that a reader of the whole file would reach as it is. Whenever the halves
// might not add up to what one reading gives (the first half fails, or it held
// another number of cards than its lines said), the file is read again whole.
Batch readVcard(QByteArrayView text, qint64 before, const QString &name, qsizetype twoThreadsFrom)
{
    const qsizetype cut = text.size() >= twoThreadsFrom && TextLines::separatorOf(text) == '\n'
                              ? VcardReader::middleCard(text)
                              : -1;
    if (cut > 0) {
        const QByteArrayView head = text.first(cut);
        Batch first, second;
        int cardsAhead = 0;
        std::thread other;
        try {
            other = std::thread([&] {
                cardsAhead = VcardReader::countCardStarts(head);
                const VcardReader::Start start{'\n', TextLines::count(head, '\n'), cardsAhead};
                second.records.reserve(size_t((text.size() - cut) / 100 + 1));
                second.result = VcardReader::read(
                    text.sliced(cut), building(second, before + cardsAhead, name), start);
            });
        } catch (const std::system_error &) {
            // No thread to be had: one reading does it all.
        }
        if (other.joinable()) {
            first.records.reserve(size_t(cut / 100 + 1));
            first.result = VcardReader::read(head, building(first, before, name));
            other.join();
            if (first.result.ok() && first.result.contacts == cardsAhead) {
                first.records.insert(first.records.end(), second.records.cbegin(),
                                     second.records.cend());
                first.losses += second.losses;
                first.result.contacts += second.result.contacts;
                first.result.error = second.result.error;
                first.result.errorLine = second.result.errorLine;
                return first;
            }
        }
    }
    Batch whole;
    whole.records.reserve(size_t(text.size() / 100 + 1));
    whole.result = VcardReader::read(text, building(whole, before, name));
    return whole;
}

} // namespace

int ContactImport::run(const QList<ImportSource> &sources, Format format, bool dryRun)
{
    // The add page proposes the count + 1, so the count comes first.
    qint64 existing = 0;
    qint64 size = 0;
    if (StoreError e = m_store.CountWholeRecords(existing)) {
        // A missing file or folder is an empty directory that the import creates.
        if (e.kind() != StoreError::FileNotFound && e.kind() != StoreError::PathNotFound) {
            m_report(e.message());
            return 1;
        }
        existing = 0;
    } else {
        size = QFileInfo(m_store.dataFilePath()).size();
    }

    // Records are built as the files are read; nothing is said or written
    // until every file has been read whole.
    std::vector<ContactRecord> records;
    QStringList report;
    for (const ImportSource &source : sources) {
        QByteArray bytes = source.bytes;
        const qint64 before = existing + qint64(records.size());
        Batch batch;
        if (TextInput::prepare(bytes, batch.result)) {
            const QStringList notices = batch.result.notices;
            if (readsAsVcard(bytes, format)) {
                batch = readVcard(bytes, before, source.name, m_twoThreadsFrom);
            } else {
                batch.records.reserve(size_t(bytes.size() / 100 + 1));
                batch.result = CsvReader::read(bytes, building(batch, before, source.name));
            }
            batch.result.notices = notices + batch.result.notices;
        }
        const ReadResult &r = batch.result;
        for (const QString &n : r.notices)
            report << QStringLiteral("%1: %2").arg(source.name, n);
        if (!r.ok()) {
            for (const QString &n : r.notices)
                m_report(QStringLiteral("%1: %2").arg(source.name, n));
            m_report(QStringLiteral("%1:%2: %3").arg(source.name).arg(r.errorLine).arg(r.error));
            m_report(QStringLiteral("هيچ مخاطبي افزوده نشد؛ فايل داده دست نخورد."));
            return 1;
        }
        report += batch.losses;
        if (records.empty())
            records = std::move(batch.records);
        else
            records.insert(records.end(), batch.records.cbegin(), batch.records.cend());
    }

    const qint64 total = existing + qint64(records.size());
    if (total > ContactStore::MaxRecords) {
        m_report(QStringLiteral("فايل داده %1 مخاطب دارد و اين فايلها %2 مخاطب؛ روي هم %3 مي شود، "
                                "بيش از 32767 که فايل داده جا دارد. هيچ مخاطبي افزوده نشد.")
                     .arg(existing)
                     .arg(records.size())
                     .arg(total));
        return 1;
    }
    for (const QString &line : std::as_const(report))
        m_report(line);
    if (size % ContactRecord::Size != 0)
        m_report(QStringLiteral("%1: %2 بايت انتهاي فايل داده رکورد کاملي نيست و با افزودن کنار "
                                "گذاشته مي شود.")
                     .arg(m_store.dataFilePath())
                     .arg(size % ContactRecord::Size));

    if (dryRun) {
        m_summary(QStringLiteral("آزمايشي: %1 مخاطب افزوده مي شد (روي هم %2)؛ چيزي نوشته نشد.")
                      .arg(records.size())
                      .arg(total));
        return 0;
    }
    if (records.empty()) {
        m_summary(QStringLiteral("مخاطبي در اين فايلها نبود؛ چيزي نوشته نشد."));
        return 0;
    }
    if (StoreError e = m_store.Open()) {
        m_report(e.message());
        return 1;
    }
    qint64 after = 0;
    if (StoreError e = m_store.AppendRecords(records, &after)) {
        if (e.kind() == StoreError::Overflow)
            m_report(QStringLiteral("بيش از 32767 مخاطب در فايل داده جا نمي گيرد (فايل در اين "
                                    "ميان بزرگتر شده است). هيچ مخاطبي افزوده نشد."));
        else
            m_report(e.message());
        // Only a failed sync of the folder after the rename leaves the new file.
        if (e.tookEffect())
            m_report(QStringLiteral("مخاطبها در فايل داده نوشته شدند ولي پوشه همگام نشد؛ پيش از "
                                    "افزودن دوباره با list ببينيد."));
        else
            m_report(QStringLiteral("هيچ مخاطبي افزوده نشد؛ فايل داده دست نخورد."));
        return 1;
    }
    m_summary(QStringLiteral("%1 مخاطب افزوده شد؛ فايل داده اکنون %2 مخاطب دارد.")
                  .arg(records.size())
                  .arg(after));
    return 0;
}
