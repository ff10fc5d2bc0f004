#pragma once

#include "PasswordStore.h"

// The password in memory; a write can be made to fail, and reads are counted.
class MemoryPasswordStore : public PasswordStore
{
public:
    QString value;
    bool failWrites = false;
    int reads = 0;
    int writes = 0;

    QString read() override
    {
        ++reads;
        return value;
    }
    bool write(const QString &password) override
    {
        ++writes;
        if (failWrites)
            return false;
        value = password;
        return true;
    }
};
