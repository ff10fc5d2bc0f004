#pragma once

#include <vector>

#include <QtGlobal>

#include "contacts/DuplicateGroup.h"
#include "store/ContactRecord.h"
#include "store/StoreError.h"

class ContactStore;

// Records of one person: the same name and family after folding (ي/ی, ك/ک,
// surrounding spaces, ZWNJ), and each number equal or empty on one side.
// Groups are what such pairs connect, so a group may hold two numbers that
// conflict; it is then listed but not merged.
class Duplicates
{
public:
    static std::vector<DuplicateGroup> find(const std::vector<ContactRecord> &records);
    static bool isDuplicate(const ContactRecord &a, const ContactRecord &b);
    // The first record of the group with its empty fields filled from the
    // others in order.
    static ContactRecord merged(const std::vector<ContactRecord> &records, const DuplicateGroup &g);
    // Merges the chosen mergeable groups in one all-or-nothing store write,
    // under the store's lock, that holds only if the file is still exactly
    // asRead (RecordChanged otherwise). Groups that conflict are left alone.
    static StoreError merge(ContactStore &store, const std::vector<ContactRecord> &asRead,
                            const std::vector<DuplicateGroup> &chosen);
    // The records after merging the chosen groups, in file order.
    static std::vector<ContactRecord> afterMerge(const std::vector<ContactRecord> &records,
                                                 const std::vector<DuplicateGroup> &chosen);
};
