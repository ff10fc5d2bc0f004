#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "Skin.h"
#include "tests/skin/SkinTestUtil.h"

using SkinTest::picture;

namespace {

const QColor Shape(32, 48, 96);

// A borderless window of one colour, 80 x 60, with a skin in its top-left corner.
struct SkinnedWindow
{
    explicit SkinnedWindow(QColor background = Qt::white)
    {
        window.setWindowFlag(Qt::FramelessWindowHint);
        QPalette colours = window.palette();
        colours.setColor(QPalette::Window, background);
        window.setPalette(colours);
        window.resize(80, 60);
        skin = new Skin(&window);
    }

    void showAndWait()
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(skin->isApplied());
    }

    QLabel *picture1() const { return skin->findChild<QLabel *>(QStringLiteral("Picture1")); }

    QWidget window;
    Skin *skin = nullptr;
};

void sendMouse(QWidget *target, QEvent::Type type, QPoint local, QPoint global,
               Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(local), QPointF(global), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

class TestSkin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SkinTest::quietMasks(); }

    void defaults();
    void pictureSizesControl_data();
    void pictureSizesControl();
    void resizeSnapsBackToPicture();
    void noPictureKeepsSize();
    void tranColorProperty();
    void colourKeyCutsWindow_data();
    void colourKeyCutsWindow();
    void otherControlsKeepTheirPixels();
    void skinAsItsOwnWindow();
    void opacityIsReplaced();
    void reshapesAfterChanges();
    void backgroundFollowsContainer();
    void dragMovesWindow();
    void noDragWithoutLeftButton();
    void designModeLeavesWindowAlone();
};

void TestSkin::defaults()
{
    Skin skin;
    QCOMPARE(skin.size(), QSize(276, 218));
    QCOMPARE(skin.sizeHint(), QSize(276, 218));
    QVERIFY(skin.picture().isNull());
    QCOMPARE(skin.tranColor(), QColor(0, 0, 0));
    QVERIFY(!skin.isApplied());
    QVERIFY(!skin.isDesignMode());

    auto *picture1 = skin.findChild<QLabel *>(QStringLiteral("Picture1"));
    QVERIFY(picture1);
    QCOMPARE(picture1->geometry(), QRect(0, 0, 272, 176));
    QCOMPARE(picture1->frameShape(), QFrame::NoFrame);
    QCOMPARE(picture1->palette().color(QPalette::Window), skin.palette().color(QPalette::Base));
    QCOMPARE(picture1->palette().color(QPalette::WindowText), skin.palette().color(QPalette::Text));

    auto *timer1 = skin.findChild<QTimer *>(QStringLiteral("Timer1"));
    QVERIFY(timer1);
    QVERIFY(timer1->isActive());
    QVERIFY(timer1->isSingleShot());
    QCOMPARE(timer1->interval(), 1);

    // Forms set the properties by these names.
    const QMetaObject *meta = skin.metaObject();
    const QMetaProperty pictureProperty = meta->property(meta->indexOfProperty("Picture"));
    const QMetaProperty colourProperty = meta->property(meta->indexOfProperty("TranColor"));
    QVERIFY(pictureProperty.isValid() && pictureProperty.isWritable());
    QVERIFY(colourProperty.isValid() && colourProperty.isWritable());
    QCOMPARE(pictureProperty.metaType(), QMetaType::fromType<QPixmap>());
    QCOMPARE(colourProperty.metaType(), QMetaType::fromType<QColor>());
    QCOMPARE(pictureProperty.notifySignal().name(), QByteArray("pictureChanged"));
    QCOMPARE(colourProperty.notifySignal().name(), QByteArray("tranColorChanged"));
}

void TestSkin::pictureSizesControl_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("login skin") << QSize(228, 268);
    QTest::newRow("small") << QSize(10, 5);
    QTest::newRow("larger than designed") << QSize(300, 400);
}

