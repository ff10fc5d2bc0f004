#include <functional>
#include <memory>

#include <QtTest>
#include <QAccessible>
#include <QPainter>

#include "mainwindow/PBXPButton.h"
#include "mainwindow/XPButton.h"

namespace {

std::unique_ptr<QAbstractButton> makeButton(const QString &kind)
{
    std::unique_ptr<QAbstractButton> button;
    if (kind == QLatin1String("PBXPButton"))
        button = std::make_unique<PBXPButton>();
    else
        button = std::make_unique<XPButton>();
    button->resize(145, 33);
    return button;
}

QIcon solidIcon(const QColor &color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

void hover(QWidget *widget, bool inside)
{
    if (inside) {
        QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), QPointF(4, 4));
        QCoreApplication::sendEvent(widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(widget, &leave);
    }
}

int countPixels(const QImage &image, const std::function<bool(QColor)> &test)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += test(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

// Columns holding a pixel of exactly this colour, as [first, last]; {-1, -1} if none.
QPair<int, int> columnsOf(const QImage &image, const QColor &color)
{
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixelColor(x, y) == color) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

bool isReddish(QColor c)
{
    return c.red() > 180 && c.green() < 90 && c.blue() < 90;
}

} // namespace

class TestButtons : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void defaults_data();
    void defaults();
    void accessibility_data();
    void accessibility();
    void keyboard_data();
    void keyboard();
    void mouse_data();
    void mouse();
    void faceColour_data();
    void faceColour();
    void pageButtonBorder();
    void hoverTextColour_data();
    void hoverTextColour();
    void picture_data();
    void picture();
    void hoverPicture();
    void focusRectangle_data();
    void focusRectangle();
    void textEffect();
    void sizeHint_data();
    void sizeHint();
};

void TestButtons::initTestCase()
{
    QFont::insertSubstitutions("Tahoma", {"Noto Sans Arabic UI", "Noto Sans Arabic", "Noto Sans"});
    QApplication::setFont(QFont("Tahoma", 10));
}

void TestButtons::defaults_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("value");

    // The layout relies on these names; the values are the page and command buttons' settings.
    const auto row = [](const char *kind, const char *property, const QVariant &value) {
        QTest::addRow("%s.%s", kind, property)
            << QString::fromLatin1(kind) << QByteArray(property) << value;
    };
    row("PBXPButton", "backColor", QColor(219, 216, 209));
    row("PBXPButton", "backColorOver", QColor(182, 189, 210));
    row("PBXPButton", "backColorDown", QColor(133, 146, 181));
    row("PBXPButton", "borderColorOver", QColor(10, 36, 106));
    row("PBXPButton", "borderColorDown", QColor(10, 36, 106));
    row("PBXPButton", "fontColorOver", QColor()); // unset: the text keeps its colour
    row("PBXPButton", "checkedColor", QColor(213, 215, 216));
    row("PBXPButton", "iconSize", QSize(16, 16));
    row("XPButton", "faceColor", QColor(255, 255, 255));
    row("XPButton", "hoverFaceColor", QColor(255, 255, 255));
    row("XPButton", "textColor", QColor(0, 0, 0));
    row("XPButton", "hoverTextColor", QColor(0, 0, 255));
    row("XPButton", "textEffect", 0);
    row("XPButton", "iconSize", QSize(16, 16));
}

void TestButtons::defaults()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, property);
    QFETCH(QVariant, value);

    const auto button = makeButton(kind);
    const QVariant actual = button->property(property.constData());
    QVERIFY2(actual.isValid(), property.constData());
    QCOMPARE(actual, value);
    QCOMPARE(button->focusPolicy(), Qt::StrongFocus);
    QVERIFY(!button->isCheckable());
}

void TestButtons::accessibility_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("name");

    for (const char *kind : {"PBXPButton", "XPButton"}) {
        QTest::addRow("%s Persian", kind)
            << QString::fromLatin1(kind) << QStringLiteral("ثبت کلمه عبور")
            << QStringLiteral("ثبت کلمه عبور");
        QTest::addRow("%s mnemonic", kind)
            << QString::fromLatin1(kind) << QStringLiteral("&Help") << QStringLiteral("Help");
    }
}

void TestButtons::accessibility()
{
    QFETCH(QString, kind);
    QFETCH(QString, caption);
    QFETCH(QString, name);

    const auto button = makeButton(kind);
    button->setText(caption);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(button.get());
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::Button);
    QCOMPARE(iface->text(QAccessible::Name), name);
    QVERIFY(iface->state().focusable);
    QVERIFY(!iface->state().disabled);

    button->setEnabled(false);
    QVERIFY(iface->state().disabled);
}

