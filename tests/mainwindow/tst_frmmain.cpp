#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <QTreeView>

#include "about/frmAbout.h"
#include "mainwindow/ContactListModel.h"
#include "mainwindow/LeftToRightDelegate.h"
#include <QStyledItemDelegate>
#include "tests/support/MainWindowHarness.h"

using datafiles::numbered;
using datafiles::record;

class TestFrmMain : public QObject, protected MainWindowHarness
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void opensOnHelpPage();
    void pageButtonsSwitchAndKeepText();
    void dateLine();
    void clockShowsTimeWithoutZone();
    void welcomeTextScrollsBack();
    void boldOnlyChangesOverWelcomeAndBareSurface();
    void linksOpenTheAuthorsAddress();
    void exitAsksNothing();
    void loadProposesNextNumber_data();
    void loadProposesNextNumber();
    void loadCreatesMissingFolder();
    void loadFailsWhenFolderCannotBeMade();
    void addAsksBeforeCutting();
    void addUsesTypedNumberButProposesCountPlusOne();
    void addRejectsBadNumber_data();
    void addRejectsBadNumber();
    void addStopsAtLastRecordNumber();
    void fileBeyondLimitStillOpens();
    void storeErrorsAreShownAndProgramGoesOn();
    void listShowsTrimmedRowsOnce();
    void listOfEmptyFileShowsHeaders();
    void listReadsNumbersLeftToRight();
    void aboutButtonOpensOneDialog();
    void listColumnsFitAndKeepTheirWidths();
    void headingClickSortsAndReverses();
    void typedNumbersAreProposedFitted();

private:
    void clickHeading(int column);
};

void TestFrmMain::init()
{
    setUpHarness();
}

void TestFrmMain::cleanup()
{
    tearDownHarness();
}