void TestSkin::pictureSizesControl()
{
    QFETCH(QSize, size);
    Skin skin;
    QSignalSpy changed(&skin, &Skin::pictureChanged);
    const QPixmap pixmap = picture(size, Qt::white, QRect(1, 1, 3, 3), Shape);

    skin.setPicture(pixmap);
    QCOMPARE(skin.size(), size);
    QCOMPARE(skin.sizeHint(), size);
    QCOMPARE(skin.findChild<QLabel *>(QStringLiteral("Picture1"))->geometry(),
             QRect(QPoint(0, 0), size));
    QCOMPARE(skin.picture().cacheKey(), pixmap.cacheKey());
    QCOMPARE(changed.count(), 1);

    // The property path that forms use does the same.
    Skin other;
    QVERIFY(other.setProperty("Picture", QVariant::fromValue(pixmap)));
    QCOMPARE(other.size(), size);
    QCOMPARE(other.property("Picture").value<QPixmap>().cacheKey(), pixmap.cacheKey());
}

void TestSkin::resizeSnapsBackToPicture()
{
    SkinnedWindow w;
    w.skin->setPicture(picture(QSize(40, 30), Qt::white, QRect(5, 5, 10, 10), Shape));
    w.showAndWait();

    w.skin->resize(200, 200);
    QCOMPARE(w.skin->size(), QSize(40, 30));
    w.skin->setGeometry(5, 6, 10, 10);
    QCOMPARE(w.skin->geometry(), QRect(5, 6, 40, 30));
    QCOMPARE(w.picture1()->pos(), QPoint(0, 0));
}

void TestSkin::noPictureKeepsSize()
{
    SkinnedWindow w;
    w.skin->resize(100, 50);
    w.showAndWait();
    QCOMPARE(w.skin->size(), QSize(100, 50));
    QCOMPARE(w.picture1()->pos(), QPoint(0, 0));

    w.skin->setPicture(picture(QSize(40, 30), Qt::white, QRect(), Shape));
    QCOMPARE(w.skin->size(), QSize(40, 30));
    QSignalSpy changed(w.skin, &Skin::pictureChanged);
    w.skin->setPicture(QPixmap());
    QCOMPARE(changed.count(), 1);
    QVERIFY(w.skin->picture().isNull());
    QCOMPARE(w.skin->size(), QSize(40, 30));
    w.skin->resize(70, 20);
    QCOMPARE(w.skin->size(), QSize(70, 20));
    QCOMPARE(w.picture1()->pos(), QPoint(0, 0));
}

void TestSkin::tranColorProperty()
{
    Skin skin;
    QSignalSpy changed(&skin, &Skin::tranColorChanged);
    skin.setTranColor(Qt::white);
    QCOMPARE(skin.tranColor(), QColor(255, 255, 255));
    QCOMPARE(changed.count(), 1);
    skin.setTranColor(QColor(255, 255, 255));
    QCOMPARE(changed.count(), 1);
    QVERIFY(skin.setProperty("TranColor", QColor(Qt::red)));
    QCOMPARE(skin.property("TranColor").value<QColor>(), QColor(255, 0, 0));
    QCOMPARE(changed.count(), 2);
}

void TestSkin::colourKeyCutsWindow_data()
{
    QTest::addColumn<QColor>("key");
    QTest::addColumn<bool>("setKey");
    QTest::addColumn<QColor>("nearKey");
    QTest::newRow("white, as on the login window")
        << QColor(Qt::white) << true << QColor(254, 255, 255);
    QTest::newRow("black by default") << QColor(Qt::black) << false << QColor(0, 0, 1);
    QTest::newRow("red") << QColor(255, 0, 0) << true << QColor(255, 1, 0);
}

void TestSkin::colourKeyCutsWindow()
{
    QFETCH(QColor, key);
    QFETCH(bool, setKey);
    QFETCH(QColor, nearKey);

    SkinnedWindow w(key);
    QPixmap pixmap = picture(QSize(40, 30), key, QRect(10, 10, 20, 10), Shape);
    {
        QPainter painter(&pixmap);
        painter.fillRect(QRect(2, 2, 1, 1), nearKey);
    }
    w.skin->setPicture(pixmap);
    if (setKey)
        w.skin->setTranColor(key);
    QVERIFY(w.window.mask().isEmpty());
    w.showAndWait();

    const QRegion mask = w.window.mask();
    QCOMPARE(mask.intersected(QRect(10, 10, 20, 10)), QRegion(10, 10, 20, 10));
    QVERIFY(mask.contains(QPoint(2, 2)));    // only the exact colour is cut
    QVERIFY(!mask.contains(QPoint(5, 25)));  // the picture's own key pixels
    QVERIFY(!mask.contains(QPoint(60, 50))); // the window beside the skin
    QCOMPARE(mask.boundingRect(), QRect(2, 2, 28, 18));
    QVERIFY(!w.skin->findChild<QTimer *>(QStringLiteral("Timer1"))->isActive());
}

