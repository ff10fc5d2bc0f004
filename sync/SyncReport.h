#pragma once

#include <QString>
#include <QStringList>

// What a sync did, side by side.
struct SyncReport
{
    int sent = 0;         // new cards
    int changedThere = 0; // cards changed from records
    int deletedThere = 0;
    int received = 0; // new records
    int changedHere = 0;
    int deletedHere = 0;
    QStringList conflicts; // one line each
    QStringList losses;    // what a record could not hold of a card
    QStringList skipped;   // what the server named outside the book

    void conflict(const QString &line)
    {
        if (!conflicts.contains(line))
            conflicts << line;
    }
};
