#pragma once

#include <QList>

#include "Launcher.h"

class RecordingLauncher : public Launcher
{
public:
    QList<QUrl> opened;
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
};
