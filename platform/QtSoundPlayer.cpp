#include "platform/QtSoundPlayer.h"

#include <limits>

#include <QApplication>
#include <QEventLoop>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

#include "platform/InputBlocker.h"
#include "platform/WaveFile.h"

QtSoundPlayer::QtSoundPlayer() = default;

QtSoundPlayer::~QtSoundPlayer() = default;

// Made on first use: the sound system is not started for a program that never plays.
QSoundEffect *QtSoundPlayer::effect()
{
    if (!m_effect) {
        m_effect = std::make_unique<QSoundEffect>();
        QObject::connect(m_effect.get(), &QSoundEffect::statusChanged, m_effect.get(), [this] {
            if (m_effect->status() == QSoundEffect::Error && m_beepOnError) {
                m_beepOnError = false;
                beep();
            }
        });
    }
    return m_effect.get();
}

bool QtSoundPlayer::load(const QString &file, qint64 *durationMs)
{
    m_beepOnError = false;
    if (m_effect)
        m_effect->stop();
    // The header is read first: QSoundEffect stays "loading" for ever on a file
    // that is not a wave file.
    const std::optional<qint64> duration = WaveFile::durationMs(file);
    if (!duration)
        return false;
    if (durationMs)
        *durationMs = *duration;
    QSoundEffect *e = effect();
    const QUrl url = QUrl::fromLocalFile(file);
    // The same source is not loaded again, not even after it failed.
    if (e->source() == url && e->status() == QSoundEffect::Error)
        e->setSource(QUrl());
    e->setSource(url);
    return true;
}

void QtSoundPlayer::playOnce(const QString &file)
{
    if (m_waiting)
        return;
    if (!load(file)) {
        beep();
        return;
    }
    m_beepOnError = true;
    m_effect->setLoopCount(1);
    m_effect->play();
}

void QtSoundPlayer::playLoop(const QString &file)
{
    if (m_waiting || !load(file))
        return;
    m_effect->setLoopCount(QSoundEffect::Infinite);
    m_effect->play();
}

void QtSoundPlayer::playOnceAndWait(const QString &file)
{
    if (m_waiting)
        return;
    qint64 duration = 0;
    if (!load(file, &duration)) {
        beep();
        return;
    }
    QSoundEffect *e = m_effect.get();
    e->setLoopCount(1);

    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    const int limitMs = int(qMin<qint64>(duration + MarginMs, std::numeric_limits<int>::max()));
    bool failed = false;
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(e, &QSoundEffect::playingChanged, &loop, [e, &loop] {
        if (!e->isPlaying())
            loop.quit();
    });
    QObject::connect(e, &QSoundEffect::statusChanged, &loop, [e, &loop, &limit, &failed, limitMs] {
        if (e->status() == QSoundEffect::Error) {
            failed = true;
            loop.quit();
        } else if (e->status() == QSoundEffect::Ready) {
            limit.start(limitMs); // the file's time counts from when it can start
        }
    });

    e->play();
    if (e->status() == QSoundEffect::Error) {
        failed = true;
    } else if (e->isPlaying()) {
        limit.start(limitMs);
        // A local loop rather than a blocked thread, so that the windows still
        // paint; the blocker keeps the user's input away from them meanwhile.
        InputBlocker block;
        m_waiting = true;
        loop.exec();
        m_waiting = false;
    }
    e->stop();
    if (failed)
        beep();
}

void QtSoundPlayer::beep()
{
    QApplication::beep();
}
