#pragma once

#include <initializer_list>
#include <vector>

#include <sys/types.h>

#include <QByteArrayView>
#include <QString>

#include "store/FileHandle.h"
#include "store/FileLock.h"
#include "store/StoreError.h"

class ContactRecord;
class DataFolder;

// One write of the data file in progress: the folder's write lock held, the
// data file open, and its length, owner and mode as they were when locked.
class DataWrite
{
public:
    explicit DataWrite(const DataFolder &folder);

    // A data file without its owner's write bit refuses every change, even
    // root's, who would otherwise pass every check.
    static bool ownerMayWrite(mode_t mode);

    StoreError begin();
    const QString &path() const { return m_path; }
    qint64 size() const { return m_size; }
    qint64 wholeRecords() const;

    // The whole records; a trailing partial record is left out.
    StoreError readWhole(std::vector<ContactRecord> &records) const;
    StoreError read(qint64 at, char *into, qint64 n) const;
    // A write in place that puts back the old length and bytes if it fails.
    StoreError writeInPlace(qint64 at, QByteArrayView bytes, QByteArrayView old) const;
    // The file becomes the pieces one after another, all or nothing.
    StoreError replace(std::initializer_list<QByteArrayView> pieces) const;

private:
    const DataFolder &m_folder;
    StoreIo *m_io;
    QString m_dir;
    QString m_path;
    FileLock m_lock;
    FileHandle m_file;
    qint64 m_size = 0;
    mode_t m_mode = 0;
    uid_t m_owner = 0;
    gid_t m_group = 0;
};