void TestButtons::keyboard_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("clicks");

    for (const char *kind : {"PBXPButton", "XPButton"}) {
        const QString k = QString::fromLatin1(kind);
        QTest::addRow("%s space", kind)
            << k << int(Qt::Key_Space) << Qt::KeyboardModifiers() << true << 1;
        QTest::addRow("%s return", kind)
            << k << int(Qt::Key_Return) << Qt::KeyboardModifiers() << true << 1;
        QTest::addRow("%s keypad enter", kind)
            << k << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier) << true << 1;
        QTest::addRow("%s ctrl+return", kind)
            << k << int(Qt::Key_Return) << Qt::KeyboardModifiers(Qt::ControlModifier) << true << 0;
        QTest::addRow("%s letter", kind)
            << k << int(Qt::Key_A) << Qt::KeyboardModifiers() << true << 0;
        QTest::addRow("%s disabled space", kind)
            << k << int(Qt::Key_Space) << Qt::KeyboardModifiers() << false << 0;
        QTest::addRow("%s disabled return", kind)
            << k << int(Qt::Key_Return) << Qt::KeyboardModifiers() << false << 0;
    }
}

void TestButtons::keyboard()
{
    QFETCH(QString, kind);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, enabled);
    QFETCH(int, clicks);

    const auto button = makeButton(kind);
    button->setText(QStringLiteral("جستجو"));
    button->setEnabled(enabled);
    button->show();
    if (!enabled) { // a disabled button takes no keys at all
        QTest::ignoreMessage(QtWarningMsg, "Keyboard event not accepted by receiving widget");
        QTest::ignoreMessage(QtWarningMsg, "Keyboard event not accepted by receiving widget");
    }
    QSignalSpy clicked(button.get(), &QAbstractButton::clicked);
    QTest::keyClick(button.get(), Qt::Key(key), modifiers);
    QCOMPARE(clicked.size(), clicks);
    QVERIFY(!button->isDown());
}

void TestButtons::mouse_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("enabled");

    for (const char *kind : {"PBXPButton", "XPButton"}) {
        QTest::addRow("%s enabled", kind) << QString::fromLatin1(kind) << true;
        QTest::addRow("%s disabled", kind) << QString::fromLatin1(kind) << false;
    }
}

