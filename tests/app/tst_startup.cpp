#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/ActivationStep.h"
#include "app/FrmLoad.h"
#include "app/FrmLogin.h"
#include "app/Startup.h"
#include "mainwindow/FrmMain.h"
#include "mainwindow/PBXPButton.h"
#include "mainwindow/XPButton.h"
#include "platform/Fonts.h"
#include "platform/NoRegistry.h"
#include "Skin.h"
#include "tests/support/DataFiles.h"
#include "tests/support/FixedTodayDate.h"
#include "tests/support/MainWindowHarness.h"
#include "tests/support/MemoryPasswordStore.h"
#include "tests/support/RecordingLauncher.h"
#include "tests/support/RecordingSoundPlayer.h"
#include "tests/support/ScriptedBoxes.h"
#include "tests/support/ScriptedFileDialogs.h"

namespace {

const QString kRefused = QStringLiteral("متاسفانه کلمه عبور شما فاقد اعتبار است");

template <typename T> T *control(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QLatin1String(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

} // namespace

class TestStartup : public QObject, protected MainWindowHarness
{
    Q_OBJECT
private slots:
    void initTestCase() { Fonts::install(); }
    void init();
    void cleanup();

    void splashDateLine();
    void splashLayout();
    void handOverOnceAfterTheInterval();
    void loginLayout();
    void loginShapeKeepsItsControls();
    void noPasswordPassesAtOnce_data();
    void noPasswordPassesAtOnce();
    void passwordCheck_data();
    void passwordCheck();
    void refusalSelectsTheWholeText();
    void passwordReadAtActivation();
    void activationStepRunsOnce();
    void closeEndsWithoutMainWindow_data();
    void closeEndsWithoutMainWindow();
    void enterInThePasswordLogsIn();
    void dataFolderFailureEndsAfterLogin();
    void unreadablePasswordEndsTheProgram();

private:
    Startup *makeStartup(int splashMs = 10);
    FrmLogin *runToLogin();

    std::unique_ptr<Startup> m_startup;
};

void TestStartup::init()
{
    setUpHarness();
}

void TestStartup::cleanup()
{
    m_startup.reset();
    tearDownHarness();
}

Startup *TestStartup::makeStartup(int splashMs)
{
    m_startup = std::make_unique<Startup>(makeServices(), splashMs);
    return m_startup.get();
}

FrmLogin *TestStartup::runToLogin()
{
    Startup *s = makeStartup();
    s->start();
    if (!QTest::qWaitFor([s] { return s->login() || s->mainWindow(); }))
        return nullptr;
    QTest::qWait(5); // the show step
    return s->login();
}

void TestStartup::splashDateLine()
{
    FrmLoad splash(m_date);
    splash.Form_Activate();
    QCOMPARE(control<QLabel>(&splash, "Label1")->text(),
             QStringLiteral("امروز ، دوشنبه ، 5 ، آذر سال 1405"));
    QCOMPARE(m_date.reads, (QStringList{"WeekdayName", "Day", "MonthName", "Year"}));
}

void TestStartup::splashLayout()
{
    FrmLoad splash(m_date);
    QCOMPARE(splash.windowTitle(), QStringLiteral("L O A D I N G . . ."));
    QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(splash.geometry(), QRect(205, 168, 548, 298));
    QCOMPARE(splash.minimumSize(), splash.maximumSize());
    QLabel *label = control<QLabel>(&splash, "Label1");
    QCOMPARE(label->geometry(), QRect(136, 160, 329, 25));
    QCOMPARE(label->font().pointSizeF(), 9.75);
    QVERIFY(!label->autoFillBackground());
    QCOMPARE(label->text(), QStringLiteral("Label1"));
    QVERIFY(splash.timer()->isActive());
    QVERIFY(splash.timer()->isSingleShot());
    QCOMPARE(splash.timer()->interval(), FrmLoad::HandOverMs);
    QCOMPARE(splash.timer()->timerType(), Qt::PreciseTimer);
    QCOMPARE(FrmLoad::HandOverMs, 3000);

    // The picture covers the window unscaled from its corner.
    const QImage shown = splash.grab().toImage();
    const QImage picture(QStringLiteral(":/pictures/FrmLoad.jpg"));
    QCOMPARE(picture.size(), QSize(550, 300));
    QCOMPARE(shown.pixel(3, 3), picture.pixel(3, 3));
    QCOMPARE(shown.pixel(540, 290), picture.pixel(540, 290));
}

void TestStartup::handOverOnceAfterTheInterval()
{
    m_passwords.value = QStringLiteral("secret");
    Startup *s = makeStartup(40);
    s->start();
    QPointer<FrmLoad> splash = s->splash();
    QVERIFY(splash);
    QSignalSpy handed(splash.data(), &FrmLoad::handedOver);
    QTest::qWait(5);
    QVERIFY(splash->isVisible());
    QVERIFY(!s->login());
    // The date line is written when the splash shows, before the hand-over.
    QCOMPARE(control<QLabel>(splash, "Label1")->text(),
             QStringLiteral("امروز ، دوشنبه ، 5 ، آذر سال 1405"));

    QTRY_VERIFY(s->login());
    QCOMPARE(handed.count(), 1);
    QVERIFY(!s->splash());
    QTRY_VERIFY(!splash); // closed for good
    FrmLogin *login = s->login();
    QVERIFY(login->isVisible());
    QTest::qWait(100);
    QCOMPARE(s->login(), login); // never a second login window
    QVERIFY(!s->mainWindow());
}

void TestStartup::loginLayout()
{
    FrmLogin login(m_passwords, m_boxes);
    QCOMPARE(login.windowTitle(), QStringLiteral("Form1"));
    QVERIFY(login.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(login.geometry(), QRect(369, 112, 234, 340));
    QCOMPARE(login.minimumSize(), login.maximumSize());
    QCOMPARE(login.windowOpacity(), FrmLogin::LoadOpacity);
    QCOMPARE(qRound(login.windowOpacity() * 255), 200);

    auto *skin = control<Skin>(&login, "Skin1");
    QCOMPARE(skin->geometry(), QRect(0, 0, 228, 268));
    QCOMPARE(skin->picture().size(), QSize(228, 268));
    QCOMPARE(skin->tranColor(), QColor(255, 255, 255));

    auto *close = control<PBXPButton>(&login, "CmdClose");
    QCOMPARE(close->geometry(), QRect(176, 40, 17, 17));
    QCOMPARE(close->text(), QStringLiteral("Close"));
    QCOMPARE(close->backColor(), QColor(0, 0, 0));
    auto *log = control<XPButton>(&login, "CmdLog");
    QCOMPARE(log->geometry(), QRect(56, 128, 105, 33));
    QCOMPARE(log->text(), QStringLiteral("ورود"));
    auto *pass = control<QLineEdit>(&login, "txtpass1");
    QCOMPARE(pass->geometry(), QRect(56, 88, 105, 19));
    QCOMPARE(pass->echoMode(), QLineEdit::Password);
    QCOMPARE(pass->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QVERIFY(!pass->testAttribute(Qt::WA_InputMethodEnabled));
    pass->setText(QString(40000, u'x')); // no length limit
    QCOMPARE(pass->text().size(), 40000);
    auto *label = control<QLabel>(&login, "Label1");
    QCOMPARE(label->geometry(), QRect(16, 272, 193, 25));
    QCOMPARE(label->text(), QStringLiteral("Halvex Login"));
    QVERIFY(label->font().bold());

    // Tab order of what takes the focus: CmdClose, txtpass1, CmdLog.
    QStringList order;
    QWidget *w = close;
    do {
        if (w->parentWidget() == &login && (w->focusPolicy() & Qt::TabFocus))
            order << w->objectName();
        w = w->nextInFocusChain();
    } while (w != close);
    QCOMPARE(order, (QStringList{"CmdClose", "txtpass1", "CmdLog"}));
}

void TestStartup::loginShapeKeepsItsControls()
{
    // Pixels of the key colour become see-through: the controls on the skin must not.
    FrmLogin login(m_passwords, m_boxes);
    const QImage image = login.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb key = qRgb(255, 255, 255);
    for (const char *name : {"CmdLog", "txtpass1", "CmdClose"}) {
        const QRect r = control<QWidget>(&login, name)->geometry().adjusted(3, 3, -3, -3);
        int keyed = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                keyed += (image.pixel(x, y) & 0xffffff) == (key & 0xffffff);
        QVERIFY2(keyed == 0, name);
    }
    m_passwords.value = QStringLiteral("x");
    FrmLogin *real = runToLogin();
    QTRY_VERIFY(control<Skin>(real, "Skin1")->isApplied());
    for (const char *name : {"CmdLog", "txtpass1", "CmdClose"})
        QVERIFY2(real->mask().contains(control<QWidget>(real, name)->geometry().center()), name);
    // The strip below the picture is the key colour, and so is the corner of the picture.
    QCOMPARE(image.pixel(230, 300) & 0xffffff, key & 0xffffff);
    QCOMPARE(image.pixel(0, 0) & 0xffffff, key & 0xffffff);
}

void TestStartup::noPasswordPassesAtOnce_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("absent") << QString();
    QTest::newRow("spaces only") << QStringLiteral("   ");
}

void TestStartup::noPasswordPassesAtOnce()
{
    QFETCH(QString, stored);
    m_passwords.value = stored;
    Startup *s = makeStartup();
    s->start();
    QTRY_VERIFY(s->mainWindow());
    QVERIFY(s->mainWindow()->isVisible());
    QVERIFY(!s->login());
    QVERIFY(m_boxes.shown.isEmpty());
    // The main window loaded: the data file exists and the next number is proposed.
    QVERIFY(QFile::exists(datafiles::dataPath(m_dir->path())));
    QCOMPARE(control<QLineEdit>(s->mainWindow(), "Text5")->text(), QStringLiteral("1"));
}

void TestStartup::passwordCheck_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("upper case") << "SECRET" << true;
    QTest::newRow("mixed case, spaces around") << " Secret " << true;
    QTest::newRow("exact") << "secret" << true;
    QTest::newRow("space inside") << "sec ret" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("prefix") << "secre" << false;
}

void TestStartup::passwordCheck()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    m_passwords.value = QStringLiteral("secret");
    FrmLogin *login = runToLogin();
    QVERIFY(login);
    QVERIFY(!m_startup->mainWindow());
    control<QLineEdit>(login, "txtpass1")->setText(typed);
    control<QAbstractButton>(login, "CmdLog")->click();
    if (accepted) {
        QVERIFY(m_boxes.shown.isEmpty());
        QVERIFY(m_startup->mainWindow());
        QVERIFY(m_startup->mainWindow()->isVisible());
        QVERIFY(!m_startup->login());
    } else {
        QCOMPARE(m_boxes.shown.size(), 1);
        QCOMPARE(m_boxes.shown[0].text, kRefused);
        QCOMPARE(m_boxes.shown[0].title, QStringLiteral("Halvex Login"));
        QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
        QCOMPARE(m_boxes.shown[0].buttons, ModalBoxes::Ok);
        QVERIFY(!m_startup->mainWindow());
        QVERIFY(login->isVisible());
    }
}

void TestStartup::refusalSelectsTheWholeText()
{
    m_passwords.value = QStringLiteral("secret");
    FrmLogin *login = runToLogin();
    QVERIFY(login);
    login->activateWindow();
    auto *pass = control<QLineEdit>(login, "txtpass1");
    pass->setText(QStringLiteral("wrong one"));
    pass->setCursorPosition(2);
    control<QAbstractButton>(login, "CmdLog")->click();
    QCOMPARE(pass->selectionStart(), 0);
    QCOMPARE(pass->selectedText(), QStringLiteral("wrong one"));
    QTRY_VERIFY(pass->hasFocus());
    // The next keystroke replaces the wrong password.
    QTest::keyClicks(pass, QStringLiteral("s"));
    QCOMPARE(pass->text(), QStringLiteral("s"));
}

void TestStartup::passwordReadAtActivation()
{
    m_passwords.value = QStringLiteral("first");
    FrmLogin *login = runToLogin();
    QVERIFY(login);
    QCOMPARE(login->storedPassword(), QStringLiteral("first"));
    const int reads = m_passwords.reads;
    m_passwords.value = QStringLiteral("second"); // changed after the activation
    auto *pass = control<QLineEdit>(login, "txtpass1");
    pass->setText(QStringLiteral("second"));
    control<QAbstractButton>(login, "CmdLog")->click();
    QCOMPARE(m_passwords.reads, reads); // not read again at the click
    QCOMPARE(m_boxes.shown.size(), 1);
    // The next activation reads it again.
    login->Form_Activate();
    control<QAbstractButton>(login, "CmdLog")->click();
    QVERIFY(m_startup->mainWindow());
}

void TestStartup::activationStepRunsOnce()
{
    QWidget window;
    int runs = 0;
    new ActivationStep(&window, [&runs] { ++runs; });
    window.show();
    QTRY_COMPARE(runs, 1); // the first show, with or without a window manager
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window))
        QSKIP("this platform does not activate windows");
    QTest::qWait(10);
    QCOMPARE(runs, 1); // the activation that follows the show is the same one
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(runs, 2); // every later activation runs it again
    window.hide();
    window.show();
    QTest::qWait(10);
    QVERIFY(runs <= 3); // a second show is not a first show
}

