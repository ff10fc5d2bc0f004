#pragma once

#include <QString>

// The login password, kept as plain text in the per-user settings. Read afresh
// on every call: the settings page writes it while the program runs.
class PasswordStore
{
public:
    virtual ~PasswordStore() = default;
    // Empty when absent.
    virtual QString read() = 0;
    // False when the value could not be written; the stored value is then unchanged.
    virtual bool write(const QString &password) = 0;
};
