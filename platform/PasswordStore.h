#pragma once

#include <QString>

// The login password, kept as plain text in the per-user settings. Read afresh
// on every call: the settings page writes it while the program runs.
class PasswordStore
{
public:
    virtual ~PasswordStore() = default;
    // The stored value, empty when absent. False when the settings exist but
    // cannot be trusted (unreadable, unparsable, not a regular file): that is
    // not "no password". why then says so, naming the file.
    virtual bool read(QString &value, QString &why) = 0;
    // False when the value was not written; the stored value is then unchanged
    // and why says what stopped it.
    virtual bool write(const QString &password, QString &why) = 0;
};
