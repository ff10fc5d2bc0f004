#pragma once

#include <QString>
#include <QStringView>

// A line of a Persian message that quotes what came from outside: file names,
// numbers, imported names. Left-to-right runs are isolated so that "021-6601"
// reads as written, and direction controls that arrived in the data are shown
// by their code instead of acting on the rest of the line.
class BidiText
{
public:
    static QString isolated(QStringView line);
    // Left-to-right and right-to-left marks, embeddings, overrides and isolates.
    static bool isControl(char32_t c);
};
