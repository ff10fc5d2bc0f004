#include <QLabel>
#include <QTest>

#include "Skin.h"
#include "tests/skin/SkinTestUtil.h"
#include "ui_BareSkinForm.h"
#include "ui_SkinForm.h"

// Skins placed in forms, as the login window places its own: uic sets the saved properties.
class TestSkinForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SkinTest::quietMasks(); }

    void savedPropertiesAreSet();
    void formTakesPictureOutline();
    void absentPropertiesReadAsDefaults();
};

void TestSkinForm::savedPropertiesAreSet()
{
    QWidget form;
    Ui::SkinForm ui;
    ui.setupUi(&form);

    QCOMPARE(form.findChild<Skin *>(QStringLiteral("Skin1")), ui.Skin1);
    const QImage expected(QStringLiteral(":/skintest/picture.xpm"));
    QCOMPARE(expected.size(), QSize(24, 16));
    QCOMPARE(ui.Skin1->picture().toImage().convertToFormat(QImage::Format_RGB32),
             expected.convertToFormat(QImage::Format_RGB32));
    QCOMPARE(ui.Skin1->tranColor(), QColor(255, 255, 255));
    // The picture, set after the saved geometry, decides the size.
    QCOMPARE(ui.Skin1->geometry(), QRect(0, 0, 24, 16));
}

void TestSkinForm::formTakesPictureOutline()
{
    QWidget form;
    Ui::SkinForm ui;
    ui.setupUi(&form);
    form.setWindowFlag(Qt::FramelessWindowHint);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY(ui.Skin1->isApplied());

    const QRegion mask = form.mask();
    QVERIFY(mask.contains(QPoint(3, 2)));                        // dark frame
    QVERIFY(mask.contains(QPoint(6, 4)));                        // gold frame
    QVERIFY(!mask.contains(QPoint(0, 0)));                       // white corner
    QVERIFY(!mask.contains(QPoint(12, 8)));                      // white hole in the middle
    QVERIFY(!mask.contains(QPoint(50, 5)));                      // the form's white beside the skin
    QVERIFY(!mask.intersected(ui.Label1->geometry()).isEmpty()); // the label's text
    QCOMPARE(mask.intersected(QRect(0, 0, 24, 16)),
             QRegion(3, 2, 18, 12).subtracted(QRegion(7, 6, 10, 4)));
}

void TestSkinForm::absentPropertiesReadAsDefaults()
{
    QWidget form;
    Ui::BareSkinForm ui;
    ui.setupUi(&form);

    QVERIFY(ui.Skin1->picture().isNull());
    QCOMPARE(ui.Skin1->tranColor(), QColor(0, 0, 0));
    QCOMPARE(ui.Skin1->geometry(), QRect(10, 10, 100, 50));
    QCOMPARE(ui.Skin1->findChild<QLabel *>(QStringLiteral("Picture1"))->pos(), QPoint(0, 0));
}

QTEST_MAIN(TestSkinForm)
#include "tst_skinform.moc"
