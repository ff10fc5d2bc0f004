#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include "ContactRecord.h"

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

inline QString dataPath(const QString &programDir)
{
    return programDir + QStringLiteral("/File/quorvel.dat");
}

inline void writeData(const QString &programDir, const QByteArray &bytes)
{
    QDir(programDir).mkpath(QStringLiteral("File"));
    QFile f(dataPath(programDir));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write test data");
}

inline QByteArray readData(const QString &programDir)
{
    QFile f(dataPath(programDir));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

} // namespace storetest