void TestFrmMain::opensOnHelpPage()
{
    makeWindow();
    QCOMPARE(child<QTabWidget>("SSTab1")->currentIndex(), 6);
    QCOMPARE(m_main->windowTitle(), QStringLiteral("Halvex"));
    QCOMPARE(m_main->size(), QSize(713, 514));
    QCOMPARE(m_main->minimumSize(), m_main->maximumSize());
    QVERIFY(!(m_main->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(m_main->windowFlags() & Qt::CustomizeWindowHint); // else the hints are ignored
    QVERIFY(m_main->windowFlags() & Qt::WindowMinimizeButtonHint);
}

void TestFrmMain::pageButtonsSwitchAndKeepText()
{
    makeWindow();
    auto *tabs = child<QTabWidget>("SSTab1");
    const std::pair<const char *, int> buttons[] = {
        {"CmdListTab", 0},   {"CmdAddTab", 1},     {"CmdEditTab", 2}, {"CmdSearchTab", 3},
        {"CmdDeleteTab", 4}, {"CmdSettingTab", 5}, {"CmdHelpTab", 6}, {"CmdHelp", 6},
    };
    for (const auto &[name, index] : buttons) {
        tabs->setCurrentIndex(index == 0 ? 1 : 0);
        child<QAbstractButton>(name)->click();
        QCOMPARE(tabs->currentIndex(), index);
        child<QAbstractButton>(name)->click(); // twice: unchanged
        QCOMPARE(tabs->currentIndex(), index);
    }
    child<QAbstractButton>("CmdAddTab")->click();
    child<QLineEdit>("Text1")->setText("Ali");
    child<QLineEdit>("Text5")->setText("77");
    child<QAbstractButton>("CmdSearchTab")->click();
    child<QLineEdit>("Text7")->setText("key");
    child<QAbstractButton>("CmdAddTab")->click();
    QCOMPARE(child<QLineEdit>("Text1")->text(), QStringLiteral("Ali"));
    QCOMPARE(child<QLineEdit>("Text5")->text(), QStringLiteral("77"));
    QCOMPARE(child<QLineEdit>("Text7")->text(), QStringLiteral("key"));
}

void TestFrmMain::dateLine()
{
    makeWindow();
    m_date.reads.clear();
    m_main->Timer1_Timer();
    const QString expected = QStringLiteral("امروز ، دوشنبه ، 5 ، آذر1405");
    QCOMPARE(child<QLineEdit>("Text10")->text(), expected);
    QCOMPARE(m_date.reads, QStringList({"WeekdayName", "Day", "MonthName", "Year"}));
    // The separator is space, ARABIC COMMA, space.
    QVERIFY(expected.contains(QStringView(u" \u060C ")));
    m_date.year = -3;
    QCOMPARE(m_main->dateLine(), QStringLiteral("امروز ، دوشنبه ، 5 ، آذر-3"));
}

void TestFrmMain::clockShowsTimeWithoutZone()
{
    makeWindow();
    m_main->Timer1_Timer();
    const QString shown = child<QLineEdit>("Text9")->text();
    QCOMPARE(shown.count(u':'), 2); // hours, minutes and seconds
    QVERIFY2(!shown.contains("UTC") && !shown.contains("GMT"), qPrintable(shown));
}

void TestFrmMain::welcomeTextScrollsBack()
{
    makeWindow();
    auto *label = child<QLabel>("LAnimation");
    const QString initial = label->text();
    QVERIFY(initial.startsWith("Welcome to Halvex Software***Version 1.00***Created By "));
    QVERIFY(initial.endsWith("***"));
    m_main->Timer1_Timer();
    QCOMPARE(label->text(), initial.mid(1) + initial.left(1));
    for (qsizetype i = 1; i < initial.size(); ++i)
        m_main->Timer1_Timer();
    QCOMPARE(label->text(), initial);
}

void TestFrmMain::boldOnlyChangesOverWelcomeAndBareSurface()
{
    makeWindow();
    m_main->show();
    auto *label = child<QLabel>("LAnimation");
    const auto moveTo = [this](QWidget *over, QPoint local) {
        const QPoint p = over ? over->mapTo(m_main.get(), local) : local;
        QMouseEvent move(QEvent::MouseMove, p, m_main->mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(m_main.get(), &move);
    };
    QVERIFY(!label->font().bold());
    moveTo(label, {20, 5});
    QVERIFY(label->font().bold());
    moveTo(child<QWidget>("CmdListTab"), {5, 5});
    QVERIFY(label->font().bold());
    moveTo(child<QWidget>("SSTab1"), {300, 200});
    QVERIFY(label->font().bold());
    const QPoint bare(710, 300);
    QCOMPARE(m_main->childAt(bare), nullptr);
    moveTo(nullptr, bare);
    QVERIFY(!label->font().bold());
}

void TestFrmMain::linksOpenTheAuthorsAddress()
{
    makeWindow();
    m_main->show();
    QTest::mouseClick(child<QLabel>("LAnimation"), Qt::LeftButton);
    QTest::mouseClick(child<QLabel>("Label19"), Qt::LeftButton);
    QCOMPARE(m_launcher.opened.size(), 2);
    for (const QUrl &url : m_launcher.opened)
        QCOMPARE(url, QUrl(FrmMain::authorUrl()));
    QVERIFY(child<QLabel>("Label19")->text().compare(QUrl(FrmMain::authorUrl()).host(),
                                                     Qt::CaseInsensitive) == 0);
    QCOMPARE(child<QLabel>("Label19")->text(), child<QLabel>("Label19")->text().toUpper());
}

void TestFrmMain::exitAsksNothing()
{
    makeWindow();
    m_main->show();
    child<QAbstractButton>("CmdExitTab")->click();
    QVERIFY(!m_main->isVisible());
    m_main->show();
    QVERIFY(m_main->close());
    QVERIFY(m_boxes.shown.isEmpty());
}

void TestFrmMain::loadProposesNextNumber_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("proposed");
    QTest::newRow("empty") << QByteArray() << "1";
    QTest::newRow("four") << numbered(1, 4) << "5";
    QTest::newRow("partial tail") << numbered(1, 1) + "x"
                                  << "2";
}

void TestFrmMain::loadProposesNextNumber()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, proposed);
    writeData(file);
    makeWindow();
    QCOMPARE(child<QLineEdit>("Text5")->text(), proposed);
    QVERIFY(m_boxes.shown.isEmpty());
}

void TestFrmMain::loadCreatesMissingFolder()
{
    makeWindow();
    QCOMPARE(data(), QByteArray());
    QCOMPARE(child<QLineEdit>("Text5")->text(), QStringLiteral("1"));
}

