#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include "store/ContactRecord.h"

// Data files for window tests, built and read as raw bytes.
namespace datafiles {

inline QByteArray record(const QString &name, const QString &family = {}, const QString &phone = {},
                         const QString &mobile = {}, qint16 id = 0, const QString &address = {})
{
    ContactRecord r;
    r.setText(ContactRecord::Name, name);
    r.setText(ContactRecord::Family, family);
    r.setText(ContactRecord::Phone, phone);
    r.setText(ContactRecord::Mobile, mobile);
    r.setID(id);
    r.setText(ContactRecord::Address, address);
    return r.toByteArray();
}

inline QByteArray numbered(int from, int to)
{
    QByteArray out;
    for (int i = from; i <= to; ++i)
        out += record(QStringLiteral("N%1").arg(i), {}, {}, {}, qint16(i), {});
    return out;
}

inline QString dataPath(const QString &programDir)
{
    return programDir + QStringLiteral("/File/quorvel.dat");
}

inline bool write(const QString &programDir, const QByteArray &bytes)
{
    QDir(programDir).mkpath(QStringLiteral("File"));
    QFile f(dataPath(programDir));
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline QByteArray read(const QString &programDir)
{
    QFile f(dataPath(programDir));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace datafiles
