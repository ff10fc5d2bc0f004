#pragma once

class QWidget;

// The layouts name Windows fonts; map them to installed ones with Persian glyphs.
class Fonts
{
public:
    static void install();
    // A .ui font holds whole points only; layouts keep 9.75 and 8.25 in the
    // dynamic property fontPointSizeF. Applies it to root and its children.
    static void applyFractionalSizes(QWidget *root);
};
