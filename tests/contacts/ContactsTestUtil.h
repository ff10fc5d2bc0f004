#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include "store/ContactRecord.h"
#include "tests/support/DataFiles.h"
#include "tool/ContactsTool.h"

// Data folders (the folder that holds quorvel.dat) and the tool run in-process.
namespace contactstest {

inline QString dataFile(const QString &folder)
{
    return folder + QStringLiteral("/quorvel.dat");
}

inline void writeData(const QString &folder, const QByteArray &bytes)
{
    QDir().mkpath(folder);
    QFile f(dataFile(folder));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write test data");
}

inline QByteArray readData(const QString &folder)
{
    QFile f(dataFile(folder));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write test input");
}

// Persian, Latin, empty and full-width fields, the characters every format
// escapes, and the boundary IDs.
inline QByteArray sampleData()
{
    using datafiles::record;
    const QString longAddress =
        QStringLiteral("تهران، خيابان وليعصر، بالاتر از پارک ساعي، کوچه نيلوفر، پلاک ۱۲، "
                       "طبقه سوم، واحد ۷، کد پستي ۱۲۳۴۵۶۷۸۹۰ - زنگ دوم");
    QByteArray out;
    out += record(QStringLiteral("علي"), QStringLiteral("رضايي"), QStringLiteral("02155"),
                  QStringLiteral("09121234567"), 1, QStringLiteral("تهران، خيابان آزادي"));
    out += record(QStringLiteral("John"), QStringLiteral("Smith, Jr."), {}, {}, -32768,
                  QStringLiteral("1 Main St; Apt \\4"));
    out += record({}, {}, {}, {}, 0, {});
    out += record(QStringLiteral("AAAAAAAAAAAAAAA"), QStringLiteral("BBBBBBBBBBBBBBBBBBBB"),
                  QStringLiteral("12345678"), QStringLiteral("09350000000"), 32767,
                  QString(100, u'x'));
    out += record(QStringLiteral("محمدرضا‌حسيني"),
                  QStringLiteral("عبدالرحيم زاده کرماني"), {}, QStringLiteral("0912"), -1,
                  longAddress);
    out += record(QStringLiteral("  Sara"), QStringLiteral("O\"Neil"), QStringLiteral("+98-21"), {},
                  300, QStringLiteral("line one\nline two"));
    out += record({}, QStringLiteral("تنها"), {}, {}, 2, {});
    out += record(QStringLiteral("پيمان"), {}, {}, {}, -2, QStringLiteral("€ £ « » é"));
    return out;
}

// The sample as an import stores it again: an address of several lines is one line.
inline QByteArray importedSampleData()
{
    QByteArray out = sampleData();
    ContactRecord r = ContactRecord::fromBytes(QByteArrayView(out).sliced(5 * ContactRecord::Size));
    r.setText(ContactRecord::Address, u"line one، line two");
    out.replace(5 * ContactRecord::Size, ContactRecord::Size, r.toByteArray());
    return out;
}

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
    QString errText() const { return QString::fromUtf8(err); }
};

// Runs the tool in this process; programDir stands for the folder it is installed in.
inline Run runTool(const QStringList &args, const QByteArray &stdinBytes = {},
                   const QString &programDir = QStringLiteral("/nonexistent"),
                   StoreIo *io = nullptr)
{
    QBuffer out, err, in;
    in.setData(stdinBytes);
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    in.open(QIODevice::ReadOnly);
    ContactsTool tool(programDir, out, err, &in, io);
    Run r;
    r.status = tool.run(QStringList{QStringLiteral("halvex-contacts")} + args);
    r.out = out.data();
    r.err = err.data();
    return r;
}

} // namespace contactstest
