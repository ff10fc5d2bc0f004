#pragma once

#include <functional>
#include <initializer_list>
#include <vector>

#include <sys/types.h>

#include <QString>

#include "ContactRecord.h"
#include "StoreError.h"

class StoreIo;

// The data file File/quorvel.dat in a program directory. Every operation opens,
// works and closes; nothing is cached. Writers hold a lock file for their whole
// duration, and a deletion replaces the file atomically.
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
    QString tempFilePath() const;

    // At start-up: create a missing folder or data file, or bring back the data
    // file from a deletion that stopped after removing it.
    StoreError Open();

    // From the file's length; more than MaxRecords is an overflow.
    StoreError CountRecords(qint16 &count) const;
    // Whole records without the 16-bit limit.
    StoreError CountWholeRecords(qint64 &count) const;

    StoreError AppendRecord(const ContactRecord &record);
    // All or nothing: the file gains every record or stays exactly as it was.
    StoreError AppendRecords(const std::vector<ContactRecord> &records);
    StoreError ReadAllRecords(const Visitor &visit) const;
    StoreError ReadRecord(qint64 n, ContactRecord &record) const;

    // With expected set, the record is written only if it still holds exactly that.
    StoreError RewriteRecord(qint64 n, const ContactRecord &record,
                             const ContactRecord *expected = nullptr);
    StoreError DeleteRecord(qint64 n, const ContactRecord *expected = nullptr);

    // The count as last computed by AppendRecord or DeleteRecord (before it).
    qint64 RecordCount() const { return m_recordCount; }
    // Records left by the last deletion.
    qint64 TempCount() const { return m_tempCount; }

    void setLockTimeout(int ms) { m_lockTimeoutMs = ms; }

private:
    class WriteLock;

    StoreError statData(qint64 &size) const;
    StoreError restoreLeftover(const QString &dir) const;
    StoreError readWhole(int fd, const QString &path, std::vector<ContactRecord> &records,
                         mode_t &mode) const;
    StoreError replaceData(const QString &dir, mode_t mode,
                           std::initializer_list<QByteArrayView> pieces);
    StoreError diskError(const QString &path, int err) const;
    bool syncDir(const QString &dir) const;

    QString m_programDir;
    bool m_fixedFolder = false;
    StoreIo *m_io;
    qint64 m_recordCount = 0;
    qint64 m_tempCount = 0;
    int m_lockTimeoutMs = 2000;
};
