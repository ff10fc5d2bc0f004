#pragma once

#include <QList>
#include <QStringList>

#include "platform/Launcher.h"

class RecordingLauncher : public Launcher
{
public:
    struct Start
    {
        QString program;
        QStringList arguments;
    };

    QList<QUrl> opened;
    QList<Start> started;
    bool startFails = false;

    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
    // Like the real one, an empty program name cannot be started.
    bool startDetached(const QString &program, const QStringList &arguments) override
    {
        started.append({program, arguments});
        return !startFails && !program.isEmpty();
    }
};
