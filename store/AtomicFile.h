#pragma once

#include <sys/types.h>

#include <QByteArrayView>
#include <QString>

#include "store/StoreError.h"

class StoreIo;

// The one way a file of the data folder is replaced. The new content goes to a
// new copy beside it, which is synced, given the old file's owner, group and
// mode, renamed over the file, and the folder is synced: at every instant the
// file holds the whole old or the whole new content.
class AtomicFile
{
public:
    struct Owner
    {
        uid_t uid = 0;
        gid_t gid = 0;
        mode_t mode = 0600;
    };

    // The copy is tempPath, or path + ".new" when that is empty.
    explicit AtomicFile(QString path, StoreIo *io = nullptr, QString tempPath = {});
    ~AtomicFile(); // a copy not committed is removed
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Starts the copy with the owner, group and mode of the file it replaces;
    // a new file gets the folder's owner and group and newFileMode. A link or
    // anything but a plain file in the file's place is refused, never followed.
    StoreError begin(mode_t newFileMode);
    // As begin, for a caller that holds the old file open and knows its owner.
    StoreError begin(const Owner &owner);
    StoreError write(QByteArrayView bytes);
    // Unconfirmed when the file was replaced but the folder's sync failed.
    StoreError commit();

    // The whole replacement in one call.
    static StoreError replace(const QString &path, QByteArrayView bytes, mode_t newFileMode,
                              StoreIo *io = nullptr);

    static bool syncFolder(const QString &dir, StoreIo *io);
    // Running as root in another user's folder, a file made here is given to
    // that user, so they keep working with it; others cannot give files away.
    static bool keepOwner(StoreIo *io, int fd, uid_t owner, gid_t group);

private:
    StoreError fail(const QString &path, int err);

    QString m_path;
    QString m_temp;
    StoreIo *m_io;
    int m_fd = -1;
    off_t m_written = 0;
    StoreError m_error;
};
