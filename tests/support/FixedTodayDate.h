#pragma once

#include <QStringList>

#include "platform/TodayDate.h"

// A date source that also records the order in which it was read.
class FixedTodayDate : public TodayDate
{
public:
    QString weekday = QStringLiteral("دوشنبه");
    int day = 5;
    QString month = QStringLiteral("آذر");
    int year = 1405;
    QStringList reads;

    QString WeekdayName() override { return reads << "WeekdayName", weekday; }
    int Day() override { return reads << "Day", day; }
    QString MonthName() override { return reads << "MonthName", month; }
    int Year() override { return reads << "Year", year; }
};
