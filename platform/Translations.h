#pragma once

// Qt's own texts (the buttons of message and input boxes) in Persian, so a box
// that says "click Yes" shows the button it names.
class Translations
{
public:
    // False when the Persian catalogue is not installed; the boxes then stay English.
    static bool install();
};
