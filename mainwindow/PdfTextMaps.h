#pragma once

#include <QByteArray>
#include <QString>

// Makes a PDF's text searchable and copyable as letters. A font subset's
// ToUnicode map names each glyph by the first character the font maps to it,
// which for a joined Arabic letter is a presentation form (U+FB50–U+FEFF) and
// for the space glyph a tab; readers then find neither words nor spaces.
class PdfTextMaps
{
public:
    // Rewrites every ToUnicode map of pdf in place: presentation forms become
    // their letters (a ligature its letters in reading order), a tab a space,
    // and a zero-width space a half-space, whose glyph the list draws for it
    // where the font's own half-space is a visible mark.
    // False, pdf unchanged and why set when the PDF could not be read.
    static bool toLetters(QByteArray &pdf, QString &why);

    // One map's text in letters; whether anything changed.
    static bool rewriteMap(QByteArray &cmap);
};
