#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTest>

#include "app/FrmLogin.h"
#include "tests/support/MainWindowHarness.h"

namespace {

const QString kTitle = QStringLiteral("ثبت کلمه عبور");
const QString kWrongOld = QStringLiteral("کلمه عبور قديم اشتباه مي باشد");
const QString kStored = QStringLiteral("کلمه عبور شما به ثبت رسيد");

} // namespace

class TestSettingsPage : public QObject, protected MainWindowHarness
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void entryStep_data();
    void entryStep();
    void passwordChanges();
    void passwordCanBeSetAfterRemoval();
    void oldPasswordIsExact_data();
    void oldPasswordIsExact();
    void browseAndPlayModes();

private:
    void enterPage() { child<QAbstractButton>("CmdSettingTab")->click(); }
    void submit(const QString &oldPassword, const QString &newPassword)
    {
        child<QLineEdit>("TxtOldPass")->setText(oldPassword);
        child<QLineEdit>("Txtpass2")->setText(newPassword);
        m_boxes.shown.clear();
        child<QAbstractButton>("CmdPass")->click();
    }
    void expectOneBox(const QString &text, ModalBoxes::Icon icon)
    {
        QCOMPARE(m_boxes.shown.size(), 1);
        QCOMPARE(m_boxes.shown[0].text, text);
        QCOMPARE(m_boxes.shown[0].title, kTitle);
        QCOMPARE(m_boxes.shown[0].icon, icon);
        QCOMPARE(m_boxes.shown[0].buttons, ModalBoxes::Ok);
    }
    // Whether the login, reading the same store, lets this typed text through.
    bool loginAccepts(const QString &typed)
    {
        FrmLogin login(m_passwords, m_boxes);
        QSignalSpy passed(&login, &FrmLogin::passed);
        login.Form_Activate();
        if (passed.isEmpty()) {
            login.findChild<QLineEdit *>("txtpass1")->setText(typed);
            login.findChild<QAbstractButton *>("CmdLog")->click();
        }
        return passed.size() == 1;
    }
};

void TestSettingsPage::init()
{
    setUpHarness();
}

void TestSettingsPage::cleanup()
{
    tearDownHarness();
}

void TestSettingsPage::entryStep_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("absent") << QString() << false;
    QTest::newRow("spaces only") << QStringLiteral("   ") << false;
    QTest::newRow("set") << QStringLiteral("secret") << true;
}

void TestSettingsPage::entryStep()
{
    QFETCH(QString, stored);
    QFETCH(bool, enabled);
    m_passwords.value = stored;
    // Colours that tell the two apart in every state, unlike the style's own.
    const QPalette saved = QApplication::palette();
    QPalette colours = saved;
    colours.setColor(QPalette::Button, QColor(200, 180, 160));
    colours.setColor(QPalette::HighlightedText, Qt::white);
    QApplication::setPalette(colours);
    const auto restore = qScopeGuard([&saved] { QApplication::setPalette(saved); });
    makeWindow();
    auto *old = child<QLineEdit>("TxtOldPass");
    const auto centre = [old] { return old->grab().toImage().pixelColor(old->rect().center()); };
    const QColor laidOut = centre();
    // The box's own palette follows its style sheet; the window's is the reference.
    const QColor face = m_main->palette().color(QPalette::Button);
    QCOMPARE(laidOut, m_main->palette().color(QPalette::HighlightedText));
    QVERIFY(laidOut != face);

    // The tab row shows the page without the entry step.
    m_passwords.reads = 0;
    child<QTabWidget>("SSTab1")->setCurrentIndex(5);
    QCOMPARE(m_passwords.reads, 0);
    QVERIFY(old->isEnabled());

    enterPage();
    QCOMPARE(child<QTabWidget>("SSTab1")->currentIndex(), 5);
    QCOMPARE(m_passwords.reads, 1);
    QCOMPARE(old->isEnabled(), enabled);
    QCOMPARE(centre(), enabled ? laidOut : face);

    // Read afresh at each entry: the other state comes back.
    m_passwords.value = enabled ? QString() : QStringLiteral("x");
    enterPage();
    QCOMPARE(old->isEnabled(), !enabled);
    QCOMPARE(centre(), enabled ? face : laidOut);
}

