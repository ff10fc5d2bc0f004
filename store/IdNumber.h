#pragma once

#include <QString>
#include <QStringView>

// The identification number as the user types it: surrounding spaces ignored,
// Persian and Arabic-Indic digits accepted, fractions rounded half to even.
class IdNumber
{
public:
    enum Result
    {
        Ok,
        Empty,
        NotANumber,
        OutOfRange
    };

    static Result parse(QStringView text, qint16 &value);
    static QString message(Result r);
};
