#pragma once

#include <optional>

#include <QString>

class QIODevice;

// What the player needs to know of a wave file before playing it: its header.
class WaveFile
{
public:
    // The playing time in milliseconds, rounded up, taken from the format
    // chunk's byte rate and the data chunk's size (cut to the bytes present).
    // nullopt when the file is missing, empty, not an uncompressed wave file or
    // holds no sound.
    static std::optional<qint64> durationMs(const QString &path);
    static std::optional<qint64> durationMs(QIODevice &device);
};
