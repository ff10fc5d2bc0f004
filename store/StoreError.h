#pragma once

#include <QString>

// A failed store operation. Every kind names the file it concerns.
class StoreError
{
public:
    enum Kind
    {
        None,
        FileNotFound,
        PathNotFound,
        Overflow,
        BadRecordNumber,
        DiskError,
        RecordChanged,    // the record no longer holds what the caller saw
        PermissionDenied, // the user may not write the file or folder
        InUse,            // another copy of the program held the lock too long
        Unconfirmed,      // the change was made, but the disk did not confirm it
        ReadDenied,       // the user may not read the file or folder
        IsLink,           // a file of the data folder is a link, which is never followed
        FileChanged,      // the file's length changed since the caller counted it
    };

    StoreError() = default;
    StoreError(Kind kind, QString path, QString detail = {})
        : m_kind(kind), m_path(std::move(path)), m_detail(std::move(detail))
    {
    }

    bool ok() const { return m_kind == None; }
    explicit operator bool() const { return m_kind != None; }
    Kind kind() const { return m_kind; }
    // The file holds the new content, confirmed or not.
    bool tookEffect() const { return m_kind == None || m_kind == Unconfirmed; }
    QString path() const { return m_path; }
    QString detail() const { return m_detail; }

    // Persian, for the user; names the error and the file.
    QString message() const;
    static QString kindName(Kind kind);

    // A failed call's errno on path: a refusal is PermissionDenied, the rest DiskError.
    static StoreError fromErrno(const QString &path, int err);
    // For a file that was to be read: a refusal says it cannot be read.
    static StoreError fromReadErrno(const QString &path, int err);
    static QString errnoText(int err);

private:
    Kind m_kind = None;
    QString m_path;
    QString m_detail;
};
