#pragma once

// The layouts name Windows fonts; map them to installed ones with Persian glyphs.
class Fonts
{
public:
    static void install();
};
