#pragma once

#include <QString>

// Text from a server on the way to a terminal: its control characters (ESC,
// BEL, carriage returns, C1 codes, ...) could move the cursor, retitle the
// window or hide a line, so each becomes U+FFFD.
class TerminalText
{
public:
    enum Newlines
    {
        Replaced,
        Kept // for a message that has its own lines
    };
    static QString clean(QString text, Newlines newlines = Replaced);
};
