#pragma once

#include <vector>

#include <QtGlobal>

class ContactRecord;
class ContactStore;
class QIODevice;
struct DuplicateGroup;

// halvex-contacts duplicates: lists the groups of duplicate contacts and, with
// --merge, merges each group without a conflict into its first record. Exit
// status as for the tool's other commands.
class DuplicatesCommand
{
public:
    DuplicatesCommand(QIODevice &out, QIODevice &err);

    // store's data file was found readable, size bytes long; it is opened for
    // writing when merge is set without dryRun.
    int run(ContactStore &store, qint64 size, bool merge, bool dryRun);

private:
    bool listGroups(const std::vector<ContactRecord> &records,
                    const std::vector<DuplicateGroup> &groups);

    QIODevice &m_out;
    QIODevice &m_err;
};
