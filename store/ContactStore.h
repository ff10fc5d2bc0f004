#pragma once

#include <functional>
#include <initializer_list>
#include <vector>

#include <QByteArrayView>
#include <QString>

#include "ContactRecord.h"
#include "StoreError.h"

class StoreIo;

// The data file File/quorvel.dat in a program directory. Every operation opens,
// works and closes; nothing is cached. Writers hold a lock file for their whole
// duration, and a deletion or a bulk append replaces the file atomically.
class ContactStore
{
public:
    static constexpr int MaxRecords = 32767;

    // Return false to stop early. n is the 1-based record number.
    using Visitor = std::function<bool(const ContactRecord &record, qint64 n)>;

    explicit ContactStore(QString programDir, StoreIo *io = nullptr);
    // A store whose data file is dataFolder/quorvel.dat, with no search for File.
    static ContactStore atDataFolder(const QString &dataFolder, StoreIo *io = nullptr);

    // The folder File, matched without regard to letter case.
    QString dataDir() const;
    QString dataFilePath() const;

    // At start-up: create a missing folder or data file, or bring back the data
    // file from a deletion that stopped after removing it.
    StoreError Open();

    // From the file's length; more than MaxRecords is an overflow.
    StoreError CountRecords(qint16 &count) const;
    // Whole records without the 16-bit limit.
    StoreError CountWholeRecords(qint64 &count) const;

    // On success, *recordsAfter (if given) is the number of whole records now.
    StoreError AppendRecord(const ContactRecord &record, qint64 *recordsAfter = nullptr);
    // All or nothing: the file gains every record or stays exactly as it was.
    StoreError AppendRecords(const std::vector<ContactRecord> &records,
                             qint64 *recordsAfter = nullptr);
    StoreError ReadAllRecords(const Visitor &visit) const;
    StoreError ReadRecord(qint64 n, ContactRecord &record) const;

    // With expected set, the record is written only if it still holds exactly that.
    StoreError RewriteRecord(qint64 n, const ContactRecord &record,
                             const ContactRecord *expected = nullptr);
    StoreError DeleteRecord(qint64 n, const ContactRecord *expected = nullptr);

    void setLockTimeout(int ms) { m_lockTimeoutMs = ms; }

    // All or nothing, and only if the file's whole records are still exactly
    // expected (RecordChanged otherwise): for a caller that read the file,
    // worked on its own copy and now writes the result back.
    StoreError ReplaceAllRecords(const std::vector<ContactRecord> &records,
                                 const std::vector<ContactRecord> &expected);

private:
    class WriteLock;
    class Writing;

    StoreError diskError(const QString &path, int err) const;
    StoreError lockError(const WriteLock &lock, const QString &dir) const;
    bool syncDir(const QString &dir) const;

    StoreError statData(qint64 &size) const;
    StoreError recover(const QString &dir, bool createEmpty) const;
    StoreError restoreLeftover(const QString &dir) const;

    StoreError beginWrite(Writing &w) const;
    StoreError readWhole(const Writing &w, std::vector<ContactRecord> &records) const;
    StoreError writeInPlace(const Writing &w, qint64 at, QByteArrayView bytes,
                            QByteArrayView old) const;
    StoreError replaceData(const Writing &w, std::initializer_list<QByteArrayView> pieces) const;

    QString m_programDir;
    bool m_fixedFolder = false;
    StoreIo *m_io;
    int m_lockTimeoutMs = 2000;
};
