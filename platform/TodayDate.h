#pragma once

#include <QString>

// Today's date as the date line shows it. Read in the order WeekdayName, Day,
// MonthName, Year at every refresh.
class TodayDate
{
public:
    virtual ~TodayDate() = default;
    virtual QString WeekdayName() = 0;
    virtual int Day() = 0;
    virtual QString MonthName() = 0;
    virtual int Year() = 0;
};
