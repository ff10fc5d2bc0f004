#pragma once

#include <QStringList>
#include <QUrl>

// Starts other programs without waiting for them. Never through a shell.
class Launcher
{
public:
    virtual ~Launcher() = default;
    virtual bool openUrl(const QUrl &url) = 0;
    // False when the program could not be started.
    virtual bool startDetached(const QString &program, const QStringList &arguments) = 0;
};
