#pragma once

#include <QString>
#include <QStringList>

// What a CSV header names, recognised by name: our own layout and the usual
// exports of web mail and phone contacts.
class CsvColumns
{
public:
    enum Role
    {
        Unknown,
        Given,
        Family,
        FullName, // split like a vCard's FN when there is no given or family name
        Phone,
        Mobile,
        Fax,        // fills Phone only when no voice column has a value
        Pager,      // the same
        PhoneValue, // "Phone 1 - Value", typed by its "Phone 1 - Type" / "- Label"
        PhoneType,
        Id,
        AddressFormatted,
        AddressPart, // street, city, ... joined when a group has no formatted address
        Ignored,     // says something about another column
    };

    struct Column
    {
        Role role = Unknown;
        QString group; // ties values, types and address parts together
    };

    // ours: the header is our own (it has Family), so Name is the given name.
    static Column classify(const QString &header, bool ours);
    static bool isOurs(const QStringList &header);

    // The recognised names, for --help.
    static QString knownNames();
};
