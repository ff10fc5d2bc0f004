#pragma once

#include "store/ContactStore.h"

// One record by its number, through the store's own reading; the program
// itself never needs a single record.
inline StoreError readRecord(const ContactStore &store, qint64 n, ContactRecord &record)
{
    qint64 count = 0;
    if (StoreError e = store.CountWholeRecords(count))
        return e;
    if (n < 1 || n > count)
        return StoreError(StoreError::BadRecordNumber, store.dataFilePath(), QString::number(n));
    return store.ReadAllRecords([&](const ContactRecord &r, qint64 i) {
        if (i < n)
            return true;
        record = r;
        return false;
    });
}