void TestSkin::otherControlsKeepTheirPixels()
{
    SkinnedWindow w;
    w.skin->setPicture(picture(QSize(40, 30), Qt::white, QRect(10, 10, 20, 10), Shape));
    w.skin->setTranColor(Qt::white);
    auto *frame = new QFrame(&w.window);
    frame->setGeometry(10, 40, 30, 10);
    frame->setAutoFillBackground(true);
    QPalette red = frame->palette();
    red.setColor(QPalette::Window, Qt::red);
    frame->setPalette(red);
    auto *label = new QLabel(QStringLiteral("Halvex Login"), &w.window);
    label->setGeometry(0, 50, 80, 10);
    w.showAndWait();

    const QRegion mask = w.window.mask();
    QCOMPARE(mask.intersected(frame->geometry()), QRegion(frame->geometry()));
    // The text stays, the white around it goes.
    const QRegion text = mask.intersected(label->geometry());
    QVERIFY(!text.isEmpty());
    QVERIFY(text != QRegion(label->geometry()));
}

void TestSkin::skinAsItsOwnWindow()
{
    Skin skin;
    skin.setWindowFlag(Qt::FramelessWindowHint);
    skin.setPicture(picture(QSize(40, 30), Qt::white, QRect(10, 10, 20, 10), Shape));
    skin.setTranColor(Qt::white);
    skin.show();
    QVERIFY(QTest::qWaitForWindowExposed(&skin));
    QTRY_VERIFY(skin.isApplied());
    QCOMPARE(skin.mask(), QRegion(10, 10, 20, 10));
}

void TestSkin::opacityIsReplaced()
{
    SkinnedWindow w;
    w.window.setWindowOpacity(200.0 / 255.0);
    QVERIFY(w.window.windowOpacity() < 1.0);
    w.showAndWait();
    QCOMPARE(w.window.windowOpacity(), 1.0);
}

void TestSkin::reshapesAfterChanges()
{
    SkinnedWindow w;
    w.skin->setPicture(picture(QSize(40, 30), Qt::white, QRect(10, 10, 20, 10), Shape));
    w.skin->setTranColor(Qt::white);
    w.showAndWait();
    QCOMPARE(w.window.mask(), QRegion(10, 10, 20, 10));

    w.skin->setPicture(picture(QSize(40, 30), Qt::white, QRect(0, 0, 5, 5), Shape));
    QCOMPARE(w.window.mask(), QRegion(0, 0, 5, 5));

    // A new key takes effect at once: now the shape goes and the white stays.
    w.skin->setTranColor(Shape);
    QCOMPARE(w.window.mask(), QRegion(0, 0, 80, 60).subtracted(QRegion(0, 0, 5, 5)));

    w.window.resize(120, 90);
    QCOMPARE(w.window.mask(), QRegion(0, 0, 120, 90).subtracted(QRegion(0, 0, 5, 5)));

    // The host can reshape after changing what the window shows.
    auto *frame = new QFrame(&w.window);
    frame->setGeometry(50, 50, 10, 10);
    frame->setAutoFillBackground(true);
    QPalette shape = frame->palette();
    shape.setColor(QPalette::Window, Shape);
    frame->setPalette(shape);
    frame->show();
    w.skin->applyTransparency();
    QVERIFY(!w.window.mask().contains(QPoint(55, 55)));
}

void TestSkin::backgroundFollowsContainer()
{
    SkinnedWindow w(QColor(10, 20, 30));
    QCOMPARE(w.skin->palette().color(QPalette::Window), QColor(10, 20, 30));
    QVERIFY(w.skin->autoFillBackground());

    // The tick takes the window's colour again.
    QPalette colours = w.window.palette();
    colours.setColor(QPalette::Window, QColor(40, 50, 60));
    w.window.setPalette(colours);
    w.showAndWait();
    QCOMPARE(w.skin->palette().color(QPalette::Window), QColor(40, 50, 60));

    Skin orphan;
    orphan.setParent(&w.window);
    QCOMPARE(orphan.palette().color(QPalette::Window), QColor(40, 50, 60));
}

