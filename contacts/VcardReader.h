#pragma once

#include <QByteArrayView>

#include "contacts/ContactDraft.h"

// Reads vCard 2.1, 3.0 and 4.0: unfolding, quoted-printable and CHARSET=,
// escapes, grouped names and several cards per file. A nesting error, a line
// that is no property or a card never closed stops it with the line number.
class VcardReader
{
public:
    // The text as TextInput::prepare gave it.
    static ReadResult read(QByteArrayView text, const DraftSink &take);

    // Whether a text looks like vCards (its first non-blank line is BEGIN:VCARD).
    static bool looksLikeVcard(QByteArrayView text);
};
