#pragma once

#include <QString>

// The code page has Arabic yeh and kaf (ي, ك) where Persian writes ی and ک;
// the window shows stored text with the Persian letters. Saving needs no
// reverse step for ی (the codec stores it as ي); an unchanged box keeps its
// stored bytes, so a ك that was never edited stays ك.
class PersianLetters
{
public:
    static QString shown(QString text)
    {
        for (QChar &c : text) {
            if (c == u'\u064A')
                c = u'\u06CC';
            else if (c == u'\u0643')
                c = u'\u06A9';
        }
        return text;
    }
};
