#pragma once

#include <QUrl>

// Starts other programs without waiting for them. Never through a shell.
class Launcher
{
public:
    virtual ~Launcher() = default;
    virtual bool openUrl(const QUrl &url) = 0;
};
