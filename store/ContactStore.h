#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QByteArrayView>
#include <QString>

#include "store/ContactRecord.h"
#include "store/DataFolder.h"
#include "store/FileLock.h"
#include "store/StoreError.h"

class StoreIo;

// The data file File/quorvel.dat under a base folder: the program's own folder,
// or the user's data folder for an installed program (DataLocation decides).
// Only the store knows the names of the files in the data folder. Every
// operation opens, works and closes; nothing is cached. Writers hold a lock file
// for their whole duration, and a deletion or a bulk append replaces the file
// atomically.
class ContactStore
{
public:
    static constexpr int MaxRecords = 32767;

    // Return false to stop early. n is the 1-based record number.
    using Visitor = std::function<bool(const ContactRecord &record, qint64 n)>;

    // A copy that a write left behind when it was cut off.
    struct Leftover
    {
        QString name;
        qint64 size = 0;
    };

    explicit ContactStore(QString baseFolder, StoreIo *io = nullptr);
    // A store whose data file is dataFolder/quorvel.dat, with no search for File.
    static ContactStore atDataFolder(const QString &dataFolder, StoreIo *io = nullptr);

    // The folder File, matched without regard to letter case; File itself when
    // there is none yet.
    QString dataDir() const;
    QString dataFilePath() const;
    // Where the state of the last CardDAV sync is kept, beside the data file.
    QString syncStatePath() const;
    // Held for a whole sync, so that two syncs of one data file (a timer's and
    // one started by hand) never run at once; InUse when another holds it. It is
    // apart from the write lock, which the sync takes only for its last write.
    // Released with the lock, or by the end of the process.
    StoreError LockForSync(FileLock &lock) const;
    // The base folder holds File in some letter case.
    bool hasDataFolder() const;
    // None when there is no left-over, or the folder cannot be read.
    std::optional<Leftover> leftover() const;

    // At start-up: create a missing folder or data file, or bring back the data
    // file from a deletion that stopped after removing it.
    StoreError Open();

    // From the file's length; more than MaxRecords is an overflow.
    StoreError CountRecords(qint16 &count) const;
    // Whole records without the 16-bit limit.
    StoreError CountWholeRecords(qint64 &count) const;
    // The data file's length in bytes, partial record included; a left-over of
    // an interrupted write is restored first, as for every other operation.
    StoreError DataFileSize(qint64 &bytes) const { return m_folder.dataSize(bytes); }

    // On success, *recordsAfter (if given) is the number of whole records now.
    StoreError AppendRecord(const ContactRecord &record, qint64 *recordsAfter = nullptr);
    // All or nothing: the file gains every record or stays exactly as it was.
    // With expectedSize, only if the file is still that long (FileChanged
    // otherwise): for a caller that numbered the records after those it counted.
    StoreError AppendRecords(const std::vector<ContactRecord> &records,
                             qint64 *recordsAfter = nullptr,
                             std::optional<qint64> expectedSize = std::nullopt);
    StoreError ReadAllRecords(const Visitor &visit) const;
    // Every whole record in file order; records is empty on failure.
    StoreError ReadAll(std::vector<ContactRecord> &records) const;

    // With expected set, the record is written only if it still holds exactly that.
    StoreError RewriteRecord(qint64 n, const ContactRecord &record,
                             const ContactRecord *expected = nullptr);
    StoreError DeleteRecord(qint64 n, const ContactRecord *expected = nullptr);

    void setLockTimeout(int ms) { m_folder.setLockTimeout(ms); }

    // All or nothing, and only if the file's whole records are still exactly
    // expected (RecordChanged otherwise): for a caller that read the file,
    // worked on its own copy and now writes the result back.
    StoreError ReplaceAllRecords(const std::vector<ContactRecord> &records,
                                 const std::vector<ContactRecord> &expected);

private:
    explicit ContactStore(DataFolder folder);

    DataFolder m_folder;
};