void TestSkin::dragMovesWindow()
{
    SkinnedWindow w;
    w.skin->setPicture(picture(QSize(40, 30), Qt::white, QRect(10, 10, 20, 10), Shape));
    w.skin->setTranColor(Qt::white);
    w.window.move(100, 100);
    w.showAndWait();
    const QPoint start = w.window.pos();
    QLabel *picture1 = w.picture1();
    const QPoint grip = picture1->mapToGlobal(QPoint(15, 12));

    sendMouse(picture1, QEvent::MouseButtonPress, QPoint(15, 12), grip, Qt::LeftButton,
              Qt::LeftButton);
    sendMouse(picture1, QEvent::MouseMove, QPoint(25, 17), grip + QPoint(10, 5), Qt::NoButton,
              Qt::LeftButton);
    QCOMPARE(w.window.pos(), start + QPoint(10, 5));
    sendMouse(picture1, QEvent::MouseMove, QPoint(15, 12), grip + QPoint(30, -20), Qt::NoButton,
              Qt::LeftButton);
    QCOMPARE(w.window.pos(), start + QPoint(30, -20));
    sendMouse(picture1, QEvent::MouseButtonRelease, QPoint(15, 12), grip + QPoint(30, -20),
              Qt::LeftButton, Qt::NoButton);

    // After the release the window stays put.
    sendMouse(picture1, QEvent::MouseMove, QPoint(15, 12), grip + QPoint(60, 60), Qt::NoButton,
              Qt::LeftButton);
    QCOMPARE(w.window.pos(), start + QPoint(30, -20));
}

void TestSkin::noDragWithoutLeftButton()
{
    SkinnedWindow w;
    w.skin->setPicture(picture(QSize(40, 30), Qt::white, QRect(10, 10, 20, 10), Shape));
    w.window.move(100, 100);
    w.showAndWait();
    const QPoint start = w.window.pos();
    QLabel *picture1 = w.picture1();
    const QPoint grip = picture1->mapToGlobal(QPoint(15, 12));

    // Moving over the picture with no button down moves nothing.
    sendMouse(picture1, QEvent::MouseMove, QPoint(15, 12), grip + QPoint(10, 10), Qt::NoButton,
              Qt::NoButton);
    QCOMPARE(w.window.pos(), start);

    sendMouse(picture1, QEvent::MouseButtonPress, QPoint(15, 12), grip, Qt::RightButton,
              Qt::RightButton);
    sendMouse(picture1, QEvent::MouseMove, QPoint(15, 12), grip + QPoint(10, 10), Qt::NoButton,
              Qt::RightButton);
    QCOMPARE(w.window.pos(), start);
}

void TestSkin::designModeLeavesWindowAlone()
{
    SkinnedWindow w;
    w.skin->setPicture(picture(QSize(40, 30), Qt::white, QRect(10, 10, 20, 10), Shape));
    w.skin->setTranColor(Qt::white);
    w.skin->setDesignMode(true);
    QVERIFY(w.skin->isDesignMode());
    QTimer *timer1 = w.skin->findChild<QTimer *>(QStringLiteral("Timer1"));
    QVERIFY(!timer1->isActive());
    w.window.move(100, 100);
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QTest::qWait(20);
    w.skin->applyTransparency();
    QVERIFY(!w.skin->isApplied());
    QVERIFY(w.window.mask().isEmpty());

    const QPoint start = w.window.pos();
    QLabel *picture1 = w.picture1();
    const QPoint grip = picture1->mapToGlobal(QPoint(15, 12));
    sendMouse(picture1, QEvent::MouseButtonPress, QPoint(15, 12), grip, Qt::LeftButton,
              Qt::LeftButton);
    sendMouse(picture1, QEvent::MouseMove, QPoint(15, 12), grip + QPoint(10, 10), Qt::NoButton,
              Qt::LeftButton);
    QCOMPARE(w.window.pos(), start);

    // Leaving design mode starts the tick that was held back.
    w.skin->setDesignMode(false);
    QVERIFY(timer1->isActive());
    QTRY_VERIFY(w.skin->isApplied());
    QCOMPARE(w.window.mask(), QRegion(10, 10, 20, 10));
}

QTEST_MAIN(TestSkin)
#include "tst_skin.moc"
