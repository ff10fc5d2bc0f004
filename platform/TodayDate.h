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

    // "امروز ، " W " ، " D " ، " M, then beforeYear and Y: the main window puts
    // nothing before the year, the splash " سال ". Reads in the order above.
    QString dateLine(const QString &beforeYear = {})
    {
        const QString sep = QStringLiteral(" ، ");
        const QString w = WeekdayName();
        const int d = Day();
        const QString m = MonthName();
        const int y = Year();
        return QStringLiteral("امروز ، ") + w + sep + QString::number(d) + sep + m + beforeYear +
               QString::number(y);
    }
};