void TestFrmMain::loadFailsWhenFolderCannotBeMade()
{
    // The program directory's File is an ordinary file, so no folder can be made.
    QFile blocker(m_dir->path() + "/File");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    makeWindow(false);
    QVERIFY(!m_main->Form_Load());
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
    QVERIFY(m_boxes.shown[0].text.contains(m_dir->path() + "/File"));
}

void TestFrmMain::addAsksBeforeCutting()
{
    writeData(numbered(1, 4));
    makeWindow();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    const QStringList typed = {"ABCDEFGHIJKLMNOPQRST", "  احمدی", "0211234     ",
                               "۰۹۱۲۱۲۳۴۵۶۷۸",         " 300 ",   "Tehran"};
    const char *names[] = {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6"};
    for (int i = 0; i < 6; ++i)
        child<QLineEdit>(names[i])->setText(typed[i]);
    m_boxes.answers = {ModalBoxes::AnswerNo, ModalBoxes::AnswerYes};

    // Name and mobile lose characters, the phone only spaces: one question for the two.
    child<QAbstractButton>("cmdAdd")->click();
    QCOMPARE(m_boxes.shown.size(), 1);
    const ScriptedBoxes::Shown question = m_boxes.shown[0];
    QCOMPARE(question.icon, ModalBoxes::Exclamation);
    QCOMPARE(question.buttons, ModalBoxes::YesNo);
    QCOMPARE(question.defaultAnswer, ModalBoxes::AnswerNo);
    const QString isolated = QStringLiteral(": «\u2068%1\u2069»");
    const QStringList named = question.text.split(u'\n').filter(QStringLiteral(": «"));
    QCOMPARE(named, QStringList({QStringLiteral("نام") + isolated.arg("ABCDEFGHIJKLMNO"),
                                 QStringLiteral("شماره موبايل") + isolated.arg("09121234567")}));
    // No: nothing written, nothing lost, and the cut part of the name in view.
    QCOMPARE(data(), numbered(1, 4));
    for (int i = 0; i < 6; ++i)
        QCOMPARE(child<QLineEdit>(names[i])->text(), typed[i]);
    QVERIFY(child<QLineEdit>("Text1")->hasFocus());
    QCOMPARE(child<QLineEdit>("Text1")->selectedText(), QStringLiteral("PQRST"));

    // Yes: stored as shown.
    child<QAbstractButton>("cmdAdd")->click();
    QCOMPARE(m_boxes.shown.size(), 2);
    const QByteArray expected =
        QByteArray("ABCDEFGHIJKLMNO") + QByteArray("  \xC7\xCD\xE3\xCF\xED") + QByteArray(13, ' ') +
        "0211234 " + "09121234567" + QByteArray("\x2C\x01", 2) + "Tehran" + QByteArray(94, ' ');
    QCOMPARE(data().mid(4 * 156).toHex(' '), expected.toHex(' '));
    QCOMPARE(data().size(), 5 * 156);
    for (const char *name : {"Text1", "Text2", "Text3", "Text4", "Text6"})
        QVERIFY(child<QLineEdit>(name)->text().isEmpty());
    QCOMPARE(child<QLineEdit>("Text5")->text(), QStringLiteral("6"));
    QVERIFY(child<QLineEdit>("Text1")->hasFocus());
}

void TestFrmMain::addUsesTypedNumberButProposesCountPlusOne()
{
    writeData(numbered(1, 3));
    makeWindow();
    QCOMPARE(child<QLineEdit>("Text5")->text(), QStringLiteral("4"));
    child<QLineEdit>("Text5")->setText("9");
    child<QAbstractButton>("cmdAdd")->click();
    QCOMPARE(ContactRecord::fromBytes(data().mid(3 * 156)).ID(), qint16(9));
    QCOMPARE(child<QLineEdit>("Text5")->text(), QStringLiteral("5"));
    // All boxes empty but the number: a record of spaces carrying it.
    child<QAbstractButton>("cmdAdd")->click();
    ContactRecord blank;
    blank.setID(5);
    QCOMPARE(data().mid(4 * 156), blank.toByteArray());
}

void TestFrmMain::addRejectsBadNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("letters") << "abc";
    QTest::newRow("too large") << "40000";
    QTest::newRow("too small") << "-32769";
}

