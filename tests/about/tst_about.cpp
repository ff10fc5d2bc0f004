#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextLayout>

#include "about/frmAbout.h"
#include "platform/Fonts.h"
#include "platform/NoRegistry.h"
#include "tests/support/RecordingLauncher.h"
#include "tests/support/ScriptedBoxes.h"

namespace {

// The lines a word-wrapped label shows, as the label lays them out.
QStringList wrappedLines(const QLabel *label)
{
    QTextLayout layout(label->text(), label->font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(label->width());
        lines << label->text().mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

int wrappedHeight(const QLabel *label)
{
    return label->fontMetrics()
        .boundingRect(QRect(0, 0, label->width(), 10000), Qt::TextWordWrap, label->text())
        .height();
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void texts();
    void versionComesFromTheBuild();
    void fontsAndSeparator();
    void fixedToolWindow();
    void enterAndEscapePressOk_data();
    void enterAndEscapePressOk();
    void singleInstance();
    void outlivesTheMainWindow();

private:
    template <typename T> T *child(QWidget *w, const char *name)
    {
        T *c = w->findChild<T *>(QLatin1String(name));
        if (!c)
            qFatal("no control %s", name);
        return c;
    }

    NoRegistry m_registry;
    RecordingLauncher m_launcher;
    ScriptedBoxes m_boxes;
};

void TestAbout::initTestCase()
{
    Fonts::install();
}

void TestAbout::cleanup()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        if (qobject_cast<frmAbout *>(w))
            delete w;
}

void TestAbout::texts()
{
    frmAbout about(m_registry, m_launcher, m_boxes);
    QCOMPARE(about.windowTitle(), QStringLiteral("About Halvex"));
    QCOMPARE(child<QLabel>(&about, "lblTitle")->text(), QStringLiteral("Halvex"));
    QCOMPARE(child<QPushButton>(&about, "cmdOK")->text(), QStringLiteral("OK"));
    QCOMPARE(child<QPushButton>(&about, "cmdSysInfo")->text(), QStringLiteral("&System Info..."));
    QVERIFY(!about.windowIcon().isNull());
    QVERIFY(!child<QLabel>(&about, "picIcon")->pixmap().isNull());

    // The credits are one string, but the wrap puts each part on its own line.
    const auto *credits = child<QLabel>(&about, "Label2");
    QVERIFY(credits->wordWrap());
    QCOMPARE(credits->text().count(u'\n'), 0);
    QCOMPARE(wrappedLines(credits),
             QStringList({"Halvex Project", "Created By Halvex Team",
                          "https://www.halvex.example.org", "team@halvex.example.org"}));
    QVERIFY(wrappedHeight(credits) <= credits->height());

    const auto *notice = child<QLabel>(&about, "Label1");
    QVERIFY(notice->wordWrap());
    QCOMPARE(wrappedLines(notice).size(), 2);
    QVERIFY(wrappedHeight(notice) <= notice->height());

    // Title and version fit their labels on one line.
    for (const char *name : {"lblTitle", "lblVersion"}) {
        const auto *l = child<QLabel>(&about, name);
        QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->width(), name);
        // Top-aligned: the ink must end above the label's bottom edge.
        const QFontMetrics fm = l->fontMetrics();
        QVERIFY2(fm.ascent() + fm.tightBoundingRect(l->text()).bottom() < l->height(), name);
    }
}

void TestAbout::versionComesFromTheBuild()
{
    frmAbout about(m_registry, m_launcher, m_boxes);
    QCOMPARE(frmAbout::version(), QStringLiteral(EXPECTED_VERSION));
    QCOMPARE(child<QLabel>(&about, "lblVersion")->text(),
             QStringLiteral("Version " EXPECTED_VERSION));
}

void TestAbout::fontsAndSeparator()
{
    frmAbout about(m_registry, m_launcher, m_boxes);
    QCOMPARE(child<QLabel>(&about, "lblTitle")->font().pointSizeF(), 9.0);
    QCOMPARE(child<QLabel>(&about, "Label1")->font().pointSizeF(), 8.25);
    QCOMPARE(child<QLabel>(&about, "Label2")->font().pointSizeF(), 8.25);

    // Grey over the white line's first row: an etched line, white showing below.
    const QImage image = about.grab().toImage();
    QCOMPARE(image.pixelColor(200, 168), QColor(128, 128, 128));
    QCOMPARE(image.pixelColor(200, 169), QColor(255, 255, 255));
    QCOMPARE(image.pixelColor(6, 168), QColor(128, 128, 128));
    QVERIFY(image.pixelColor(6, 169) != QColor(255, 255, 255));
}

void TestAbout::fixedToolWindow()
{
    frmAbout about(m_registry, m_launcher, m_boxes);
    // A tool window gets no task-bar button.
    QCOMPARE(about.windowType(), Qt::Tool);
    const Qt::WindowFlags flags = about.windowFlags();
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QCOMPARE(about.minimumSize(), QSize(382, 237));
    QCOMPARE(about.maximumSize(), QSize(382, 237));
    QCOMPARE(about.geometry(), QRect(156, 129, 382, 237));
    QVERIFY(about.testAttribute(Qt::WA_QuitOnClose));
    QVERIFY(!about.isModal());
}

void TestAbout::enterAndEscapePressOk_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void TestAbout::enterAndEscapePressOk()
{
    QFETCH(int, key);
    frmAbout about(m_registry, m_launcher, m_boxes);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QSignalSpy ok(child<QPushButton>(&about, "cmdOK"), &QPushButton::clicked);
    QSignalSpy sysInfo(child<QPushButton>(&about, "cmdSysInfo"), &QPushButton::clicked);
    QTest::keyClick(&about, Qt::Key(key));
    QCOMPARE(ok.size(), 1);
    QCOMPARE(sysInfo.size(), 0);
    QVERIFY(!about.isVisible());
}

void TestAbout::singleInstance()
{
    int beeps = 0;
    const auto beep = [&] { ++beeps; };
    frmAbout *first = frmAbout::showSingle(m_registry, m_launcher, m_boxes, beep);
    QVERIFY(first && first->isVisible());
    QVERIFY(first->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(beeps, 1);

    QCOMPARE(frmAbout::showSingle(m_registry, m_launcher, m_boxes, beep), first);
    QCOMPARE(beeps, 2);
    int open = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        open += qobject_cast<frmAbout *>(w) ? 1 : 0;
    QCOMPARE(open, 1);

    // Once closed, the next click makes a new one, even before the old one is gone.
    QPointer<frmAbout> closed = first;
    first->close();
    frmAbout *second = frmAbout::showSingle(m_registry, m_launcher, m_boxes, beep);
    QVERIFY(second != closed);
    QVERIFY(second->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(closed.isNull());
    QCOMPARE(frmAbout::showSingle(m_registry, m_launcher, m_boxes, beep), second);
    QCOMPARE(beeps, 4);
}

void TestAbout::outlivesTheMainWindow()
{
    // The quit on the last closed window only happens inside the event loop.
    QWidget main;
    main.show();
    QPointer<frmAbout> about = frmAbout::showSingle(m_registry, m_launcher, m_boxes, [] {});
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    bool stillRunning = false;
    // The automatic quit arrives a pass or two later; give it a few, then fail.
    int passes = 0;
    std::function<void()> giveUp = [&] {
        if (++passes < 20)
            QMetaObject::invokeMethod(qApp, giveUp, Qt::QueuedConnection);
        else
            QCoreApplication::exit(2);
    };
    const auto queue = [](auto step) {
        QMetaObject::invokeMethod(qApp, step, Qt::QueuedConnection);
    };
    queue([&] {
        main.close();
        queue([&] {
            stillRunning = lastClosed.isEmpty() && about && about->isVisible();
            child<QPushButton>(about, "cmdOK")->click();
            queue(giveUp);
        });
    });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(stillRunning);
    QCOMPARE(lastClosed.size(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(about.isNull());
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
