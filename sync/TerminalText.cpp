#include "sync/TerminalText.h"

QString TerminalText::clean(QString text, Newlines newlines)
{
    for (QChar &c : text)
        if (c.category() == QChar::Other_Control && !(newlines == Kept && c == u'\n'))
            c = QChar::ReplacementCharacter;
    return text;
}
