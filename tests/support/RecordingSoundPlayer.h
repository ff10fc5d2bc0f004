#pragma once

#include <functional>

#include <QStringList>

#include "platform/SoundPlayer.h"

// Records each sound call as "once:FILE", "loop:FILE", "wait:FILE" or "beep".
// whileWaiting runs inside the waited play, where the real player blocks input.
class RecordingSoundPlayer : public SoundPlayer
{
public:
    QStringList calls;
    std::function<void()> whileWaiting;

    void playOnce(const QString &file) override { calls << QStringLiteral("once:") + file; }
    void playLoop(const QString &file) override { calls << QStringLiteral("loop:") + file; }
    void playOnceAndWait(const QString &file) override
    {
        calls << QStringLiteral("wait:") + file;
        if (whileWaiting)
            whileWaiting();
    }
    void beep() override { calls << QStringLiteral("beep"); }
};
