#pragma once

#include "platform/Launcher.h"

class DesktopLauncher : public Launcher
{
public:
    bool openUrl(const QUrl &url) override;
    bool startDetached(const QString &program, const QStringList &arguments) override;
};