void TestSettingsPage::passwordChanges()
{
    makeWindow();
    enterPage();
    QVERIFY(!child<QLineEdit>("TxtOldPass")->isEnabled());
    submit(QString(), QStringLiteral("  new pass  "));
    expectOneBox(kStored, ModalBoxes::Information);
    QCOMPARE(m_passwords.value, QStringLiteral("new pass")); // inner space kept

    // Now the old box is open, and a further change needs the new password there.
    enterPage();
    QVERIFY(child<QLineEdit>("TxtOldPass")->isEnabled());
    submit(QString(), QStringLiteral("other"));
    expectOneBox(kWrongOld, ModalBoxes::Critical);
    QCOMPARE(m_passwords.value, QStringLiteral("new pass"));

    // A write that fails is no success, and changes nothing.
    m_passwords.failWrites = true;
    submit(QStringLiteral("new pass"), QStringLiteral("other"));
    QCOMPARE(m_boxes.shown.size(), 1);
    QVERIFY(m_boxes.shown[0].text.contains(QStringLiteral("ثبت نشد")));
    QCOMPARE(m_boxes.shown[0].title, kTitle);
    QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
    QCOMPARE(m_passwords.value, QStringLiteral("new pass"));

    // Spaces only remove the protection: the login lets anyone through.
    m_passwords.failWrites = false;
    QVERIFY(!loginAccepts(QString()));
    submit(QStringLiteral("new pass"), QStringLiteral("   "));
    expectOneBox(kStored, ModalBoxes::Information);
    QCOMPARE(m_passwords.value, QString()); // stored as an empty text
    QVERIFY(loginAccepts(QStringLiteral("anything")));

    // Settings that cannot be read are not "no password": nothing is written.
    m_passwords.readProblem = QStringLiteral("Brannick.conf: unreadable");
    const int writesBefore = m_passwords.writes;
    enterPage();
    submit(QString(), QStringLiteral("other"));
    QCOMPARE(m_boxes.shown.size(), 1);
    QVERIFY(m_boxes.shown[0].text.contains(m_passwords.readProblem));
    QCOMPARE(m_passwords.writes, writesBefore);
}

void TestSettingsPage::passwordCanBeSetAfterRemoval()
{
    m_passwords.value = QStringLiteral("first");
    makeWindow();
    enterPage();
    submit(QStringLiteral("first"), QString()); // removed
    QCOMPARE(m_passwords.value, QString());

    // Left and entered again: the old box is shut and must not hold the removed password.
    child<QAbstractButton>("CmdListTab")->click();
    enterPage();
    auto *old = child<QLineEdit>("TxtOldPass");
    QVERIFY(!old->isEnabled());
    QCOMPARE(old->text(), QString());
    child<QLineEdit>("Txtpass2")->setText(QStringLiteral("second"));
    m_boxes.shown.clear();
    child<QAbstractButton>("CmdPass")->click();
    expectOneBox(kStored, ModalBoxes::Information);
    QCOMPARE(m_passwords.value, QStringLiteral("second"));
}

void TestSettingsPage::oldPasswordIsExact_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("other case") << QStringLiteral("Secret");
    QTest::newRow("trailing space") << QStringLiteral("secret ");
    QTest::newRow("leading space") << QStringLiteral(" secret");
}

void TestSettingsPage::oldPasswordIsExact()
{
    QFETCH(QString, typed);
    m_passwords.value = QStringLiteral("secret");
    makeWindow();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    enterPage();
    child<QAbstractButton>("CmdPass")->setFocus();
    m_passwords.reads = 0;

    submit(typed, QStringLiteral("new"));
    expectOneBox(kWrongOld, ModalBoxes::Critical);
    QCOMPARE(m_passwords.reads, 1); // read afresh for the comparison
    QCOMPARE(m_passwords.writes, 0);
    auto *old = child<QLineEdit>("TxtOldPass");
    QCOMPARE(QApplication::focusWidget(), old);
    QCOMPARE(old->selectedText(), typed);
    QCOMPARE(old->selectionStart(), 0);

    // The login takes the very same text.
    QVERIFY(loginAccepts(typed));
    QCOMPARE(m_passwords.value, QStringLiteral("secret"));
}

void TestSettingsPage::browseAndPlayModes()
{
    // The data folder is found whatever its letter case.
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("file")));
    makeWindow();
    auto *check = child<QCheckBox>("Check1");
    auto *play = child<QAbstractButton>("CmdPlay");
    auto *stop = child<QAbstractButton>("CmdStop");

    // Nothing chosen yet: the player gets no file name, and decides.
    play->click();
    stop->click();
    QCOMPARE(m_player.calls, QStringList({"once:", "wait:"}));

    const QString a = m_dir->path() + QStringLiteral("/file/a.wav");
    const QString b = m_dir->path() + QStringLiteral("/file/b.wav");
    m_fileDialogs.answers = {a, std::nullopt, b};
    auto *browse = child<QAbstractButton>("CmdBrowse");
    browse->click();
    QCOMPARE(m_fileDialogs.shown.size(), 1);
    QCOMPARE(m_fileDialogs.shown[0].title, QStringLiteral("جستجو"));
    QCOMPARE(m_fileDialogs.shown[0].filter, QStringLiteral("Wave Sound (*.wav)"));
    QCOMPARE(m_fileDialogs.shown[0].folder, m_dir->path() + QStringLiteral("/file"));

    m_player.calls.clear();
    check->setCheckState(Qt::Unchecked);
    play->click();
    check->setCheckState(Qt::Checked);
    play->click();
    check->setCheckState(Qt::PartiallyChecked); // greyed: no sound call, a loop goes on
    play->click();
    stop->click();
    QCOMPARE(m_player.calls, QStringList({"once:" + a, "loop:" + a, "wait:" + a}));

    browse->click(); // cancelled: the file stays
    m_player.calls.clear();
    stop->click();
    browse->click();
    stop->click();
    QCOMPARE(m_player.calls, QStringList({"wait:" + a, "wait:" + b}));
    QCOMPARE(m_fileDialogs.shown.size(), 3);
    QCOMPARE(m_boxes.shown.size(), 0);
}

QTEST_MAIN(TestSettingsPage)
#include "tst_settingspage.moc"
