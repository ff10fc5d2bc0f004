#include "sync/SyncAccount.h"

#include <QCalendar>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QSslCertificate>
#include <QStandardPaths>

#include "sync/ServerCertificate.h"
#include "sync/SyncReport.h"

namespace {

QString statusText(QSettings::Status status)
{
    return status == QSettings::FormatError ? QStringLiteral("قالب فایل درست نیست")
                                            : QStringLiteral("خواندن یا نوشتن فایل نشد");
}

} // namespace

QString SyncAccount::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/halvex/sync.conf");
}

bool SyncAccount::load(const QString &path, QString &why)
{
    *this = SyncAccount();
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    if (!info.isFile()) {
        why = QStringLiteral("حساب همگام‌سازی %1 فایل معمولی نیست.")
                  .arg(path);
        return false;
    }
    QSettings s(path, QSettings::IniFormat);
    if (s.status() != QSettings::NoError) {
        why = QStringLiteral("حساب همگام‌سازی %1 خوانده نشد: %2")
                  .arg(path, statusText(s.status()));
        return false;
    }
    s.beginGroup(QStringLiteral("account"));
    url = QUrl(s.value(QStringLiteral("url")).toString());
    user = s.value(QStringLiteral("user")).toString();
    autoSync = s.value(QStringLiteral("auto")).toBool();
    certificate = s.value(QStringLiteral("certificate")).toByteArray();
    s.endGroup();
    s.beginGroup(QStringLiteral("last"));
    lastTime = s.value(QStringLiteral("time")).toDateTime();
    lastError = s.value(QStringLiteral("error")).toString();
    sent = s.value(QStringLiteral("sent")).toInt();
    received = s.value(QStringLiteral("received")).toInt();
    changed = s.value(QStringLiteral("changed")).toInt();
    deleted = s.value(QStringLiteral("deleted")).toInt();
    conflicts = s.value(QStringLiteral("conflicts")).toInt();
    s.endGroup();
    return true;
}

bool SyncAccount::save(const QString &path, QString &why) const
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        why = QStringLiteral("پوشهٔ %1 ساخته نشد.").arg(folder);
        return false;
    }
    {
        QSettings s(path, QSettings::IniFormat);
        s.clear();
        s.beginGroup(QStringLiteral("account"));
        s.setValue(QStringLiteral("url"), url.toString(QUrl::RemoveUserInfo));
        s.setValue(QStringLiteral("user"), user);
        s.setValue(QStringLiteral("auto"), autoSync);
        if (!certificate.isEmpty())
            s.setValue(QStringLiteral("certificate"), QString::fromLatin1(certificate));
        s.endGroup();
        if (lastTime.isValid()) {
            s.beginGroup(QStringLiteral("last"));
            s.setValue(QStringLiteral("time"), lastTime.toUTC());
            s.setValue(QStringLiteral("error"), lastError);
            s.setValue(QStringLiteral("sent"), sent);
            s.setValue(QStringLiteral("received"), received);
            s.setValue(QStringLiteral("changed"), changed);
            s.setValue(QStringLiteral("deleted"), deleted);
            s.setValue(QStringLiteral("conflicts"), conflicts);
            s.endGroup();
        }
        s.sync();
        if (s.status() != QSettings::NoError) {
            why = QStringLiteral("حساب همگام‌سازی در %1 نوشته نشد: %2")
                      .arg(path, statusText(s.status()));
            return false;
        }
    }
    // QSettings writes a new file with the umask's mode; the user's server
    // and name are for the user alone.
    if (!QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner)) {
        why = QStringLiteral("دسترسی %1 فقط برای شما نشد.").arg(path);
        return false;
    }
    return true;
}

void SyncAccount::record(const SyncReport &report, const QString &error, const QDateTime &when)
{
    lastTime = when;
    lastError = error;
    sent = report.sent;
    received = report.received;
    changed = report.changedThere + report.changedHere;
    deleted = report.deletedThere + report.deletedHere;
    conflicts = int(report.conflicts.size());
}

QString SyncAccount::lastResultText() const
{
    if (!lastTime.isValid())
        return {};
    // The time alone today; an older one with its Persian date.
    const QLocale persian(QLocale::Persian, QLocale::Iran);
    const QDateTime local = lastTime.toLocalTime();
    QString when = persian.toString(local.time(), u"HH:mm");
    if (local.date() != QDate::currentDate())
        when = persian.toString(local.date(), u"d MMMM", QCalendar(QCalendar::System::Jalali)) +
               u' ' + when;
    if (!lastError.isEmpty())
        return QStringLiteral("آخرين همگام سازي: %1، ناموفق: %2")
            .arg(when, lastError.section(u'\n', 0, 0));
    return QStringLiteral("آخرين همگام سازي: %1").arg(when);
}

QString SyncAccount::certificateFingerprint() const
{
    const QList<QSslCertificate> certs = QSslCertificate::fromData(certificate, QSsl::Pem);
    return certs.isEmpty() ? QString() : ServerCertificate::fingerprint(certs.front());
}