void TestFrmMain::addRejectsBadNumber()
{
    QFETCH(QString, text);
    writeData(numbered(1, 2));
    makeWindow();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    child<QLineEdit>("Text1")->setText("Ali");
    child<QLineEdit>("Text5")->setText(text);
    child<QAbstractButton>("cmdAdd")->click();
    QCOMPARE(data(), numbered(1, 2));
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
    QVERIFY(m_boxes.shown[0].text.isRightToLeft());
    QVERIFY(m_boxes.shown[0].text.contains("32767"));
    QVERIFY(child<QLineEdit>("Text5")->hasFocus());
    QCOMPARE(child<QLineEdit>("Text1")->text(), QStringLiteral("Ali")); // nothing lost
}

void TestFrmMain::addStopsAtLastRecordNumber()
{
    writeData({});
    QVERIFY(QFile::resize(m_dir->path() + "/File/quorvel.dat", qint64(32766) * 156));
    makeWindow();
    QCOMPARE(child<QLineEdit>("Text5")->text(), QStringLiteral("32767"));
    child<QAbstractButton>("cmdAdd")->click();
    QVERIFY(m_boxes.shown.isEmpty());
    QCOMPARE(data().size(), 32767 * 156);
    QCOMPARE(child<QLineEdit>("Text5")->text(), QString());

    child<QLineEdit>("Text5")->setText("1");
    child<QAbstractButton>("cmdAdd")->click();
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
    QVERIFY(m_boxes.shown[0].text.contains("32767"));
    QCOMPARE(data().size(), 32767 * 156);
}

void TestFrmMain::fileBeyondLimitStillOpens()
{
    writeData(numbered(1, 32768));
    makeWindow();
    QVERIFY(m_boxes.shown.isEmpty());
    QCOMPARE(child<QLineEdit>("Text5")->text(), QString());
    child<QLineEdit>("Text5")->setText("5");
    child<QAbstractButton>("cmdAdd")->click();
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(data().size(), 32768 * 156);
    child<QAbstractButton>("cmdDisplay")->click();
    QCOMPARE(m_main->listModel()->rowCount(), 32768);
}

void TestFrmMain::storeErrorsAreShownAndProgramGoesOn()
{
    writeData(numbered(1, 1));
    makeWindow();
    QVERIFY(QFile::remove(m_dir->path() + "/File/quorvel.dat"));
    child<QAbstractButton>("cmdAdd")->click();
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
    QVERIFY(m_boxes.shown[0].text.contains(StoreError::kindName(StoreError::FileNotFound)));
    QVERIFY(m_boxes.shown[0].text.contains("quorvel.dat"));
    QVERIFY(!QFile::exists(m_dir->path() + "/File/quorvel.dat"));

    // Listing with the folder gone names the folder.
    QVERIFY(QDir(m_dir->path() + "/File").removeRecursively());
    child<QAbstractButton>("cmdDisplay")->click();
    QCOMPARE(m_boxes.shown.size(), 2);
    QVERIFY(m_boxes.shown[1].text.contains(StoreError::kindName(StoreError::PathNotFound)));
}

void TestFrmMain::listShowsTrimmedRowsOnce()
{
    writeData(record("  Ali", "Rezaei ", "021", "0912", -5, " Tehran, Azadi St ") +
              record("علي", "", "", "", 300, "") + "partial");
    makeWindow();
    ContactListModel *model = m_main->listModel();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    child<QAbstractButton>("cmdDisplay")->click();
    child<QAbstractButton>("cmdDisplay")->click();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->columnCount(), 6);
    const QStringList row0 = {"Ali", "Rezaei", "021", "0912", "-5", "Tehran, Azadi St"};
    for (int c = 0; c < 6; ++c)
        QCOMPARE(model->index(0, c).data().toString(), row0[c]);
    // Stored Arabic yeh shows as the Persian letter.
    QCOMPARE(model->index(1, 0).data().toString(), QStringLiteral("علی"));
    QCOMPARE(model->index(1, 4).data().toString(), QStringLiteral("300"));
    QVERIFY(!model->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    QVERIFY(child<QTreeView>("l1")->model() == model);
}

