#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QtEndian>

#include "platform/QtSoundPlayer.h"
#include "platform/WaveFile.h"

namespace {

QByteArray u16(quint16 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray u32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray chunk(const QByteArray &id, const QByteArray &body)
{
    QByteArray c = id + u32(quint32(body.size())) + body;
    return body.size() % 2 ? c + '\0' : c;
}

struct Fmt
{
    quint16 tag = 1;
    quint16 channels = 1;
    quint32 rate = 8000;
    quint16 bits = 16;
    qint64 byteRate = -1; // -1: the right one

    QByteArray body() const
    {
        const quint16 align = quint16(channels * bits / 8);
        const quint32 bytes = byteRate < 0 ? rate * align : quint32(byteRate);
        return u16(tag) + u16(channels) + u32(rate) + u32(bytes) + u16(align) + u16(bits);
    }
};

QByteArray riff(const QByteArray &chunks)
{
    return "RIFF" + u32(quint32(4 + chunks.size())) + "WAVE" + chunks;
}

// A square wave, so that a real device would play something.
QByteArray samples(int count)
{
    QByteArray d;
    for (int i = 0; i < count; ++i)
        d += u16(quint16((i / 10) % 2 ? 6000 : -6000));
    return d;
}

QByteArray wave(int ms)
{
    return riff(chunk("fmt ", Fmt().body()) + chunk("data", samples(8 * ms)));
}

} // namespace

// Counts the default sound instead of sounding it.
class CountingPlayer : public QtSoundPlayer
{
public:
    int beeps = 0;
    void beep() override { ++beeps; }
};

class TestSoundPlayer : public QObject
{
    Q_OBJECT
private slots:
    void duration_data();
    void duration();
    void waitedPlayEndsWithoutTakingInput();
    void unplayableFilesNeverHang();
};

void TestSoundPlayer::duration_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("ms"); // -1: cannot be played

    const QByteArray fmt = chunk("fmt ", Fmt().body());
    const QByteArray second = chunk("data", samples(8000));
    QTest::newRow("plain") << riff(fmt + second) << qint64(1000);
    QTest::newRow("data before fmt") << riff(second + fmt) << qint64(1000);
    QTest::newRow("odd extra chunks")
        << riff(chunk("LIST", "INFOabc") + fmt + chunk("fact", "x") + second) << qint64(1000);
    QTest::newRow("stereo 44.1 kHz")
        << riff(chunk("fmt ", Fmt{1, 2, 44100, 16}.body()) + chunk("data", samples(2 * 22050)))
        << qint64(500);
    QTest::newRow("one frame rounds up") << riff(fmt + chunk("data", samples(1))) << qint64(1);
    // Cut short: only the bytes present count, in whole frames.
    QTest::newRow("truncated data")
        << riff(fmt + chunk("data", samples(8000))).left(44 + 8001) << qint64(500);
    QTest::newRow("unknown data length")
        << riff(fmt + "data" + u32(0xFFFFFFFF) + samples(800)) << qint64(100);

    QTest::newRow("empty") << QByteArray() << qint64(-1);
    QTest::newRow("not a wave") << ("RIFF" + u32(4) + "AVI " + fmt + second) << qint64(-1);
    QTest::newRow("no fmt") << riff(second) << qint64(-1);
    QTest::newRow("no data") << riff(fmt) << qint64(-1);
    QTest::newRow("half a frame") << riff(fmt + chunk("data", "x")) << qint64(-1);
    QTest::newRow("short fmt") << riff(chunk("fmt ", Fmt().body().left(14)) + second) << qint64(-1);
    QTest::newRow("cut inside fmt") << riff(fmt).left(30) << qint64(-1);
    QTest::newRow("zero byte rate")
        << riff(chunk("fmt ", Fmt{1, 1, 8000, 16, 0}.body()) + second) << qint64(-1);
    QTest::newRow("byte rate of another format")
        << riff(chunk("fmt ", Fmt{1, 1, 8000, 16, 1}.body()) + second) << qint64(-1);
    QTest::newRow("ADPCM") << riff(chunk("fmt ", Fmt{2, 1, 8000, 16}.body()) + second)
                           << qint64(-1);
}

void TestSoundPlayer::duration()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, ms);
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const std::optional<qint64> got = WaveFile::durationMs(buffer);
    QCOMPARE(got.value_or(-1), ms);
}

// The real player on a short file. There may be no audio device, when the
// sound effect never says it has ended: the wait must end by itself.
void TestSoundPlayer::waitedPlayEndsWithoutTakingInput()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("short.wav"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(wave(40));
    f.close();

    bool waiting = false;
    struct Painted : QWidget
    {
        bool *waiting = nullptr;
        int paintsWhileWaiting = 0;
        void paintEvent(QPaintEvent *) override { paintsWhileWaiting += *waiting ? 1 : 0; }
    };
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *button = new QPushButton(QStringLiteral("b"));
    auto *edit = new QLineEdit;
    auto *painted = new Painted;
    painted->waiting = &waiting;
    painted->setMinimumSize(20, 20);
    layout->addWidget(button);
    layout->addWidget(edit);
    layout->addWidget(painted);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    QSignalSpy clicks(button, &QAbstractButton::clicked);

    CountingPlayer player;
    player.playLoop(path); // ended by the waited play
    QTimer::singleShot(0, [&] {
        waiting = true;
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::keyClicks(edit, QStringLiteral("abc"));
        painted->update();
    });
    player.playOnceAndWait(path);
    const bool ranInside = waiting;
    waiting = false;

    QVERIFY(ranInside);
    QCOMPARE(clicks.size(), 0);
    QCOMPARE(edit->text(), QString());
    QVERIFY(painted->paintsWhileWaiting > 0);
    QCOMPARE(player.beeps, 0);

    // Input reaches the windows again, and a second waited play also ends.
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicks.size(), 1);
    player.playOnceAndWait(path);
    QCOMPARE(player.beeps, 0);
}

void TestSoundPlayer::unplayableFilesNeverHang()
{
    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty.wav"));
    const QString text = dir.filePath(QStringLiteral("text.wav"));
    const QString missing = dir.filePath(QStringLiteral("missing.wav"));
    QFile(empty).open(QIODevice::WriteOnly);
    QFile t(text);
    QVERIFY(t.open(QIODevice::WriteOnly));
    t.write("RIFF" + u32(24) + "WAVEjunk but no chunks");
    t.close();

    QVERIFY(!WaveFile::durationMs(dir.path())); // a folder
    // Once and waited plays give the default sound; a loop gives nothing.
    for (const QString &file : {QString(), empty, text, missing}) {
        CountingPlayer player;
        player.playOnce(file);
        QCOMPARE(player.beeps, 1);
        player.playLoop(file);
        QCOMPARE(player.beeps, 1);
        player.playOnceAndWait(file);
        QCOMPARE(player.beeps, 2);
    }
}

QTEST_MAIN(TestSoundPlayer)
#include "tst_soundplayer.moc"
