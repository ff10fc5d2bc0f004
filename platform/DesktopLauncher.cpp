#include "platform/DesktopLauncher.h"

#include <QDesktopServices>
#include <QProcess>

bool DesktopLauncher::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

bool DesktopLauncher::startDetached(const QString &program, const QStringList &arguments)
{
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, arguments);
}
