#pragma once

#include <QByteArray>
#include <QString>

#include "store/ContactRecord.h"
#include "tests/support/DataFiles.h"

namespace storetest {

inline ContactRecord contact(int id, const QString &name = {})
{
    ContactRecord r;
    r.setText(ContactRecord::Name, name.isEmpty() ? QStringLiteral("N%1").arg(id) : name);
    r.setText(ContactRecord::Family, QStringLiteral("F%1").arg(id));
    r.setID(qint16(id));
    return r;
}

inline QByteArray records(int from, int to)
{
    QByteArray out;
    for (int i = from; i <= to; ++i)
        out += contact(i).toByteArray();
    return out;
}

using datafiles::dataPath;

inline void writeData(const QString &programDir, const QByteArray &bytes)
{
    if (!datafiles::write(programDir, bytes))
        qFatal("cannot write test data");
}

inline QByteArray readData(const QString &programDir)
{
    return datafiles::read(programDir);
}

} // namespace storetest
