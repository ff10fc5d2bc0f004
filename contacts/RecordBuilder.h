#pragma once

#include <QList>

#include "contacts/ContactDraft.h"
#include "store/ContactRecord.h"

// Builds the record the add page would build from the same six texts, and
// says what of the contact it could not keep.
class RecordBuilder
{
public:
    // proposedId is what the add page would offer: the record count before it + 1.
    static ContactRecord build(const ContactDraft &draft, qint16 proposedId,
                               QList<DraftNote> &notes);

    // The field's caption on the list page.
    static QString caption(ContactRecord::Field f);
    static QString idCaption();
};