void TestButtons::mouse()
{
    QFETCH(QString, kind);
    QFETCH(bool, enabled);

    const auto button = makeButton(kind);
    button->setEnabled(enabled);
    button->show();
    QSignalSpy clicked(button.get(), &QAbstractButton::clicked);
    QTest::mouseClick(button.get(), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(clicked.size(), enabled ? 1 : 0);
    // released outside the button: no click
    QTest::mousePress(button.get(), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(button.get(), Qt::LeftButton, {}, QPoint(-20, -20));
    QCOMPARE(clicked.size(), enabled ? 1 : 0);
}

void TestButtons::faceColour_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("hovered");
    QTest::addColumn<bool>("down");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QColor>("face");

    const QString pb = QStringLiteral("PBXPButton");
    QTest::newRow("page normal") << pb << false << false << false << true << QColor(219, 216, 209);
    QTest::newRow("page hover") << pb << true << false << false << true << QColor(182, 189, 210);
    QTest::newRow("page pressed") << pb << true << true << false << true << QColor(133, 146, 181);
    QTest::newRow("page pressed by key")
        << pb << false << true << false << true << QColor(133, 146, 181);
    QTest::newRow("page checked") << pb << false << false << true << true << QColor(213, 215, 216);
    QTest::newRow("page checked hover")
        << pb << true << false << true << true << QColor(182, 189, 210);
    QTest::newRow("page disabled hover")
        << pb << true << false << false << false << QColor(219, 216, 209);

    // distinct colours, so that each state shows which one was painted
    const QString xp = QStringLiteral("XPButton");
    QTest::newRow("command normal")
        << xp << false << false << false << true << QColor(250, 250, 250);
    QTest::newRow("command hover") << xp << true << false << false << true << QColor(200, 220, 255);
    QTest::newRow("command disabled hover")
        << xp << true << false << false << false << QColor(250, 250, 250);
}

void TestButtons::faceColour()
{
    QFETCH(QString, kind);
    QFETCH(bool, hovered);
    QFETCH(bool, down);
    QFETCH(bool, checked);
    QFETCH(bool, enabled);
    QFETCH(QColor, face);

    const auto button = makeButton(kind);
    button->setText(QStringLiteral("ليست افراد"));
    if (auto *command = qobject_cast<XPButton *>(button.get())) {
        command->setFaceColor(QColor(250, 250, 250));
        command->setHoverFaceColor(QColor(200, 220, 255));
    }
    button->setCheckable(checked);
    button->setChecked(checked);
    button->setEnabled(enabled);
    hover(button.get(), hovered);
    button->setDown(down);

    const QImage image = button->grab().toImage();
    // left of the centred caption, clear of the border
    QCOMPARE(image.pixelColor(6, image.height() / 2), face);
}

void TestButtons::pageButtonBorder()
{
    PBXPButton button;
    button.resize(145, 33);
    button.setBorderColorOver(QColor(10, 36, 106));
    button.setBorderColorDown(QColor(200, 0, 200));
    const auto edge = [&button] { return button.grab().toImage().pixelColor(0, 16); };

    QCOMPARE(edge(), button.backColor()); // flat while resting
    hover(&button, true);
    QCOMPARE(edge(), QColor(10, 36, 106));
    button.setDown(true);
    QCOMPARE(edge(), QColor(200, 0, 200));
    button.setDown(false);
    hover(&button, false);
    QCOMPARE(edge(), button.backColor());
}

void TestButtons::hoverTextColour_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QColor>("hoverColour"); // invalid: no hover text colour
    QTest::addColumn<bool>("hovered");
    QTest::addColumn<bool>("reddish");

    const QString pb = QStringLiteral("PBXPButton");
    QTest::newRow("page resting") << pb << QColor(255, 0, 0) << false << false;
    QTest::newRow("page hover") << pb << QColor(255, 0, 0) << true << true;
    QTest::newRow("page hover, no colour") << pb << QColor() << true << false;
    const QString xp = QStringLiteral("XPButton");
    QTest::newRow("command resting") << xp << QColor(255, 0, 0) << false << false;
    QTest::newRow("command hover") << xp << QColor(255, 0, 0) << true << true;
}

void TestButtons::hoverTextColour()
{
    QFETCH(QString, kind);
    QFETCH(QColor, hoverColour);
    QFETCH(bool, hovered);
    QFETCH(bool, reddish);

    const auto button = makeButton(kind);
    button->setText(QStringLiteral("خروج"));
    if (auto *page = qobject_cast<PBXPButton *>(button.get()))
        page->setFontColorOver(hoverColour);
    else
        static_cast<XPButton *>(button.get())->setHoverTextColor(hoverColour);
    hover(button.get(), hovered);

    const QImage image = button->grab().toImage();
    QCOMPARE(countPixels(image, isReddish) > 0, reddish);
    if (!reddish) // the caption keeps its ordinary dark colour
        QVERIFY(countPixels(image, [](QColor c) { return qGray(c.rgb()) < 90; }) > 0);
}

void TestButtons::picture_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<Qt::LayoutDirection>("direction");

    for (const char *kind : {"PBXPButton", "XPButton"}) {
        QTest::addRow("%s left to right", kind) << QString::fromLatin1(kind) << Qt::LeftToRight;
        QTest::addRow("%s right to left", kind) << QString::fromLatin1(kind) << Qt::RightToLeft;
    }
}

void TestButtons::picture()
{
    QFETCH(QString, kind);
    QFETCH(Qt::LayoutDirection, direction);

    const QColor magenta(255, 0, 255);
    const auto button = makeButton(kind);
    button->setText(QStringLiteral("اضافه"));
    button->setIcon(solidIcon(magenta));
    button->setLayoutDirection(direction);

    const QImage image = button->grab().toImage();
    const auto [first, last] = columnsOf(image, magenta);
    QCOMPARE(last - first + 1, 16); // drawn at 16 x 16, not scaled to the button
    // The picture leads the caption: on its right when the button reads right to left.
    const auto textColumns = [&image](int from, int to) {
        int dark = 0;
        for (int x = from; x < to; ++x)
            for (int y = 0; y < image.height(); ++y)
                dark += qGray(image.pixel(x, y)) < 90 ? 1 : 0;
        return dark;
    };
    if (direction == Qt::RightToLeft) {
        QVERIFY(textColumns(0, first) > 0);
        QCOMPARE(textColumns(last + 1, image.width()), 0);
    } else {
        QCOMPARE(textColumns(0, first), 0);
        QVERIFY(textColumns(last + 1, image.width()) > 0);
    }

    button->setEnabled(false);
    QCOMPARE(columnsOf(button->grab().toImage(), magenta).first, -1); // greyed
}

