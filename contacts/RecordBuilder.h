#pragma once

#include <QList>

#include "contacts/ContactDraft.h"
#include "contacts/RecordChanges.h"
#include "store/ContactRecord.h"

// Builds the record the add page would build from the same six texts, and
// says what of the contact it could not keep.
class RecordBuilder
{
public:
    // proposedId is what the add page would offer: the record count before it + 1.
    // Numbers are made to fit their fields (PhoneNumber) and an address of
    // several lines becomes one; changes, if given, counts what was changed.
    static ContactRecord build(const ContactDraft &draft, qint16 proposedId,
                               QList<DraftNote> &notes, RecordChanges *changes = nullptr);

    // An address's lines joined with "، ", blank lines dropped.
    static QString oneLine(const QString &address);

    // The field's caption on the list page.
    static QString caption(ContactRecord::Field f);
    static QString idCaption();
};