void TestStartup::enterInThePasswordLogsIn()
{
    m_passwords.value = QStringLiteral("secret");
    FrmLogin *login = runToLogin();
    QVERIFY(login);
    login->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(login));
    QSignalSpy finished(m_startup.get(), &Startup::finished);

    // The window opens with the focus in the password, whatever the tab order says.
    auto *pass = control<QLineEdit>(login, "txtpass1");
    QCOMPARE(QApplication::focusWidget(), pass);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("wrong"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].text, kRefused);
    QVERIFY(finished.isEmpty());

    // The wrong text is selected, so typing replaces it.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("SECRET "));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    QTRY_VERIFY(m_startup->mainWindow());
    QVERIFY(finished.isEmpty());
}

void TestStartup::closeEndsWithoutMainWindow_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("click") << false;
    QTest::newRow("focus and Space") << true;
}

void TestStartup::closeEndsWithoutMainWindow()
{
    m_passwords.value = QStringLiteral("secret");
    FrmLogin *login = runToLogin();
    QVERIFY(login);
    QSignalSpy finished(m_startup.get(), &Startup::finished);
    auto *close = control<QAbstractButton>(login, "CmdClose");
    QFETCH(bool, byKey);
    if (byKey) {
        // Focused by the user (it is first in the tab order), Enter or Space presses it.
        login->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(login));
        close->setFocus(Qt::TabFocusReason);
        QTest::keyClick(close, Qt::Key_Space);
    } else {
        close->click();
    }
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished[0][0].toInt(), 0);
    QVERIFY(!m_startup->mainWindow());
    QVERIFY(!login->isVisible());
    QVERIFY(m_boxes.shown.isEmpty());
}

