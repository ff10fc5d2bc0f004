#pragma once

#include <array>

#include <QStringList>

// What building records changed to make contacts fit, and what it cut, by kind:
// the import's summary counts them instead of a line for each.
struct RecordChanges
{
    enum Kind
    {
        National,      // +98 or 0098 written as 0
        AreaCode,      // a telephone kept without its area code
        MovedToMobile, // a mobile number given as the telephone
        LinesJoined,   // an address of several lines
        NotKept,       // further numbers of one cell
        CutName,
        CutFamily,
        CutPhone,
        CutMobile,
        CutAddress,
        Replaced, // characters the code page lacks, stored as "?"
        KindCount
    };

    std::array<int, KindCount> counts{};
    QStringList areaCodes; // those set aside, each once, in the order met

    void add(Kind k) { ++counts[k]; }
    void setAside(const QString &areaCode)
    {
        add(AreaCode);
        if (!areaCodes.contains(areaCode))
            areaCodes << areaCode;
    }
};
