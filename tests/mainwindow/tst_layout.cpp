#include <memory>

#include <QtTest>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTreeView>

#include "mainwindow/PBXPButton.h"
#include "mainwindow/XPButton.h"
#include "ui_FrmMain.h"

namespace {

// The layout is measured in twips, 15 to a pixel, rounded to the nearest pixel.
int pixels(int twips)
{
    return (2 * twips + 15) / 30;
}

QString captionOf(const QWidget *widget)
{
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    if (const auto *box = qobject_cast<const QGroupBox *>(widget))
        return box->title();
    return {};
}

// FrmMain does this after setupUi: .ui files hold whole point sizes only.
void applyExactFontSizes(QWidget *form)
{
    QList<QWidget *> widgets = form->findChildren<QWidget *>();
    widgets.prepend(form);
    for (QWidget *widget : widgets) {
        const QVariant size = widget->property("fontPointSizeF");
        if (!size.isValid())
            continue;
        QFont font = widget->font();
        font.setPointSizeF(size.toDouble());
        widget->setFont(font);
    }
}

// Columns of painted pixels darker than mid-grey (text), as [first, last]; {-1, -1} if none.
QPair<int, int> inkColumns(const QImage &image)
{
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 3; y < image.height() - 3; ++y) {
            if (qGray(image.pixel(x, y)) < 100) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

int countPixels(const QImage &image, const std::function<bool(QColor)> &test)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += test(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

bool isBlue(QColor c)
{
    return c.blue() > 180 && c.red() < 110 && c.green() < 110;
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void window();
    void controls_data();
    void controls();
    void remainingControlsExist();
    void captions_data();
    void captions();
    void tabControl();
    void pagesStayUncovered();
    void initialState();
    void textBoxes_data();
    void textBoxes();
    void helpBoxes();
    void passwordBoxes_data();
    void passwordBoxes();
    void fonts_data();
    void fonts();
    void colours_data();
    void colours();
    void paintedBackgrounds_data();
    void paintedBackgrounds();
    void frameTitlesAreBlue();
    void stacking();
    void pageButtons_data();
    void pageButtons();
    void commandButtons_data();
    void commandButtons();
    void pictures();
    void tabOrder_data();
    void tabOrder();
    void helpTexts_data();
    void helpTexts();

private:
    QWidget *find(const QString &name) const
    {
        return m_form->objectName() == name ? m_form.get() : m_form->findChild<QWidget *>(name);
    }

    std::unique_ptr<QWidget> m_form;
    Ui::FrmMain m_ui;
};

void TestLayout::initTestCase()
{
    QFont::insertSubstitutions("Tahoma", {"Noto Sans Arabic", "Noto Sans"});
    m_form = std::make_unique<QWidget>();
    m_ui.setupUi(m_form.get());
    applyExactFontSizes(m_form.get());
    m_form->show(); // lays out the tab control's pages
}

void TestLayout::window()
{
    QCOMPARE(m_form->objectName(), QStringLiteral("FrmMain"));
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Halvex"));
    QCOMPARE(m_form->size(), QSize(713, 514));
    QCOMPARE(m_form->minimumSize(), QSize(713, 514));
    QCOMPARE(m_form->maximumSize(), QSize(713, 514));
    QCOMPARE(m_form->layoutDirection(), Qt::RightToLeft);
    QVERIFY(!m_form->windowIcon().isNull());
}

void TestLayout::controls_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("twips"); // left, top, width, height

    const auto addControl = [](const char *name, const char *className, const char *container,
                               QRect twips) {
        QTest::newRow(name) << QString::fromLatin1(className) << QString::fromLatin1(container)
                            << twips;
    };
    addControl("LAnimation", "QLabel", "FrmMain", {120, 30, 10455, 255});
    addControl("Text10", "QLineEdit", "FrmMain", {7920, 0, 2800, 285});
    addControl("Text9", "QLineEdit", "FrmMain", {9120, 285, 1575, 285});
    addControl("SSTab1", "QTabWidget", "FrmMain", {120, 360, 8175, 7215});
    addControl("CmdListTab", "PBXPButton", "FrmMain", {8400, 600, 2175, 495});
    addControl("CmdDeleteTab", "PBXPButton", "FrmMain", {8400, 2400, 2175, 495});
    addControl("CmdExitTab", "PBXPButton", "FrmMain", {8400, 5400, 2175, 495});
    addControl("Label28", "QLabel", "tab0", {6360, 120, 1455, 255});
    addControl("List1", "QListWidget", "tab0", {240, 120, 1455, 300});
    addControl("l1", "QTreeView", "tab0", {240, 720, 7575, 4215});
    addControl("cmdDisplay", "XPButton", "tab0", {240, 5520, 1335, 495});
    addControl("Label29", "QLabel", "tab1", {5640, 120, 2295, 375});
    addControl("Image5", "QLabel", "tab1", {5400, 120, 375, 375});
    addControl("Text1", "QLineEdit", "tab1", {2550, 720, 2535, 375});
    addControl("Label1", "QLabel", "tab1", {1320, 720, 975, 255});
    addControl("Label2", "QLabel", "tab1", {960, 1320, 1335, 375});
    addControl("cmdAdd", "XPButton", "tab1", {6030, 1320, 1335, 615});
    addControl("Label5", "QLabel", "tab1", {240, 3120, 1935, 255});
    addControl("Text6", "QLineEdit", "tab1", {2550, 3720, 2535, 375});
    addControl("Label30", "QLabel", "tab2", {6240, 120, 1695, 255});
    addControl("Shape3", "QFrame", "tab2", {150, 480, 7845, 2415});
    addControl("Frame5", "QGroupBox", "tab2", {360, 600, 2415, 2055});
    addControl("OptName2", "QRadioButton", "Frame5", {240, 360, 1695, 255});
    addControl("OptFamily2", "QRadioButton", "Frame5", {240, 960, 1695, 240});
    addControl("Label17", "QLabel", "tab2", {5640, 600, 1740, 360});
    addControl("Text17", "QLineEdit", "tab2", {5280, 1200, 2175, 495});
    addControl("CmdSearch2", "XPButton", "tab2", {5640, 2040, 1815, 615});
    addControl("Shape4", "QFrame", "tab2", {150, 3120, 7845, 3735});
    addControl("Text21", "QLineEdit", "tab2", {2430, 3420, 2535, 375});
    addControl("Label22", "QLabel", "tab2", {750, 4020, 1335, 375});
    addControl("Text26", "QLineEdit", "tab2", {2430, 6060, 2535, 375});
    addControl("CmdSave", "XPButton", "tab2", {5760, 4800, 1575, 615});
    addControl("Label32", "QLabel", "tab3", {6720, 120, 1095, 255});
    addControl("Shape1", "QFrame", "tab3", {150, 480, 7845, 2415});
    addControl("Frame4", "QGroupBox", "tab3", {360, 600, 2415, 2055});
    addControl("optname", "QRadioButton", "Frame4", {240, 360, 1695, 255});
    addControl("optid", "QRadioButton", "Frame4", {240, 1560, 1815, 255});
    addControl("Label7", "QLabel", "tab3", {5760, 720, 1740, 240});
    addControl("Text7", "QLineEdit", "tab3", {5280, 1200, 2175, 495});
    addControl("cmdsearch", "XPButton", "tab3", {5640, 2040, 1815, 615});
    addControl("Shape2", "QFrame", "tab3", {150, 3120, 7815, 3735});
    addControl("Text11", "QLineEdit", "tab3", {2550, 3360, 2535, 375});
    addControl("Label12", "QLabel", "tab3", {720, 4080, 1335, 375});
    addControl("Text16", "QLineEdit", "tab3", {2550, 6240, 2535, 375});
    addControl("Label16", "QLabel", "tab3", {1320, 6240, 735, 255});
    addControl("Label37", "QLabel", "tab4", {6240, 120, 1575, 255});
    addControl("Frame3", "QGroupBox", "tab4", {360, 600, 2415, 2055});
    addControl("OptID3", "QRadioButton", "Frame3", {240, 1560, 1815, 255});
    addControl("Label27", "QLabel", "tab4", {5760, 600, 1740, 360});
    addControl("Text27", "QLineEdit", "tab4", {5280, 1200, 2175, 495});
    addControl("CmdSearch3", "XPButton", "tab4", {5640, 2040, 1815, 615});
    addControl("Shape6", "QFrame", "tab4", {150, 3120, 7815, 3855});
    addControl("Text33", "QLineEdit", "tab4", {2310, 4500, 2535, 375});
    addControl("Labe32", "QLabel", "tab4", {720, 3960, 1335, 375});
    addControl("Label35", "QLabel", "tab4", {240, 5760, 1815, 255});
    addControl("Text36", "QLineEdit", "tab4", {2310, 6360, 2535, 375});
    addControl("CmdDelete", "XPButton", "tab4", {5640, 4800, 1815, 615});
    addControl("Image6", "QLabel", "tab5", {240, 240, 7575, 735});
    addControl("Frame1", "QGroupBox", "tab5", {150, 1320, 7815, 1575});
    addControl("CmdHelp", "PBXPButton", "Frame1", {120, 240, 975, 375});
    addControl("Label9", "QLabel", "Frame1", {6240, 360, 1335, 255});
    addControl("TxtOldPass", "QLineEdit", "Frame1", {4680, 360, 1575, 360});
    addControl("Label8", "QLabel", "Frame1", {6360, 960, 1215, 375});
    addControl("Txtpass2", "QLineEdit", "Frame1", {4680, 960, 1575, 360});
    addControl("CmdPass", "XPButton", "tab5", {1710, 2160, 1455, 495});
    addControl("Frame2", "QGroupBox", "tab5", {270, 3120, 7695, 2895});
    addControl("Image1", "QLabel", "Frame2", {120, 240, 675, 675});
    addControl("Image2", "QLabel", "Frame2", {120, 360, 7455, 1215});
    addControl("Check1", "QCheckBox", "Frame2", {120, 2040, 855, 495});
    addControl("CmdBrowse", "XPButton", "Frame2", {1440, 2040, 1575, 495});
    addControl("CmdPlay", "XPButton", "Frame2", {3360, 2040, 1575, 495});
    addControl("CmdStop", "XPButton", "Frame2", {5280, 2040, 1455, 495});
    addControl("Label10", "QLabel", "tab6", {6870, 120, 1095, 255});
    addControl("Image3", "QLabel", "tab6", {270, 480, 2265, 2520});
    addControl("Text18", "QTextEdit", "tab6", {2670, 480, 5280, 2775});
    addControl("Label18", "QLabel", "tab6", {6990, 3480, 975, 255});
    addControl("Image4", "QLabel", "tab6", {270, 3840, 2055, 1815});
    addControl("Text8", "QTextEdit", "tab6", {2670, 3840, 5280, 1935});
    addControl("Label19", "QLabel", "tab6", {630, 6120, 2655, 255});
    addControl("Label20", "QLabel", "tab6", {630, 6480, 3135, 255});
}

void TestLayout::controls()
{
    QFETCH(QString, className);
    QFETCH(QString, container);
    QFETCH(QRect, twips);

    const QWidget *widget = find(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(widget);
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QCOMPARE(widget->parentWidget()->objectName(), container);
    QCOMPARE(widget->geometry(), QRect(pixels(twips.x()), pixels(twips.y()), pixels(twips.width()),
                                       pixels(twips.height())));
}

void TestLayout::remainingControlsExist()
{
    const QStringList names = {
        "CmdAddTab", "CmdEditTab", "CmdSearchTab", "CmdSettingTab", "CmdHelpTab", "CmdAboutUsTab",
        "Text2",     "Text3",      "Label3",       "Text4",         "Label4",     "Text5",
        "Label6",    "Shape5",     "OptName3",     "optfamily",     "OptFamily3", "OptID2",
        "Text31",    "Label11",    "Label21",      "Label31",       "Text12",     "Text22",
        "Text32",    "Text13",     "Text23",       "Label13",       "Label23",    "Label33",
        "Text14",    "Text24",     "Text34",       "Label14",       "Label24",    "Label34",
        "Text15",    "Text25",     "Text35",       "Label15",       "Label25",    "Label26",
        "Label36"};
    for (const QString &name : names)
        QVERIFY2(find(name), qPrintable(name));
    // Not widgets: FrmMain makes them in code.
    for (const char *name : {"Timer1", "Cmd", "ImageList1"})
        QVERIFY(!m_form->findChild<QObject *>(QString::fromLatin1(name)));
}

void TestLayout::captions_data()
{
    QTest::addColumn<QString>("caption");

    const auto addCaption = [](const char *name, const QString &caption) {
        QTest::newRow(name) << caption;
    };
    addCaption("CmdListTab", QStringLiteral("ليست افراد"));
    addCaption("CmdAddTab", QStringLiteral("اضافه کردن مشخصات"));
    addCaption("CmdEditTab", QStringLiteral("تغيير مشخصات"));
    addCaption("CmdDeleteTab", QStringLiteral("حذف مشخصات"));
    addCaption("CmdSearchTab", QStringLiteral("جستجو"));
    addCaption("CmdSettingTab", QStringLiteral("تنظيمات"));
    addCaption("CmdHelpTab", QStringLiteral("راهنما"));
    addCaption("CmdAboutUsTab", QStringLiteral("درباره ما"));
    addCaption("CmdExitTab", QStringLiteral("خروج"));
    addCaption("Label28", QStringLiteral("ليــست افراد :"));
    addCaption("cmdDisplay", QStringLiteral("نمايش"));
    addCaption("Label29", QStringLiteral("اضافه کردن مشخصات :"));
    addCaption("Label1", QStringLiteral("نام"));
    addCaption("Label2", QStringLiteral("نام خانوادگي"));
    addCaption("cmdAdd", QStringLiteral("اضافه"));
    addCaption("Label3", QStringLiteral("شماره تلفن"));
    addCaption("Label4", QStringLiteral("شماره موبايل"));
    addCaption("Label5", QStringLiteral("(ID)شماره شناسايي"));
    addCaption("Label6", QStringLiteral("آدرس"));
    addCaption("Label32", QStringLiteral("جستجو :"));
    addCaption("Label30", QStringLiteral("تغيير مشخصات :"));
    addCaption("Label37", QStringLiteral("حذف مشخصات :"));
    addCaption("Frame4", QStringLiteral("جستجو بر اساس :"));
    addCaption("Frame5", QStringLiteral("جستجو بر اساس :"));
    addCaption("Frame3", QStringLiteral("جستجو بر اساس :"));
    addCaption("optname", QStringLiteral("نام "));
    addCaption("OptName2", QStringLiteral("نام "));
    addCaption("OptName3", QStringLiteral("نام "));
    addCaption("optfamily", QStringLiteral("نام خانوادگي"));
    addCaption("OptFamily2", QStringLiteral("نام خانوادگي"));
    addCaption("OptFamily3", QStringLiteral("نام خانوادگي"));
    addCaption("optid", QStringLiteral("شماره شناسايي"));
    addCaption("OptID2", QStringLiteral("شماره شناسايي"));
    addCaption("OptID3", QStringLiteral("شماره شناسايي"));
    addCaption("Label7", QStringLiteral(""));
    addCaption("Label17", QStringLiteral(""));
    addCaption("Label27", QStringLiteral(""));
    addCaption("cmdsearch", QStringLiteral("جستجو"));
    addCaption("CmdSearch2", QStringLiteral("جستجو"));
    addCaption("CmdSearch3", QStringLiteral("جستجو"));
    addCaption("Label11", QStringLiteral("نام"));
    addCaption("Label21", QStringLiteral("نام"));
    addCaption("Label31", QStringLiteral("نام"));
    addCaption("Label12", QStringLiteral("نام خانوادگي"));
    addCaption("Label22", QStringLiteral("نام خانوادگي"));
    addCaption("Labe32", QStringLiteral("نام خانوادگي"));
    addCaption("Label13", QStringLiteral("شماره تلفن"));
    addCaption("Label23", QStringLiteral("شماره تلفن"));
    addCaption("Label33", QStringLiteral("شماره تلفن"));
    addCaption("Label14", QStringLiteral("شماره موبايل"));
    addCaption("Label24", QStringLiteral("شماره موبايل"));
    addCaption("Label34", QStringLiteral("شماره موبايل"));
    addCaption("Label15", QStringLiteral("(ID)شماره شناسايي"));
    addCaption("Label25", QStringLiteral("(ID)شماره شناسايي"));
    addCaption("Label35", QStringLiteral("(ID)شماره شناسايي"));
    addCaption("Label16", QStringLiteral("آدرس"));
    addCaption("Label26", QStringLiteral("آدرس"));
    addCaption("Label36", QStringLiteral("آدرس"));
    addCaption("CmdSave", QStringLiteral("ذخيره"));
    addCaption("CmdDelete", QStringLiteral("حذف"));
    addCaption("Frame1", QStringLiteral("ثبت کلمه عبور"));
    addCaption("CmdHelp", QStringLiteral("راهنما"));
    addCaption("Label9", QStringLiteral("کلمه عبور قديم"));
    addCaption("Label8", QStringLiteral("کلمه عبور جديد"));
    addCaption("CmdPass", QStringLiteral("ثبت کلمه عبور"));
    addCaption("Frame2", QStringLiteral("پخش آهنگ"));
    addCaption("Check1", QStringLiteral("تکرار"));
    addCaption("CmdBrowse", QStringLiteral("جستجو"));
    addCaption("CmdPlay", QStringLiteral("پخش"));
    addCaption("CmdStop", QStringLiteral("توقف"));
    addCaption("Label10", QStringLiteral("کلمه عبور :"));
    addCaption("Label18", QStringLiteral("جستجو :"));
    addCaption("Label19", QStringLiteral("WWW.HALVEX.EXAMPLE.ORG"));
    addCaption("Label20", QStringLiteral("E-Mail:team@halvex.example.org"));
    addCaption("LAnimation", QStringLiteral("Welcome to Halvex Software***Version 1.00***"
                                            "Created By Halvex Team ***WWW.HALVEX.EXAMPLE.ORG***"));
}

void TestLayout::captions()
{
    QFETCH(QString, caption);

    const QWidget *widget = find(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(widget);
    QCOMPARE(captionOf(widget), caption);
    // The texts use Arabic yeh; a Persian-yeh "correction" would break them.
    QVERIFY(!captionOf(widget).contains(QChar(0x06CC)));
}

void TestLayout::tabControl()
{
    QTabWidget *tabs = m_ui.SSTab1;
    QCOMPARE(tabs->count(), 7);
    QCOMPARE(tabs->currentIndex(), 6);
    const int spaces[] = {3, 4, 5, 5, 3, 5, 5};
    for (int i = 0; i < tabs->count(); ++i) {
        QCOMPARE(tabs->tabText(i), QString(spaces[i], QLatin1Char(' ')));
        QVERIFY(tabs->tabIcon(i).isNull());
        QCOMPARE(tabs->widget(i)->objectName(), QStringLiteral("tab%1").arg(i));
    }
}

void TestLayout::pagesStayUncovered()
{
    QTabWidget *tabs = m_ui.SSTab1;
    const QRect tabRow = tabs->tabBar()->geometry();
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QWidget *page = tabs->widget(i);
        // Page positions are the tab control's own coordinates.
        QCOMPARE(page->mapTo(tabs, QPoint(0, 0)), QPoint(0, 0));
        QVERIFY(!QRect(QPoint(0, 0), page->size()).intersects(tabRow));
        QList<QWidget *> controls = page->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (const QGroupBox *frame : page->findChildren<QGroupBox *>())
            controls += frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (const QWidget *control : controls) {
            QVERIFY2(control->parentWidget()->rect().contains(control->geometry()),
                     qPrintable(control->objectName()));
        }
    }
    tabs->setCurrentIndex(6);
}

void TestLayout::initialState()
{
    QVERIFY(m_ui.List1->isHidden());
    QCOMPARE(m_ui.List1->count(), 0);
    QVERIFY(!m_ui.l1->model()); // FrmMain sets the contact model
    QVERIFY(!m_ui.Check1->isChecked());

    for (const QGroupBox *frame : {m_ui.Frame3, m_ui.Frame4, m_ui.Frame5}) {
        const auto options = frame->findChildren<QRadioButton *>();
        QCOMPARE(options.size(), 3);
        for (const QRadioButton *option : options) {
            QVERIFY2(!option->isChecked(), qPrintable(option->objectName()));
            QVERIFY(option->autoExclusive());
        }
    }
    // One frame's options form one group, apart from the other pages' options.
    m_ui.optname->setChecked(true);
    m_ui.OptName2->setChecked(true);
    m_ui.optfamily->setChecked(true);
    QVERIFY(!m_ui.optname->isChecked());
    QVERIFY(m_ui.OptName2->isChecked());
    for (QRadioButton *option : m_form->findChildren<QRadioButton *>()) {
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
    }

    // Everything else is visible and enabled (pages other than the current one aside).
    for (const QWidget *widget : m_form->findChildren<QWidget *>()) {
        if (widget->objectName().startsWith("qt_") ||
            widget->parentWidget()->objectName().startsWith("qt_"))
            continue; // parts of the tab control, views and scroll areas
        QVERIFY2(widget->isEnabled(), qPrintable(widget->objectName()));
        QVERIFY2(widget->isHidden() == (widget == m_ui.List1), qPrintable(widget->objectName()));
    }
    for (const QLineEdit *box : m_form->findChildren<QLineEdit *>()) {
        if (!box->objectName().startsWith("qt_"))
            QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
    }
}

void TestLayout::textBoxes_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("rightToLeft");
    QTest::addColumn<QString>("sample");

    QTest::newRow("Text10") << true << true << QStringLiteral("امروز ، شنبه");
    QTest::newRow("Text9") << true << true << QStringLiteral("10:15:30");
    // field boxes read left to right whatever is typed into them
    QTest::newRow("Text1") << false << false << QStringLiteral("نام");
    QTest::newRow("Text5") << false << false << QStringLiteral("12");
    QTest::newRow("Text7") << false << false << QStringLiteral("abc");
    QTest::newRow("Text17") << false << false << QStringLiteral("abc");
    QTest::newRow("Text27") << false << false << QStringLiteral("abc");
    QTest::newRow("Text11") << false << false << QStringLiteral("abc");
    QTest::newRow("Text26") << false << false << QStringLiteral("abc");
    QTest::newRow("Text36") << false << false << QStringLiteral("آدرس");
}

void TestLayout::textBoxes()
{
    QFETCH(bool, readOnly);
    QFETCH(bool, rightToLeft);
    QFETCH(QString, sample);

    auto *box = qobject_cast<QLineEdit *>(find(QString::fromLatin1(QTest::currentDataTag())));
    QVERIFY(box);
    QCOMPARE(box->isReadOnly(), readOnly);
    QCOMPARE(box->layoutDirection(), rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    QCOMPARE(box->echoMode(), QLineEdit::Normal);
    QCOMPARE(box->maxLength(), 32767);

    // Right-to-left boxes are right-aligned, the others left-aligned, for any text.
    box->setText(sample);
    const auto [first, last] = inkColumns(box->grab().toImage());
    box->clear();
    QVERIFY(first >= 0);
    if (rightToLeft)
        QVERIFY2(first > box->width() / 2, qPrintable(QString::number(first)));
    else
        QVERIFY2(last < box->width() / 2, qPrintable(QString::number(last)));
}

void TestLayout::helpBoxes()
{
    for (QTextEdit *box : {m_ui.Text18, m_ui.Text8}) {
        QVERIFY(box->isReadOnly());
        QVERIFY(!box->acceptRichText());
        QCOMPARE(box->layoutDirection(), Qt::RightToLeft);
        QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
        QCOMPARE(box->lineWrapMode(), QTextEdit::WidgetWidth);
        QVERIFY(box->tabChangesFocus());
        QVERIFY(box->toPlainText().isEmpty()); // FrmMain loads the help texts

        // A short Persian line stands at the right-hand edge.
        box->setPlainText(QStringLiteral("متن"));
        const int first = inkColumns(box->viewport()->grab().toImage()).first;
        QVERIFY2(first > box->viewport()->width() / 2, qPrintable(QString::number(first)));

        // The real help text wraps inside the box, tab-only lines included.
        QFile help(QFINDTESTDATA("../../layouts/help/" + box->objectName() + ".txt"));
        QVERIFY(help.open(QIODevice::ReadOnly));
        box->setPlainText(QString::fromUtf8(help.readAll()));
        QVERIFY(box->document()->size().width() <= box->viewport()->width());
        QCOMPARE(box->horizontalScrollBar()->maximum(), 0);
        box->clear();
    }
}

void TestLayout::passwordBoxes_data()
{
    QTest::addColumn<QColor>("background");

    QTest::newRow("TxtOldPass") << m_form->palette().color(QPalette::HighlightedText);
    QTest::newRow("Txtpass2") << m_form->palette().color(QPalette::Base);
}

void TestLayout::passwordBoxes()
{
    QFETCH(QColor, background);

    auto *box = qobject_cast<QLineEdit *>(find(QString::fromLatin1(QTest::currentDataTag())));
    QVERIFY(box);
    QCOMPARE(box->echoMode(), QLineEdit::Password);
    QCOMPARE(box->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    const Qt::InputMethodHints hints = box->inputMethodHints();
    QVERIFY(hints.testFlags(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText));
    const QImage empty = box->grab().toImage();
    QCOMPARE(empty.pixelColor(empty.width() / 2, empty.height() / 2), background);

    box->setText(QStringLiteral("abc"));
    QCOMPARE(box->displayText(), QStringLiteral("***"));
    const auto [first, last] = inkColumns(box->grab().toImage());
    box->clear();
    QVERIFY(first > 0 && last < box->width() - 1);
    QVERIFY(qAbs((first + last) / 2 - box->width() / 2) <= 3); // centred
}

void TestLayout::fonts_data()
{
    QTest::addColumn<qreal>("pointSize");
    QTest::addColumn<bool>("bold");

    QTest::newRow("FrmMain") << 9.75 << false;
    QTest::newRow("LAnimation") << 9.0 << false;
    QTest::newRow("Text10") << 8.25 << false;
    QTest::newRow("Text9") << 8.25 << false;
    QTest::newRow("Label28") << 9.75 << true;
    QTest::newRow("Label29") << 9.0 << true;
    QTest::newRow("Label32") << 9.0 << true;
    QTest::newRow("Label37") << 9.0 << true;
    QTest::newRow("Label10") << 9.0 << true;
    QTest::newRow("Label19") << 9.0 << true;
    QTest::newRow("Label20") << 9.0 << true;
    QTest::newRow("Label1") << 9.75 << false;
    QTest::newRow("Label9") << 8.25 << false;
    QTest::newRow("Label8") << 8.25 << false;
    QTest::newRow("Text18") << 9.0 << false;
    QTest::newRow("Text8") << 9.0 << false;
    QTest::newRow("Text1") << 9.75 << false;
    QTest::newRow("optname") << 9.75 << false;
    QTest::newRow("tab3") << 9.75 << false;
    QTest::newRow("TxtOldPass") << 9.75 << false;
    QTest::newRow("Frame1") << 9.75 << false;
    QTest::newRow("CmdListTab") << 9.75 << false;
    QTest::newRow("CmdAddTab") << 8.25 << false;
    QTest::newRow("CmdHelp") << 8.25 << false;
    QTest::newRow("cmdAdd") << 9.75 << false;
    QTest::newRow("CmdPass") << 8.25 << false;
}

void TestLayout::fonts()
{
    QFETCH(qreal, pointSize);
    QFETCH(bool, bold);

    const QWidget *widget = find(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(widget);
    QCOMPARE(widget->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(widget->font().pointSizeF(), pointSize);
    QCOMPARE(widget->font().bold(), bold);
}

void TestLayout::colours_data()
{
    QTest::addColumn<QPalette::ColorRole>("role");
    QTest::addColumn<QColor>("colour");

    const QColor blue(0, 0, 255);
    QTest::newRow("LAnimation") << QPalette::WindowText << QColor(192, 0, 0);
    for (const char *heading : {"Label28", "Label29", "Label30", "Label32", "Label37", "Label10",
                                "Label18", "Label19", "Label20"})
        QTest::newRow(heading) << QPalette::WindowText << blue;
    QTest::newRow("Text18") << QPalette::Base << QColor(255, 255, 192);
    QTest::newRow("Text8") << QPalette::Base << QColor(255, 255, 192);
}

void TestLayout::colours()
{
    QFETCH(QPalette::ColorRole, role);
    QFETCH(QColor, colour);

    const QWidget *widget = find(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(widget);
    QCOMPARE(widget->palette().color(QPalette::Active, role), colour);
    QCOMPARE(widget->palette().color(QPalette::Inactive, role), colour);
}

void TestLayout::paintedBackgrounds_data()
{
    QTest::addColumn<QColor>("colour");

    QTest::newRow("Text10") << m_form->palette().color(QPalette::Button);
    QTest::newRow("Text9") << m_form->palette().color(QPalette::Button);
    QTest::newRow("Text1") << m_form->palette().color(QPalette::Base);
}

void TestLayout::paintedBackgrounds()
{
    QFETCH(QColor, colour);

    QWidget *widget = find(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(widget);
    const QImage image = widget->grab().toImage();
    QCOMPARE(image.pixelColor(image.width() / 2, image.height() / 2), colour);
}

void TestLayout::frameTitlesAreBlue()
{
    for (QGroupBox *frame : {m_ui.Frame1, m_ui.Frame2, m_ui.Frame3, m_ui.Frame4, m_ui.Frame5}) {
        QCOMPARE(frame->layoutDirection(), Qt::RightToLeft);
        const QImage title = frame->grab(QRect(0, 0, frame->width(), 16)).toImage();
        QVERIFY2(countPixels(title, isBlue) > 0, qPrintable(frame->objectName()));
        // the title sits at the right-hand end
        const QImage left = title.copy(0, 0, title.width() / 3, title.height());
        QCOMPARE(countPixels(left, isBlue), 0);
    }
    // The options inside keep the ordinary text colour.
    QCOMPARE(countPixels(m_ui.optname->grab().toImage(), isBlue), 0);
    QCOMPARE(m_ui.optname->layoutDirection(), Qt::RightToLeft);
    QCOMPARE(m_ui.Check1->layoutDirection(), Qt::RightToLeft);
}

void TestLayout::stacking()
{
    // Outlines lie behind the rest of their page, so they never take a click.
    for (QWidget *page : {m_ui.tab2, m_ui.tab3, m_ui.tab4}) {
        const auto children = page->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        bool pastShapes = false;
        for (const QWidget *child : children) {
            const bool shape = child->objectName().startsWith("Shape");
            QVERIFY2(!(shape && pastShapes), qPrintable(child->objectName()));
            pastShapes = pastShapes || !shape;
        }
    }
    const auto order = [](const QWidget *widget) {
        return widget->parentWidget()->children().indexOf(widget);
    };
    QVERIFY(order(m_ui.Image1) > order(m_ui.Image2));
    QVERIFY(order(m_ui.CmdPass) > order(m_ui.Frame1));
    QVERIFY(m_ui.CmdPass->geometry().intersects(m_ui.Frame1->geometry()));
}

void TestLayout::pageButtons_data()
{
    QTest::addColumn<QColor>("backColor");
    QTest::addColumn<bool>("hoverText");

    const QColor face(219, 216, 209);
    QTest::newRow("CmdListTab") << QColor(212, 208, 200) << true;
    for (const char *name : {"CmdAddTab", "CmdEditTab", "CmdDeleteTab", "CmdSearchTab",
                             "CmdSettingTab", "CmdHelpTab", "CmdAboutUsTab", "CmdExitTab"})
        QTest::newRow(name) << face << true;
    QTest::newRow("CmdHelp") << face << false;
}

void TestLayout::pageButtons()
{
    QFETCH(QColor, backColor);
    QFETCH(bool, hoverText);

    auto *button = qobject_cast<PBXPButton *>(find(QString::fromLatin1(QTest::currentDataTag())));
    QVERIFY(button);
    QCOMPARE(button->backColor(), backColor);
    QCOMPARE(button->backColorOver(), QColor(182, 189, 210));
    QCOMPARE(button->backColorDown(), QColor(133, 146, 181));
    QCOMPARE(button->borderColorOver(), QColor(10, 36, 106));
    QCOMPARE(button->borderColorDown(), QColor(10, 36, 106));
    QCOMPARE(button->fontColorOver(), hoverText ? QColor(255, 0, 0) : QColor());
    QCOMPARE(button->checkedColor(), QColor(213, 215, 216));
    QCOMPARE(button->iconSize(), QSize(16, 16));
    QVERIFY(!button->icon().pixmap(16, 16).isNull());
    QVERIFY(!button->isCheckable());
}

void TestLayout::commandButtons_data()
{
    QTest::addColumn<int>("textEffect");

    for (const char *name : {"cmdAdd", "cmdDisplay", "cmdsearch", "CmdSearch2", "CmdSearch3",
                             "CmdSave", "CmdDelete", "CmdBrowse", "CmdPlay", "CmdStop"})
        QTest::newRow(name) << 0;
    QTest::newRow("CmdPass") << 3;
}

void TestLayout::commandButtons()
{
    QFETCH(int, textEffect);

    auto *button = qobject_cast<XPButton *>(find(QString::fromLatin1(QTest::currentDataTag())));
    QVERIFY(button);
    QCOMPARE(button->textEffect(), textEffect);
    QCOMPARE(button->faceColor(), QColor(255, 255, 255));
    QCOMPARE(button->hoverFaceColor(), QColor(255, 255, 255));
    QCOMPARE(button->textColor(), QColor(0, 0, 0));
    QCOMPARE(button->hoverTextColor(), QColor(0, 0, 255));
    QVERIFY(!button->normalPicture().pixmap(16, 16).isNull());
    QVERIFY(!button->hoverPicture().pixmap(16, 16).isNull());
    QVERIFY(button->isEnabled());
}

void TestLayout::pictures()
{
    for (QLabel *image :
         {m_ui.Image1, m_ui.Image2, m_ui.Image3, m_ui.Image4, m_ui.Image5, m_ui.Image6}) {
        QVERIFY2(!image->pixmap().isNull(), qPrintable(image->objectName()));
        QVERIFY(image->hasScaledContents());
    }
    const auto picture = [](const QIcon &icon) { return icon.pixmap(16, 16).toImage(); };
    // The three search buttons share one pair; its normal picture is also the search page
    // button's icon. The list button's hover picture is the window's icon.
    QCOMPARE(picture(m_ui.CmdSearch2->normalPicture()), picture(m_ui.cmdsearch->normalPicture()));
    QCOMPARE(picture(m_ui.CmdSearch3->hoverPicture()), picture(m_ui.cmdsearch->hoverPicture()));
    QCOMPARE(picture(m_ui.CmdSearchTab->icon()), picture(m_ui.cmdsearch->normalPicture()));
    QVERIFY(picture(m_ui.cmdsearch->normalPicture()) != picture(m_ui.cmdsearch->hoverPicture()));
    QCOMPARE(picture(m_ui.cmdDisplay->hoverPicture()), picture(m_form->windowIcon()));
}

void TestLayout::tabOrder_data()
{
    QTest::addColumn<QStringList>("chain");

    QTest::newRow("tab control first") << QStringList{"SSTab1", "Text1", "Text2"};
    QTest::newRow("add page") << QStringList{"Text1", "Text2", "Text3", "Text4",
                                             "Text5", "Text6", "cmdAdd"};
    QTest::newRow("list and search")
        << QStringList{"List1", "cmdDisplay", "Text7", "l1", "cmdsearch", "CmdListTab"};
    QTest::newRow("page buttons") << QStringList{"CmdListTab",   "CmdAddTab",     "CmdEditTab",
                                                 "CmdSearchTab", "CmdExitTab",    "CmdAboutUsTab",
                                                 "CmdDeleteTab", "CmdSettingTab", "CmdHelpTab"};
    QTest::newRow("search results")
        << QStringList{"Text11", "Text12", "Text15", "Text14", "Text13", "Text16"};
    QTest::newRow("edit page") << QStringList{"Text17", "CmdSearch2", "Text26", "Text23", "Text24",
                                              "Text25", "Text22",     "Text21", "CmdSave"};
    QTest::newRow("delete page") << QStringList{"Text27", "CmdSearch3", "Text31",
                                                "Text32", "Text35",     "Text34",
                                                "Text33", "Text36",     "CmdDelete"};
    QTest::newRow("settings and help") << QStringList{
        "CmdSettingTab", "CmdPass", "Txtpass2",   "Text9",  "Text10",  "CmdBrowse",  "CmdPlay",
        "CmdStop",       "Check1",  "CmdHelpTab", "Text18", "CmdHelp", "TxtOldPass", "Text8"};
    QTest::newRow("options") << QStringList{"OptName3", "OptFamily3", "OptID3",
                                            "optid",    "optfamily",  "optname",
                                            "OptName2", "OptFamily2", "OptID2"};
}

void TestLayout::tabOrder()
{
    QFETCH(QStringList, chain);

    QWidget *start = find(chain.first());
    QVERIFY(start);
    QStringList seen;
    QWidget *widget = start;
    do {
        if (chain.contains(widget->objectName()) && !seen.contains(widget->objectName()))
            seen << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != start);
    QCOMPARE(seen, chain);
}

void TestLayout::helpTexts_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QList<int>>("tabs");        // per line: tabs of a tab-only line, else 0
    QTest::addColumn<QList<int>>("spaceEnding"); // lines that end with a space (1-based)

    QTest::newRow("Text18") << QStringLiteral("Text18.txt") << QList<int>{0, 2, 0, 0, 4, 0, 6, 0, 0}
                            << QList<int>{3, 8};
    QTest::newRow("Text8") << QStringLiteral("Text8.txt") << QList<int>{0, 0, 0, 0, 0}
                           << QList<int>{1, 2, 3, 4, 5};
}

void TestLayout::helpTexts()
{
    QFETCH(QString, file);
    QFETCH(QList<int>, tabs);
    QFETCH(QList<int>, spaceEnding);

    const QString path = QFINDTESTDATA("../../layouts/help/" + file);
    QVERIFY2(!path.isEmpty(), qPrintable(file));
    QFile help(path);
    QVERIFY(help.open(QIODevice::ReadOnly));
    const QByteArray bytes = help.readAll();

    // Every line ends with CR LF, the last one too; no lone CR or LF.
    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(bytes.count('\n'), tabs.size());
    QCOMPARE(bytes.count("\r\n"), tabs.size());
    QCOMPARE(bytes.count('\r'), tabs.size());

    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    QVERIFY(!utf8.hasError());
    QVERIFY(!text.contains(QChar(0x06CC)));
    QStringList lines = text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.takeLast(), QString());
    for (int i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (tabs.at(i) > 0) {
            QCOMPARE(line, QString(tabs.at(i), QLatin1Char('\t')));
            continue;
        }
        QVERIFY(!line.trimmed().isEmpty());
        QVERIFY(!line.contains(QLatin1Char('\t')));
        QCOMPARE(line.endsWith(QLatin1Char(' ')), spaceEnding.contains(i + 1));
    }
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