void TestStartup::dataFolderFailureEndsAfterLogin()
{
    // A plain file where the program's folder should be: File/ cannot be made.
    QVERIFY(QDir(m_dir->path()).removeRecursively());
    QFile blocker(m_dir->path());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_passwords.value = QStringLiteral("secret");
    FrmLogin *login = runToLogin();
    QVERIFY(login);
    QVERIFY(m_boxes.shown.isEmpty()); // nothing said before the login
    QSignalSpy finished(m_startup.get(), &Startup::finished);
    control<QLineEdit>(login, "txtpass1")->setText(QStringLiteral("secret"));
    control<QAbstractButton>(login, "CmdLog")->click();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished[0][0].toInt(), 1);
    QCOMPARE(m_boxes.shown.size(), 1);
    QVERIFY(m_boxes.shown[0].text.contains(blocker.fileName()));
    QVERIFY(blocker.remove());
}

void TestStartup::unreadablePasswordEndsTheProgram()
{
    // Not "no password": nobody passes, and the user learns which file is at fault.
    m_passwords.readProblem = QStringLiteral("/home/u/.config/Brannick.conf: unreadable");
    Startup *s = makeStartup();
    QSignalSpy finished(s, &Startup::finished);
    s->start();
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished[0][0].toInt(), 1);
    QVERIFY(!s->mainWindow());
    QCOMPARE(m_boxes.shown.size(), 1);
    QVERIFY(m_boxes.shown[0].text.contains(m_passwords.readProblem));
    QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
