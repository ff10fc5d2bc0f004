#pragma once

#include <atomic>
#include <functional>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "contacts/ContactDraft.h"
#include "store/ContactRecord.h"

class ContactStore;
class LossReport;

// One file to import, already read or mapped.
struct ImportSource
{
    QString name; // as the user gave it, for messages
    QByteArray bytes;
};

// Reads every file first, then appends all their contacts in one all-or-nothing
// write of the store. Nothing is written when any file cannot be read or the
// total would pass ContactStore::MaxRecords.
class ContactImport
{
public:
    enum Format
    {
        Auto,
        Vcard,
        Csv
    };
    using Sink = std::function<void(const QString &line)>;

    // The largest input read: many times what 32767 contacts take, even with
    // a small photo each, and a bound on what a runaway or hostile file costs.
    static constexpr qint64 MaxInput = 64 * 1024 * 1024;

    // report gets the per-contact loss lines and the errors; summary the outcome.
    ContactImport(ContactStore &store, Sink report, Sink summary);

    // What the files would add, read before anything is written.
    struct Plan
    {
        std::vector<ContactRecord> records; // numbered after the existing ones
        qint64 existing = 0;                // records in the data file when counted
        qint64 dataSize = 0;                // its bytes then
        qint64 total() const { return existing + qint64(records.size()); }
    };

    // 0 on success, 1 on a failure.
    int run(const QList<ImportSource> &sources, Format format, bool dryRun);
    // Reads every file and reports the losses; false on a failure, which has
    // been reported, or when stop was set meanwhile, which has not.
    bool prepare(const QList<ImportSource> &sources, Format format, Plan &plan,
                 const std::atomic_bool *stop = nullptr);
    // Appends the plan's records in one all-or-nothing write, unless the data
    // file changed since it was counted. 0 on success, 1 on a failure.
    int commit(const Plan &plan);

    // Whether a prepared text is read as vCards: asked for, or found so.
    static bool readsAsVcard(QByteArrayView text, Format format);

    // Reads one file, handing each contact to take while the input is alive.
    static ReadResult read(QByteArrayView bytes, Format format, const DraftSink &take);

private:
    bool countExisting(qint64 &existing, qint64 &size);
    bool readSource(const ImportSource &source, Format format, qint64 existing, qint64 &count,
                    std::vector<ContactRecord> &records, LossReport &losses,
                    const std::atomic_bool *stop);
    int append(const std::vector<ContactRecord> &records, qint64 dataSize);
    void nothingAdded();

    ContactStore &m_store;
    Sink m_report;
    Sink m_summary;
};
