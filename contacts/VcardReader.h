#pragma once

#include <QByteArrayView>

#include "ContactDraft.h"

// Reads vCard 2.1, 3.0 and 4.0: unfolding, quoted-printable and CHARSET=,
// escapes, grouped names and several cards per file. A nesting error, a line
// that is no property or a card never closed stops it with the line number.
class VcardReader
{
public:
    // The text as TextInput::prepare left it.
    static ReadResult read(QByteArrayView text, const DraftSink &take);

    // A piece of a larger text, numbered on from what came before it: lines
    // split at separator, lines and cards counted before the piece.
    struct Start
    {
        char separator = '\n';
        qsizetype lines = 0;
        int cards = 0;
    };
    static ReadResult read(QByteArrayView text, const DraftSink &take, const Start &start);

    // Where a text with LF line ends can be cut in two near its middle, so that
    // each half reads as it would in the whole: a "BEGIN:VCARD" line right after
    // an "END:VCARD" line. -1 when there is no such place.
    static qsizetype middleCard(QByteArrayView text);
    // How many lines of a text begin with "BEGIN:VCARD", as middleCard finds them.
    static int countCardStarts(QByteArrayView text);
    // Whether a text looks like vCards (its first non-blank line is BEGIN:VCARD).
    static bool looksLikeVcard(QByteArrayView text);
};