void TestButtons::hoverPicture()
{
    const QColor normal(255, 0, 255);
    const QColor over(0, 200, 0);
    XPButton button;
    button.resize(105, 41);
    button.setText(QStringLiteral("جستجو"));
    button.setNormalPicture(solidIcon(normal));
    QCOMPARE(button.icon().pixmap(16).toImage(), button.normalPicture().pixmap(16).toImage());
    const auto shows = [&button](const QColor &color) {
        return columnsOf(button.grab().toImage(), color).first >= 0;
    };

    hover(&button, true);
    QVERIFY(shows(normal)); // no hover picture yet: keep the normal one
    button.setHoverPicture(solidIcon(over));
    QVERIFY(shows(over));
    QVERIFY(!shows(normal));
    hover(&button, false);
    QVERIFY(shows(normal));
    QVERIFY(!shows(over));
}

void TestButtons::focusRectangle_data()
{
    QTest::addColumn<QString>("kind");

    QTest::newRow("PBXPButton") << QStringLiteral("PBXPButton");
    QTest::newRow("XPButton") << QStringLiteral("XPButton");
}

void TestButtons::focusRectangle()
{
    QFETCH(QString, kind);

    QWidget window;
    window.resize(200, 60);
    const auto other = makeButton(kind);
    const auto button = makeButton(kind);
    other->setParent(&window);
    button->setParent(&window);
    button->move(0, 20);
    button->setText(QStringLiteral("حذف"));
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // Ink in the left and right margins, where only a focus rectangle is drawn.
    const auto marginInk = [&button] {
        const QImage image = button->grab().toImage();
        const QColor face = image.pixelColor(image.width() / 2, 1);
        int count = 0;
        for (int y = 5; y < image.height() - 5; ++y)
            for (int x : {2, 3, image.width() - 4, image.width() - 3})
                count += image.pixelColor(x, y) != face ? 1 : 0;
        return count;
    };
    other->setFocus();
    QCOMPARE(marginInk(), 0);
    button->setFocus();
    QVERIFY(button->hasFocus());
    QVERIFY(marginInk() > 0);
    QTest::keyClick(&window, Qt::Key_Tab);
    QVERIFY(other->hasFocus()); // Tab moves on between the buttons
    QCOMPARE(marginInk(), 0);
}

void TestButtons::textEffect()
{
    XPButton button;
    button.resize(97, 33);
    button.setText(QStringLiteral("ثبت کلمه عبور"));
    button.setFaceColor(QColor(200, 200, 200)); // so that a light edge shows
    const QColor light = button.palette().color(QPalette::Light);
    const auto lightPixels = [&light](const QImage &image) {
        return countPixels(image, [&light](QColor c) { return c == light; });
    };
    const QImage plain = button.grab().toImage();

    button.setTextEffect(XPButton::Engraved);
    const QImage engraved = button.grab().toImage();
    QVERIFY(lightPixels(engraved) > lightPixels(plain));
    QCOMPARE(engraved.pixelColor(6, 16), plain.pixelColor(6, 16)); // the face is unchanged

    button.setTextEffect(7); // unknown effects draw plain text
    QCOMPARE(button.grab().toImage(), plain);
    button.setTextEffect(XPButton::NoEffect);
    QCOMPARE(button.grab().toImage(), plain);
}

void TestButtons::sizeHint_data()
{
    QTest::addColumn<QString>("kind");

    QTest::newRow("PBXPButton") << QStringLiteral("PBXPButton");
    QTest::newRow("XPButton") << QStringLiteral("XPButton");
}

void TestButtons::sizeHint()
{
    QFETCH(QString, kind);

    const auto button = makeButton(kind);
    const QString caption = QStringLiteral("اضافه کردن مشخصات");
    button->setText(caption);
    const QSize textOnly = button->sizeHint();
    QVERIFY(textOnly.width() > button->fontMetrics().horizontalAdvance(caption));
    QVERIFY(textOnly.height() >= button->fontMetrics().height());

    button->setIcon(solidIcon(Qt::red));
    QVERIFY(button->sizeHint().width() >= textOnly.width() + 16);
    button->setText(caption + caption);
    QVERIFY(button->sizeHint().width() > textOnly.width() + 16);
}

QTEST_MAIN(TestButtons)
#include "tst_buttons.moc"
