#pragma once

#include <QCalendar>
#include <QDate>

#include "platform/TodayDate.h"

// The Persian (Solar Hijri) calendar with Persian names.
class JalaliTodayDate : public TodayDate
{
public:
    // today() is asked once per property so a refresh across midnight stays whole
    // only as far as the caller reads it; the source date can be fixed for tests.
    explicit JalaliTodayDate(QDate fixed = {});

    QString WeekdayName() override;
    int Day() override;
    QString MonthName() override;
    int Year() override;

private:
    QDate today() const;

    QCalendar m_calendar;
    QDate m_fixed;
};
