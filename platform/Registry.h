#pragma once

#include <QByteArray>
#include <QString>

// The system registry, reduced to the three calls that read one value. Status
// codes are the system's own: 0 is success, anything else a failure.
class Registry
{
public:
    using Key = quint32; // a handle; 0 is no key

    static constexpr Key LocalMachine = 0x80000002;

    // Open for reading, with the rights the about dialog has always asked for.
    static constexpr quint32 ReadControlAndAllValueRights = 0x2003F;

    enum Status : qint32
    {
        Success = 0,
        FileNotFound = 2,
        InvalidHandle = 6,
        MoreData = 234
    };
    enum Type : quint32
    {
        None = 0,
        Sz = 1,
        ExpandSz = 2,
        Binary = 3,
        DWord = 4
    };

    virtual ~Registry() = default;

    virtual qint32 openKey(Key root, const QString &subKey, quint32 options, quint32 access,
                           Key &result) = 0;
    // data is the caller's buffer; size is its capacity on entry and the length
    // of the value on return.
    virtual qint32 queryValue(Key key, const QString &valueName, quint32 &type, QByteArray &data,
                              quint32 &size) = 0;
    virtual qint32 closeKey(Key key) = 0;
};