void TestFrmMain::listOfEmptyFileShowsHeaders()
{
    makeWindow();
    ContactListModel *model = m_main->listModel();
    QCOMPARE(model->columnCount(), 0); // no columns before the first show
    child<QAbstractButton>("cmdDisplay")->click();
    QCOMPARE(model->rowCount(), 0);
    const QStringList captions = {"نام",          "نام خانوادگي",  "شماره تلفن",
                                  "شماره موبايل", "شماره شناسايي", "آدرس"};
    QCOMPARE(model->columnCount(), 6);
    for (int c = 0; c < 6; ++c) {
        QCOMPARE(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), captions[c]);
        QVERIFY(!model->headerData(c, Qt::Horizontal, Qt::DecorationRole).value<QIcon>().isNull());
    }
}

namespace {
// Opens the delegates' option set-up to the test.
struct OpenNumbers : LeftToRightDelegate
{
    using LeftToRightDelegate::initStyleOption;
};
struct OpenText : QStyledItemDelegate
{
    using QStyledItemDelegate::initStyleOption;
};
} // namespace

void TestFrmMain::listReadsNumbersLeftToRight()
{
    writeData(datafiles::record(QStringLiteral("علي"), {}, QStringLiteral("021-44"),
                                QStringLiteral("+98 912 345"), -5));
    makeWindow();
    child<QAbstractButton>("cmdDisplay")->click();
    auto *view = child<QTreeView>("l1");
    OpenNumbers numbers;
    OpenText text;
    for (int c = 0; c < 6; ++c) {
        const QModelIndex index = m_main->listModel()->index(0, c);
        const bool number = c == ContactListModel::PhoneColumn ||
                            c == ContactListModel::MobileColumn || c == ContactListModel::IdColumn;
        QCOMPARE(dynamic_cast<LeftToRightDelegate *>(view->itemDelegateForIndex(index)) != nullptr,
                 number);
        QStyleOptionViewItem shown;
        shown.initFrom(view);
        if (number)
            numbers.initStyleOption(&shown, index);
        else
            text.initStyleOption(&shown, index);
        QCOMPARE(shown.direction, number ? Qt::LeftToRight : Qt::RightToLeft);
    }
}

void TestFrmMain::listColumnsFitAndKeepTheirWidths()
{
    writeData(datafiles::numbered(1, 3));
    makeWindow();
    m_main->show();
    child<QAbstractButton>("CmdListTab")->click();
    child<QAbstractButton>("cmdDisplay")->click();
    auto *view = child<QTreeView>("l1");
    QHeaderView *header = view->header();
    QCOMPARE(header->sectionResizeMode(0), QHeaderView::Interactive);
    // Every caption fits its column at first.
    for (int c = 0; c < 6; ++c) {
        const QString caption =
            m_main->listModel()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QVERIFY2(header->sectionSize(c) >= header->fontMetrics().horizontalAdvance(caption),
                 qPrintable(caption));
    }
    // The first column is in view.
    const int x = header->sectionViewportPosition(0);
    QVERIFY(x >= 0 && x + header->sectionSize(0) <= view->viewport()->width() + 1);
    // A width the user gave survives the next listing.
    header->resizeSection(5, 300);
    child<QAbstractButton>("cmdDisplay")->click();
    QCOMPARE(header->sectionSize(5), 300);
}

void TestFrmMain::aboutButtonOpensOneDialog()
{
    makeWindow();
    m_main->show();
    const auto dialogs = [] {
        int n = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            n += qobject_cast<frmAbout *>(w) && w->isVisible();
        return n;
    };
    child<QAbstractButton>("CmdAboutUsTab")->click();
    QCOMPARE(dialogs(), 1);
    child<QAbstractButton>("CmdAboutUsTab")->click();
    QCOMPARE(dialogs(), 1);
    // Each press beeps first, the second one too.
    QCOMPARE(m_player.calls, (QStringList{"beep", "beep"}));
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<frmAbout *>(w))
            w->close();
    QTRY_COMPARE(dialogs(), 0);
}

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"

