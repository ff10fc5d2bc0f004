#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

#include "store/ContactRecord.h"
#include "sync/SyncReport.h"
#include "sync/SyncState.h"

// One write to the server.
struct PlannedWrite
{
    enum Kind
    {
        Create, // If-None-Match: *
        Edit,   // If-Match: etag
        Delete  // If-Match: etag
    } kind;
    QString path;
    QByteArray body;
    QByteArray etag;
    int slot = -1;   // the record it is for, in SyncPlan::records
    SyncEntry old{}; // the pairing before, for an edit or a deletion
};

// One contact of the data file once the plan is carried out.
struct PlannedRecord
{
    ContactRecord record;
    SyncEntry entry;
    int local = -1; // the index of the record it was in the file as read
};

// What a pass will do on both sides, decided before anything is written.
struct SyncPlan
{
    enum Refusal
    {
        None,
        EmptiedHere,    // every paired record is gone from the data file
        EmptiedThere,   // every paired card is gone from the book
        TooManyCards,   // the book holds more cards than the data file can
        TooManyRecords, // the data file would hold more than it can
    };
    Refusal refusal = None;
    qsizetype count = 0; // what the refusal counted: pairings, cards or records

    std::vector<PlannedRecord> records; // the data file after, in order
    std::vector<PlannedWrite> writes;   // in the order they may be sent
    // The state while the server is written and before the file is: for
    // each record as read, its pairing then, and the pairings of records gone
    // here whose card stays for now.
    std::vector<std::optional<SyncEntry>> pending;
    std::vector<SyncEntry> kept;
    SyncReport report; // what the pass will have done once it is written
};
