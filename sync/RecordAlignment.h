#pragma once

#include <vector>

#include "store/ContactRecord.h"

// Lines up the records of the last sync with the file now. The window only
// appends, rewrites in place and deletes (closing the gap), so the order holds:
// equal records pair first, then in what lies between two such pairs a
// record pairs with one that shares a field, as a rewrite in place.
class RecordAlignment
{
public:
    // For each record of before, the index in now it became, or -1: deleted.
    static std::vector<int> align(const std::vector<ContactRecord> &before,
                                  const std::vector<ContactRecord> &now);

    // Fields two records share (empty text fields and ID 0 do not count).
    static int likeness(const ContactRecord &a, const ContactRecord &b);
};
