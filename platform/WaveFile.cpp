#include "platform/WaveFile.h"

#include <QFile>
#include <QtEndian>

namespace {

struct Format
{
    quint16 tag = 0;
    quint16 channels = 0;
    quint32 sampleRate = 0;
    quint32 byteRate = 0;
    quint16 blockAlign = 0;
    quint16 bits = 0;
};

bool playable(const Format &f)
{
    // PCM, IEEE float and the extensible header are what the sound effect decodes.
    if (f.tag != 1 && f.tag != 3 && f.tag != 0xFFFE)
        return false;
    if (f.channels == 0 || f.sampleRate == 0 || (f.bits != 8 && f.bits != 16 && f.bits != 32))
        return false;
    // A rate that disagrees with the frame size is a damaged header, and would
    // make the waiting play wait for the wrong time.
    return f.blockAlign == f.channels * (f.bits / 8) &&
           quint64(f.byteRate) == quint64(f.sampleRate) * f.blockAlign;
}

} // namespace

std::optional<qint64> WaveFile::durationMs(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return durationMs(file);
}

std::optional<qint64> WaveFile::durationMs(QIODevice &device)
{
    const qint64 size = device.size();
    if (!device.seek(0))
        return std::nullopt;
    const QByteArray riff = device.read(12);
    if (riff.size() != 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE")
        return std::nullopt;

    // The RIFF length is often wrong in files cut short; the chunks and the real
    // length decide. Chunks may come in any order, with others between them.
    std::optional<Format> format;
    std::optional<qint64> dataBytes;
    qint64 pos = 12;
    while (pos + 8 <= size && !(format && dataBytes)) {
        if (!device.seek(pos))
            return std::nullopt;
        const QByteArray header = device.read(8);
        if (header.size() != 8)
            return std::nullopt;
        const qint64 length = qFromLittleEndian<quint32>(header.constData() + 4);
        const qint64 body = pos + 8;
        if (header.startsWith("fmt ") && !format) {
            const QByteArray f = device.read(16);
            if (length < 16 || f.size() != 16)
                return std::nullopt;
            const char *p = f.constData();
            format = Format{qFromLittleEndian<quint16>(p),      qFromLittleEndian<quint16>(p + 2),
                            qFromLittleEndian<quint32>(p + 4),  qFromLittleEndian<quint32>(p + 8),
                            qFromLittleEndian<quint16>(p + 12), qFromLittleEndian<quint16>(p + 14)};
        } else if (header.startsWith("data") && !dataBytes) {
            dataBytes = qMin(length, size - body);
        }
        pos = body + length + (length & 1); // chunks are padded to an even length
    }

    if (!format || !dataBytes || !playable(*format))
        return std::nullopt;
    // Whole frames only: a last frame cut in half is not played.
    const qint64 frames = *dataBytes / format->blockAlign;
    if (frames == 0)
        return std::nullopt;
    const qint64 bytes = frames * format->blockAlign;
    return (bytes * 1000 + format->byteRate - 1) / format->byteRate;
}
