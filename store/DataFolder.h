#pragma once

#include <sys/types.h>

#include <QString>

#include "store/StoreError.h"

class FileHandle;
class FileLock;
class StoreIo;
struct stat;

// The data folder File/ under a base folder and the files in it: their names,
// finding the folder in any letter case, looking at its entries without
// following links, its owner, its write lock, and bringing the data file back
// when a write stopped half way. Nothing is cached: each call looks again.
class DataFolder
{
public:
    // With fixed, base is the data folder itself and File is not looked for.
    DataFolder(QString base, bool fixed, StoreIo *io);

    StoreIo *io() const { return m_io; }
    void setLockTimeout(int ms) { m_lockTimeoutMs = ms; }

    // File matched without regard to letter case; File itself when there is none yet.
    StoreError find(QString &dir, bool *found = nullptr) const;
    QString dir() const;

    static QString dataFile(const QString &dir);
    // The copy a replacement writes; a whole one beside a missing data file is its last content.
    static QString copyFile(const QString &dir);
    static QString copyName();
    static QString syncStateFile(const QString &dir);

    // A missing entry is no error; any other failure to look is.
    StoreError probe(const QString &path, struct stat &st, bool &found) const;
    StoreError probeDir(const QString &path, bool &isDir) const;
    // As probe, but a link is reported as itself, never followed.
    StoreError probeEntry(const QString &path, struct stat &st, bool &found) const;
    bool ownerOf(const QString &dir, uid_t &owner, gid_t &group) const;
    // For an open of a file of the folder that may have met a link.
    StoreError openError(const QString &path, int err, bool reading) const;

    // The writers' lock; InUse, naming the data file, when another kept it.
    StoreError lock(const QString &dir, FileLock &lock) const;
    // Makes a missing folder (0700) and data file, or brings back the data
    // file from a deletion that stopped after removing it.
    StoreError open() const;
    // The data file open for reading and its whole records; a missing file is
    // made empty, unless a left-over holds its records.
    StoreError openForReading(FileHandle &fd, QString &path, qint64 &records) const;
    // The data file's length, after bringing back a left-over copy.
    StoreError dataSize(qint64 &size) const;
    // For a data file found missing outside a write: brings back a left-over
    // copy, or with createEmpty makes an empty data file.
    StoreError recover(const QString &dir, bool createEmpty) const;
    // Under the write lock, when the data file is missing.
    StoreError restoreLeftover(const QString &dir) const;

private:
    QString m_base;
    bool m_fixed;
    StoreIo *m_io;
    int m_lockTimeoutMs = 2000;
};
