#include "DesktopLauncher.h"

#include <QDesktopServices>

bool DesktopLauncher::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
