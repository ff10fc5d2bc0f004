#pragma once

#include <QString>

// Plays wave files. Every call first ends the sound still playing, a looping
// one included; a file that is missing, empty or not a wave file never shows
// a message.
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;
    // Once, in the background; a file that cannot be played gives the default sound.
    virtual void playOnce(const QString &file) = 0;
    // Over and over, in the background, until the next call; nothing when the
    // file cannot be played.
    virtual void playLoop(const QString &file) = 0;
    // Once from its start, returning when it has finished. Meanwhile the program
    // takes no input but keeps painting. A file that cannot be played gives the
    // default sound.
    virtual void playOnceAndWait(const QString &file) = 0;
    // The default sound.
    virtual void beep() = 0;
};
