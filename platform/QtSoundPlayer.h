#pragma once

#include <memory>

#include "platform/SoundPlayer.h"

class QSoundEffect;

// The sounds through QSoundEffect. With no audio device it reports playing for
// ever, so a waited play also ends after the file's length read from its header.
class QtSoundPlayer : public SoundPlayer
{
public:
    // Added to the file's length before a waited play stops waiting.
    static constexpr int MarginMs = 300;

    QtSoundPlayer();
    ~QtSoundPlayer() override;

    void playOnce(const QString &file) override;
    void playLoop(const QString &file) override;
    void playOnceAndWait(const QString &file) override;
    void beep() override;

private:
    QSoundEffect *effect();
    // Ends the sound playing and loads the file; false when it cannot be played.
    bool load(const QString &file, qint64 *durationMs = nullptr);

    std::unique_ptr<QSoundEffect> m_effect;
    bool m_beepOnError = false; // the once play's default sound, for a file that fails late
    bool m_waiting = false;
};
