#pragma once

// Qt's own texts in Persian: the buttons of message and input boxes, so a box
// that says "click Yes" shows the button it names, and halvex-contacts' help.
class Translations
{
public:
    // False when the Persian catalogue is not installed; the boxes then stay English.
    static bool install();
};
