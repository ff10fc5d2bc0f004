#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Makes a number fit its field (Windows-1256 bytes: telephone 8, mobile 11):
// phones write numbers in international form with spaces and dashes, which
// the fields cannot hold whole.
class PhoneNumber
{
public:
    enum class Field
    {
        Telephone,
        Mobile
    };
    struct Fit
    {
        QString number;           // what the field stores (cut only when nothing else fits)
        bool fits = false;        // number fits its field without a cut
        bool national = false;    // an Iranian international prefix was written as 0
        QString areaCodeSetAside; // e.g. "021" when only the subscriber number was kept
        QStringList notKept;      // further numbers of a " ::: " cell
    };

    static Fit fit(QStringView raw, Field field);
    // 09 and nine digits.
    static bool isIranianMobile(QStringView digits);
    // The digits and a leading +, without separators; empty when the text
    // holds anything else, such as letters.
    static QString cleaned(QStringView raw);
    static int width(Field field);
};
