#include "platform/JalaliTodayDate.h"

#include <QLocale>

namespace {
const QLocale &persian()
{
    static const QLocale locale(QLocale::Persian, QLocale::Iran);
    return locale;
}
} // namespace

JalaliTodayDate::JalaliTodayDate(QDate fixed)
    : m_calendar(QCalendar::System::Jalali), m_fixed(fixed)
{
}

QDate JalaliTodayDate::today() const
{
    return m_fixed.isValid() ? m_fixed : QDate::currentDate();
}

QString JalaliTodayDate::WeekdayName()
{
    return persian().dayName(m_calendar.dayOfWeek(today()), QLocale::LongFormat);
}

int JalaliTodayDate::Day()
{
    return m_calendar.partsFromDate(today()).day;
}

QString JalaliTodayDate::MonthName()
{
    const QCalendar::YearMonthDay ymd = m_calendar.partsFromDate(today());
    return m_calendar.standaloneMonthName(persian(), ymd.month, ymd.year, QLocale::LongFormat);
}

int JalaliTodayDate::Year()
{
    return m_calendar.partsFromDate(today()).year;
}