void TestFrmMain::clickHeading(int column)
{
    auto *list = child<QTreeView>("l1");
    list->scrollTo(list->model()->index(0, column));
    QHeaderView *header = list->header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

void TestFrmMain::headingClickSortsAndReverses()
{
    // Persian alphabet order differs from code points (ب < پ < ک), and the
    // Arabic kaf sorts as the Persian one. Numbers by value, not as text.
    writeData(record(QStringLiteral("كاوه"), "", "10", "", 100, "") +
              record(QStringLiteral("پرویز"), "", "9", "", 2, "") +
              record(QStringLiteral("آرش"), "", "", "", -5, "") +
              record(QStringLiteral("کامران"), "", "0021", "", 10, "") +
              record(QStringLiteral("بابک"), "", "9", "", 2, ""));
    makeWindow();
    m_main->show();
    child<QAbstractButton>("CmdListTab")->click();
    ContactListModel *model = m_main->listModel();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    child<QAbstractButton>("cmdDisplay")->click();
    const auto column = [model](int c) {
        QStringList out;
        for (int row = 0; row < model->rowCount(); ++row)
            out << model->index(row, c).data().toString();
        return out;
    };
    const QStringList fileOrder = column(0);

    clickHeading(ContactListModel::NameColumn);
    QCOMPARE(column(0), QStringList({"آرش", "بابک", "پرویز", "کامران", "کاوه"}));
    clickHeading(ContactListModel::NameColumn);
    QCOMPARE(column(0), QStringList({"کاوه", "کامران", "پرویز", "بابک", "آرش"}));

    clickHeading(ContactListModel::IdColumn);
    QCOMPARE(column(4), QStringList({"-5", "2", "2", "10", "100"}));
    // Equal values keep their file order.
    QCOMPARE(column(0).mid(1, 2), QStringList({"پرویز", "بابک"}));

    // A number without digits sorts after every number.
    clickHeading(ContactListModel::PhoneColumn);
    QCOMPARE(column(2), QStringList({"9", "9", "10", "0021", ""}));
    clickHeading(ContactListModel::PhoneColumn);
    QCOMPARE(column(2), QStringList({"", "0021", "10", "9", "9"}));

    // Sorting is the list's alone: the file keeps its order.
    model->sort(-1);
    QCOMPARE(column(0), fileOrder);
    QCOMPARE(data(), datafiles::read(m_dir->path()));
    QCOMPARE(data().left(ContactRecord::Size),
             record(QStringLiteral("كاوه"), "", "10", "", 100, ""));
}

void TestFrmMain::typedNumbersAreProposedFitted()
{
    writeData({});
    makeWindow();
    child<QLineEdit>("Text1")->setText("Sara");
    child<QLineEdit>("Text4")->setText("+98 912 765 4321");
    m_boxes.answers = {ModalBoxes::AnswerNo, ModalBoxes::AnswerYes};

    // No: nothing written, the box as typed.
    child<QAbstractButton>("cmdAdd")->click();
    QCOMPARE(m_boxes.shown.size(), 1);
    QVERIFY2(m_boxes.shown[0].text.contains(QStringLiteral("«\u206809127654321\u2069»")),
             qPrintable(m_boxes.shown[0].text));
    QCOMPARE(m_boxes.shown[0].defaultAnswer, ModalBoxes::AnswerNo);
    QCOMPARE(data(), QByteArray());
    QCOMPARE(child<QLineEdit>("Text4")->text(), QStringLiteral("+98 912 765 4321"));

    // Yes: the whole number, not a stub.
    child<QAbstractButton>("cmdAdd")->click();
    QCOMPARE(data(), record("Sara", "", "", "09127654321", 1, ""));

    // A telephone with its area code keeps the subscriber number and says which
    // code was left out; a text that only fits cut is still asked about as a cut.
    m_boxes.reset();
    m_boxes.answers = {ModalBoxes::AnswerYes};
    child<QLineEdit>("Text2")->setText(QStringLiteral("نام خانوادگی بسیار بسیار بلند"));
    child<QLineEdit>("Text3")->setText("021-6601 2345");
    child<QAbstractButton>("cmdAdd")->click();
    QCOMPARE(m_boxes.shown.size(), 1);
    const QString asked = m_boxes.shown[0].text;
    QVERIFY2(asked.contains(QStringLiteral("\u206866012345\u2069")) &&
                 asked.contains(QStringLiteral("021")) &&
                 asked.contains(QStringLiteral("«\u2068نام خانوادگی بسیار ب\u2069»")),
             qPrintable(asked));
    const ContactRecord stored = ContactRecord::fromBytes(data().mid(ContactRecord::Size));
    QCOMPARE(stored.text(ContactRecord::Phone), QStringLiteral("66012345"));
}
