#pragma once

#include "platform/PasswordStore.h"

// The password in memory; a read or a write can be made to fail, and both are counted.
class MemoryPasswordStore : public PasswordStore
{
public:
    QString value;
    QString readProblem; // when set, reads fail with it
    bool failWrites = false;
    int reads = 0;
    int writes = 0;

    bool read(QString &out, QString &why) override
    {
        ++reads;
        out = readProblem.isEmpty() ? value : QString();
        why = readProblem;
        return readProblem.isEmpty();
    }
    bool write(const QString &password, QString &why) override
    {
        ++writes;
        if (failWrites || !readProblem.isEmpty()) {
            why = readProblem.isEmpty() ? QStringLiteral("write failed") : readProblem;
            return false;
        }
        value = password;
        return true;
    }
};
