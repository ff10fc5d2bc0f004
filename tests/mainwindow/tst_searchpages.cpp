#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "mainwindow/SearchPage.h"
#include "mainwindow/ContactListModel.h"
#include "tests/support/MainWindowHarness.h"

using datafiles::numbered;
using datafiles::record;

namespace {

const QString kQuestionTail =
    QStringLiteral("برنامه به صورت پيش فرض آخرين شخص را انتخاب ميکند"
                   "اگر مي خواهيد جستجو را بر اساس نام خانوادگي ادامه دهيد بر روي بله کليک کنيد");

// Eight contacts; Ali at records 3 and 7.
QByteArray aliFile()
{
    QByteArray out;
    for (int i = 1; i <= 8; ++i) {
        const QString name =
            (i == 3 || i == 7) ? QStringLiteral("Ali") : QStringLiteral("P%1").arg(i);
        out += record(name, QStringLiteral("Family%1").arg(i), QStringLiteral("0%1").arg(i), {},
                      qint16(i * 10), QStringLiteral("Street %1").arg(i));
    }
    return out;
}

struct Page
{
    const char *option[3];
    const char *key;
    const char *button;
    const char *fields[6];
};

const Page kSearch = {{"optname", "optfamily", "optid"},
                      "Text7",
                      "cmdsearch",
                      {"Text11", "Text12", "Text13", "Text14", "Text15", "Text16"}};
const Page kEdit = {{"OptName2", "OptFamily2", "OptID2"},
                    "Text17",
                    "CmdSearch2",
                    {"Text21", "Text22", "Text23", "Text24", "Text25", "Text26"}};
const Page kDelete = {{"OptName3", "OptFamily3", "OptID3"},
                      "Text27",
                      "CmdSearch3",
                      {"Text31", "Text32", "Text33", "Text34", "Text35", "Text36"}};

} // namespace

class TestSearchPages : public QObject, protected MainWindowHarness
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void multipleMatchesAskAndNoKeepsLast();
    void continuationNarrowsByOtherField();
    void continuationKeepsTheFirstKey();
    void continuationCancelled();
    void continuationFindingNothingSaysSo();
    void singleMatchAsksNothing();
    void comparisonIsExactAtFullWidth_data();
    void comparisonIsExactAtFullWidth();
    void persianKeyboardTextIsFound();
    void idSearch_data();
    void idSearch();
    void invalidIdKeyRunsNoScan_data();
    void invalidIdKeyRunsNoScan();
    void searchWithoutMode();
    void optionSetsHintAndSearchUsesIt();
    void hintClearedIsSharedByKeyBoxes();
    void trailingPartialRecordIsNeverSeen();
    void editAndDeletePagesStopAtLastRecordNumber();

    void saveAfterSearchRewritesIdenticalBytes();
    void saveStoresEditedFields();
    void saveRejectsBadNumber();
    void eachPageKeepsItsOwnSelection();
    void changedRecordIsNotOverwritten();
    void deleteAsksAndOnlyYesDeletes();
    void deleteClearsSelectionButKeepsBoxes();
    void deleteLastAndOnlyRecord();
    void persianLettersShownAndStoredBack();
    void sortedListLeavesPagesOnTheirRecords();

private:
    void open(const QByteArray &file);
    // Chooses a mode, clears the hint as a user would, types the key and searches.
    void search(const Page &page, int mode, const QString &key);
    QString field(const Page &page, int i) { return child<QLineEdit>(page.fields[i])->text(); }
    bool tempExists() const { return QFile::exists(m_dir->path() + "/File/quorvel1.dat"); }
};

void TestSearchPages::init()
{
    setUpHarness();
}

void TestSearchPages::cleanup()
{
    tearDownHarness();
}

void TestSearchPages::open(const QByteArray &file)
{
    writeData(file);
    makeWindow();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
}

void TestSearchPages::search(const Page &page, int mode, const QString &key)
{
    child<QRadioButton>(page.option[mode])->click();
    QTest::mouseClick(child<QLineEdit>(page.key), Qt::LeftButton);
    child<QLineEdit>(page.key)->setText(key);
    child<QAbstractButton>(page.button)->click();
}

void TestSearchPages::multipleMatchesAskAndNoKeepsLast()
{
    open(aliFile());
    m_boxes.answers = {ModalBoxes::AnswerNo};
    search(kEdit, 0, "Ali");
    QCOMPARE(m_boxes.shown.size(), 1);
    const ScriptedBoxes::Shown &q = m_boxes.shown[0];
    QCOMPARE(q.text, QStringLiteral("There are 2 Person with name of  Ali            \r\n") +
                         kQuestionTail);
    QCOMPARE(q.title, QStringLiteral("Halvo"));
    QCOMPARE(q.icon, ModalBoxes::Exclamation);
    QCOMPARE(q.buttons, ModalBoxes::YesNo);
    QCOMPARE(q.defaultAnswer, ModalBoxes::AnswerYes);
    QCOMPARE(m_main->editPage()->SelectedRecord(), 7);
    QCOMPARE(field(kEdit, 0), QStringLiteral("Ali            "));
    QCOMPARE(field(kEdit, 1), QStringLiteral("Family7             "));
    QCOMPARE(field(kEdit, 4), QStringLiteral("70"));

    // The family question names the family key at its 20 characters.
    QVERIFY(datafiles::write(m_dir->path(),
                             aliFile() + record("Q", "Family7") + record("R", "Family7")));
    m_boxes.reset();
    m_boxes.answers = {ModalBoxes::AnswerNo};
    search(kSearch, 1, "Family7");
    QVERIFY(m_boxes.shown[0].text.startsWith(
        QStringLiteral("There are 3 Person with Family of  Family7             \r\n")));
    QVERIFY(m_boxes.shown[0].text.endsWith(
        QStringLiteral("اگر مي خواهيد جستجو را بر اساس نام  ادامه دهيد بر روي بله کليک کنيد")));
    QCOMPARE(field(kSearch, 0), QStringLiteral("R              "));
}

void TestSearchPages::continuationNarrowsByOtherField()
{
    open(aliFile());
    m_boxes.answers = {ModalBoxes::AnswerYes};
    m_boxes.inputs = {QStringLiteral("Family3")};
    search(kDelete, 0, "Ali");
    QCOMPARE(m_boxes.shown.size(), 2);
    QVERIFY(m_boxes.shown[1].input);
    QCOMPARE(m_boxes.shown[1].text, QStringLiteral("ENTER FAMILY"));
    QCOMPARE(m_boxes.shown[1].title, QStringLiteral("Halvex"));
    QCOMPARE(m_boxes.shown[1].defaultText, QString());
    QCOMPARE(m_main->deletePage()->SelectedRecord(), 3);
    QCOMPARE(field(kDelete, 1), QStringLiteral("Family3             "));
    QVERIFY(child<QLineEdit>("Text27")->hasFocus());

    // By family first, then first name.
    QVERIFY(datafiles::write(m_dir->path(),
                             record("A", "Same") + record("B", "Same") + record("C", "Same")));
    m_boxes.reset();
    m_boxes.answers = {ModalBoxes::AnswerYes};
    m_boxes.inputs = {QStringLiteral("B")};
    search(kEdit, 1, "Same");
    QCOMPARE(m_boxes.shown[1].text, QStringLiteral("ENTER Name"));
    QCOMPARE(m_main->editPage()->SelectedRecord(), 2);
}

void TestSearchPages::continuationFindingNothingSaysSo()
{
    for (const Page *page : {&kSearch, &kEdit, &kDelete}) {
        open(aliFile());
        m_boxes.answers = {ModalBoxes::AnswerYes};
        m_boxes.inputs = {QStringLiteral("Nobody")};
        search(*page, 0, "Ali");
        QCOMPARE(m_boxes.shown.size(), 3);
        QCOMPARE(m_boxes.shown[2].text, QStringLiteral("چنين فردي وجود ندارد"));
        QCOMPARE(m_boxes.shown[2].icon, ModalBoxes::Critical);
        // Record 7 was the first scan's answer; it must not look like this one's.
        QCOMPARE(field(*page, 0), QString());
        QCOMPARE(field(*page, 1), QString());
        QCOMPARE(m_main->editPage()->SelectedRecord(), 0);
        QCOMPARE(m_main->deletePage()->SelectedRecord(), 0);
        m_main.reset();
        m_boxes.reset();
    }
}

void TestSearchPages::continuationKeepsTheFirstKey()
{
    // Family names repeat across first names, so the last record matching the
    // second key alone is never the answer.
    open(record(QStringLiteral("علي"), QStringLiteral("کريمي"), "01") +
         record(QStringLiteral("علي"), QStringLiteral("احمدي"), "02") +
         record(QStringLiteral("رضا"), QStringLiteral("کريمي"), "03") +
         record(QStringLiteral("رضا"), QStringLiteral("احمدي"), "04"));
    m_boxes.answers = {ModalBoxes::AnswerYes};
    m_boxes.inputs = {QStringLiteral("کريمي")};
    search(kDelete, 0, QStringLiteral("علي"));
    QCOMPARE(m_main->deletePage()->SelectedRecord(), 1);
    QCOMPARE(field(kDelete, 2), QStringLiteral("01      "));

    m_boxes.reset();
    m_boxes.answers = {ModalBoxes::AnswerYes};
    m_boxes.inputs = {QStringLiteral("علي")};
    search(kEdit, 1, QStringLiteral("احمدي"));
    QCOMPARE(m_main->editPage()->SelectedRecord(), 2);

    m_boxes.reset();
    m_boxes.answers = {ModalBoxes::AnswerYes};
    m_boxes.inputs = {QStringLiteral("کريمي")};
    search(kSearch, 0, QStringLiteral("رضا"));
    QCOMPARE(field(kSearch, 2), QStringLiteral("03      "));
}

void TestSearchPages::continuationCancelled()
{
    open(aliFile());
    m_boxes.answers = {ModalBoxes::AnswerYes};
    m_boxes.inputs = {std::nullopt};
    search(kEdit, 0, "Ali");
    QCOMPARE(m_boxes.shown.size(), 2); // the question and the input box, no not-found
    QCOMPARE(m_main->editPage()->SelectedRecord(), 0);
    QCOMPARE(field(kEdit, 1), QStringLiteral("Family7             "));

    // An empty second key finds the record whose family is empty.
    QVERIFY(datafiles::write(m_dir->path(), aliFile() + record("Ali")));
    m_boxes.reset();
    m_boxes.answers = {ModalBoxes::AnswerYes};
    m_boxes.inputs = {std::nullopt};
    search(kEdit, 0, "Ali");
    QCOMPARE(m_main->editPage()->SelectedRecord(), 9);
}

void TestSearchPages::singleMatchAsksNothing()
{
    open(aliFile());
    search(kSearch, 0, "P5");
    QVERIFY(m_boxes.shown.isEmpty());
    QCOMPARE(field(kSearch, 0), QStringLiteral("P5             "));
    QCOMPARE(field(kSearch, 5), QStringLiteral("Street 5") + QString(92, u' '));
}

void TestSearchPages::comparisonIsExactAtFullWidth_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("found");
    QTest::newRow("exact") << 0 << "LongNameExactly15" << true;
    QTest::newRow("typed longer than 15") << 0 << "LongNameExactly15AndMore" << true;
    QTest::newRow("other case") << 0 << "longnameexactly15" << false;
    QTest::newRow("leading space") << 0 << " LongNameExactly15" << false;
    QTest::newRow("prefix") << 0 << "LongName" << false;
    QTest::newRow("family longer than 20") << 1 << "FamilyNameOfTwentyCharsX" << true;
    QTest::newRow("family with trailing space typed") << 1 << "FamilyNameOfTwentyC " << false;
}

void TestSearchPages::comparisonIsExactAtFullWidth()
{
    QFETCH(int, mode);
    QFETCH(QString, key);
    QFETCH(bool, found);
    open(record("LongNameExactly15", "FamilyNameOfTwentyChars") + record("Other"));
    search(kSearch, mode, key);
    QCOMPARE(m_boxes.shown.isEmpty(), found);
    if (!found) {
        QCOMPARE(m_boxes.shown[0].text, QStringLiteral("چنين فردي وجود ندارد"));
        QCOMPARE(m_boxes.shown[0].title, QStringLiteral("Halvex Search"));
        QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
        QVERIFY(child<QLineEdit>("Text7")->hasFocus());
        QCOMPARE(child<QLineEdit>("Text7")->selectedText(), key);
    }
}

void TestSearchPages::persianKeyboardTextIsFound()
{
    // Stored from a Persian keyboard (FARSI YEH), searched in both spellings.
    open(record(QStringLiteral("علی"), QStringLiteral("کریمی")));
    for (const QString &typed : {QStringLiteral("علی"), QStringLiteral("علي")}) {
        m_boxes.reset();
        search(kSearch, 0, typed);
        QVERIFY2(m_boxes.shown.isEmpty(), qPrintable(typed));
        QCOMPARE(field(kSearch, 0).trimmed(), QStringLiteral("علی"));
    }
    m_boxes.reset();
    search(kSearch, 1, QStringLiteral("کریمی"));
    QVERIFY(m_boxes.shown.isEmpty());
}

void TestSearchPages::idSearch_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("shownId");
    QTest::newRow("leading zeros") << "007"
                                   << "7";
    QTest::newRow("half to even") << "2.5"
                                  << "2";
    QTest::newRow("negative") << "-5"
                              << "-5";
    QTest::newRow("persian digits") << "۷"
                                    << "7";
    QTest::newRow("missing") << "99"
                             << "";
}

void TestSearchPages::idSearch()
{
    QFETCH(QString, key);
    QFETCH(QString, shownId);
    open(record("A", {}, {}, {}, 7) + record("B", {}, {}, {}, 2) + record("C", {}, {}, {}, -5) +
         record("D", {}, {}, {}, 7));
    search(kEdit, 2, key);
    if (shownId.isEmpty()) {
        QCOMPARE(m_boxes.shown.size(), 1);
        QCOMPARE(m_boxes.shown[0].text, QStringLiteral("چنين شماره اي وجود ندارد"));
        QCOMPARE(m_boxes.shown[0].title, QStringLiteral("Halvex Search"));
        QCOMPARE(m_main->editPage()->SelectedRecord(), 0);
        QCOMPARE(child<QLineEdit>("Text17")->selectedText(), key);
    } else {
        QVERIFY(m_boxes.shown.isEmpty());
        QCOMPARE(field(kEdit, 4), shownId);
    }
    if (key == "007") // two records carry 7: the last stays shown, no question
        QCOMPARE(m_main->editPage()->SelectedRecord(), 4);
}

void TestSearchPages::invalidIdKeyRunsNoScan_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("empty") << "";
    QTest::newRow("hint") << "Enter ID";
    QTest::newRow("letters") << "abc";
    QTest::newRow("out of range") << "40000";
}

void TestSearchPages::invalidIdKeyRunsNoScan()
{
    QFETCH(QString, key);
    open(numbered(1, 3));
    search(kDelete, 2, key);
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].title, QStringLiteral("Halvex Search"));
    QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
    QVERIFY(m_boxes.shown[0].text.isRightToLeft());
    QVERIFY(child<QLineEdit>("Text27")->hasFocus());
    QCOMPARE(child<QLineEdit>("Text27")->selectedText(), key);
    QCOMPARE(field(kDelete, 0), QString()); // nothing shown
    QCOMPARE(m_main->deletePage()->SelectedRecord(), 0);
}

void TestSearchPages::searchWithoutMode()
{
    open(aliFile());
    m_boxes.answers = {ModalBoxes::AnswerNo, ModalBoxes::AnswerNo};
    search(kEdit, 0, "Ali");
    search(kDelete, 0, "Ali");
    QCOMPARE(m_main->editPage()->SelectedRecord(), 7);
    m_boxes.reset();

    // A fresh window has no mode chosen on any page.
    open(aliFile());
    m_main->editPage()->select(5, ContactRecord());
    m_main->deletePage()->select(5, ContactRecord());
    child<QLineEdit>("Text7")->setText("Ali");
    child<QAbstractButton>("cmdsearch")->click();
    child<QLineEdit>("Text17")->setText("Ali");
    child<QAbstractButton>("CmdSearch2")->click();
    child<QLineEdit>("Text27")->setText("Ali");
    child<QLineEdit>("Text7")->setFocus();
    child<QAbstractButton>("CmdSearch3")->click();
    QVERIFY(m_boxes.shown.isEmpty());
    QCOMPARE(field(kSearch, 0), QString());
    QCOMPARE(field(kEdit, 0), QString());
    QCOMPARE(m_main->editPage()->SelectedRecord(), 0);
    QCOMPARE(m_main->deletePage()->SelectedRecord(), 0);
    QVERIFY(child<QLineEdit>("Text27")->hasFocus());
    QCOMPARE(child<QLineEdit>("Text27")->selectedText(), QStringLiteral("Ali"));
}

void TestSearchPages::optionSetsHintAndSearchUsesIt()
{
    open(record("Enter Name") + record("X", "Enter Family"));
    const std::pair<int, QString> modes[] = {
        {0, "نام:"}, {1, "نام خانوادگي:"}, {2, "شماره شناسايي:"}};
    const QString hints[] = {"Enter Name", "Enter Family", "Enter ID"};
    for (const auto &[mode, caption] : modes) {
        child<QRadioButton>(kSearch.option[mode])->click();
        QCOMPARE(child<QLabel>("Label7")->text(), caption);
        auto *key = child<QLineEdit>("Text7");
        QCOMPARE(key->text(), hints[mode]);
        QVERIFY(key->font().italic());
        QCOMPARE(key->palette().color(QPalette::Text), QColor(192, 192, 192));
    }
    // Searching right after the option click searches for the hint itself.
    child<QRadioButton>("optname")->click();
    child<QAbstractButton>("cmdsearch")->click();
    QVERIFY(m_boxes.shown.isEmpty());
    QCOMPARE(field(kSearch, 0), QStringLiteral("Enter Name     "));
    child<QRadioButton>("optfamily")->click();
    child<QAbstractButton>("cmdsearch")->click();
    QVERIFY(m_boxes.shown.isEmpty());
    QCOMPARE(field(kSearch, 0), QStringLiteral("X              "));
}

void TestSearchPages::hintClearedIsSharedByKeyBoxes()
{
    open({});
    QVERIFY(!m_main->HintCleared());
    child<QRadioButton>("optname")->click();
    child<QLineEdit>("Text17")->setText("typed on edit page");
    QTest::mouseClick(child<QLineEdit>("Text17"), Qt::LeftButton);
    QCOMPARE(child<QLineEdit>("Text17")->text(), QString());
    QVERIFY(m_main->HintCleared());
    auto *key = child<QLineEdit>("Text7");
    QTest::mouseClick(key, Qt::LeftButton);
    QCOMPARE(key->text(), QStringLiteral("Enter Name"));
    QVERIFY(!key->font().italic());
    QCOMPARE(key->palette().color(QPalette::Text), QColor(Qt::black));
    // Tabbing in does not clear a hint.
    child<QRadioButton>("OptID3")->click();
    child<QLineEdit>("Text27")->setFocus(Qt::TabFocusReason);
    QCOMPARE(child<QLineEdit>("Text27")->text(), QStringLiteral("Enter ID"));
}

void TestSearchPages::trailingPartialRecordIsNeverSeen()
{
    open(record("A") + record("Ghost").left(100));
    search(kSearch, 0, "Ghost");
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].text, QStringLiteral("چنين فردي وجود ندارد"));
}

void TestSearchPages::editAndDeletePagesStopAtLastRecordNumber()
{
    open(numbered(1, 32767) + record("Beyond"));
    search(kEdit, 0, "Beyond");
    QCOMPARE(m_boxes.shown.size(), 2);
    QCOMPARE(m_boxes.shown[0].text, QStringLiteral("چنين فردي وجود ندارد"));
    QCOMPARE(m_boxes.shown[1].icon, ModalBoxes::Information);
    QVERIFY(m_boxes.shown[1].text.contains("32767"));
    QCOMPARE(m_main->editPage()->SelectedRecord(), 0);

    m_boxes.reset();
    search(kDelete, 0, "N32767");
    QCOMPARE(m_main->deletePage()->SelectedRecord(), 32767);
    QCOMPARE(m_boxes.shown.size(), 1); // only the note about skipped records

    // The search page keeps no number and sees every record.
    m_boxes.reset();
    search(kSearch, 0, "Beyond");
    QVERIFY(m_boxes.shown.isEmpty());
}

void TestSearchPages::saveAfterSearchRewritesIdenticalBytes()
{
    const QByteArray file = aliFile() + record("  Spaced", "x", "", "", -32768, "addr");
    open(file);
    search(kEdit, 0, "  Spaced");
    QCOMPARE(m_main->editPage()->SelectedRecord(), 9);
    const QDateTime before = QFileInfo(datafiles::dataPath(m_dir->path())).lastModified();
    child<QAbstractButton>("CmdSave")->click();
    QVERIFY(m_boxes.shown.isEmpty());
    QCOMPARE(data(), file);
    Q_UNUSED(before);
}

void TestSearchPages::saveStoresEditedFields()
{
    open(record("A", {}, {}, {}, 12) + record("B", {}, {}, {}, 2) + record("C"));
    search(kEdit, 0, "B");
    const QByteArray before = data();
    const QString address = QString(99, u'x') + QStringLiteral("yz");
    child<QLineEdit>("Text21")->setText("ABCDEFGHIJKLMNOPQRST");
    child<QLineEdit>("Text25")->setText("12");
    child<QLineEdit>("Text26")->setText(address);
    // A cut is stored only after Yes; No leaves the file and the boxes alone.
    m_boxes.answers = {ModalBoxes::AnswerNo, ModalBoxes::AnswerYes};
    child<QAbstractButton>("CmdSave")->click();
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].buttons, ModalBoxes::YesNo);
    QVERIFY(
        m_boxes.shown[0].text.contains(QStringLiteral("آدرس: «\u2068") + QString(99, u'x') + u'y'));
    QCOMPARE(data(), before);
    QCOMPARE(child<QLineEdit>("Text21")->text(), QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
    QCOMPARE(child<QLineEdit>("Text26")->text(), address);
    QVERIFY(child<QLineEdit>("Text21")->hasFocus());
    child<QAbstractButton>("CmdSave")->click();
    QCOMPARE(m_boxes.shown.size(), 2);
    QCOMPARE(data(), record("A", {}, {}, {}, 12) +
                         record("ABCDEFGHIJKLMNO", {}, {}, {}, 12, address.left(100)) +
                         record("C"));
    // A second save acts on the bytes it wrote itself.
    m_boxes.reset();
    child<QLineEdit>("Text21")->setText("ABCDEFGHIJKLMNO");
    child<QLineEdit>("Text22")->setText("Family");
    child<QLineEdit>("Text26")->clear();
    child<QAbstractButton>("CmdSave")->click();
    QVERIFY(m_boxes.shown.isEmpty());
    QCOMPARE(data().mid(156, 156), record("ABCDEFGHIJKLMNO", "Family", {}, {}, 12));
    QCOMPARE(m_main->editPage()->SelectedRecord(), 2);
}

void TestSearchPages::saveRejectsBadNumber()
{
    open(numbered(1, 2));
    search(kEdit, 0, "N2");
    for (const QString &bad : {QString(), QStringLiteral("x"), QStringLiteral("32768")}) {
        m_boxes.reset();
        child<QLineEdit>("Text25")->setText(bad);
        child<QAbstractButton>("CmdSave")->click();
        QCOMPARE(m_boxes.shown.size(), 1);
        QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
        QVERIFY(m_boxes.shown[0].text.isRightToLeft());
        QCOMPARE(data(), numbered(1, 2));
    }
}

void TestSearchPages::eachPageKeepsItsOwnSelection()
{
    open(numbered(1, 3));
    // Nothing selected anywhere.
    child<QAbstractButton>("CmdSave")->click();
    child<QAbstractButton>("CmdDelete")->click();
    QCOMPARE(m_boxes.shown.size(), 2);
    for (const auto &box : m_boxes.shown)
        QCOMPARE(box.icon, ModalBoxes::Critical);
    QVERIFY(!tempExists());

    // A delete-page search gives the edit page nothing to save over.
    m_boxes.reset();
    search(kDelete, 0, "N2");
    child<QLineEdit>("Text21")->setText("Overwrite");
    child<QLineEdit>("Text25")->setText("1");
    child<QAbstractButton>("CmdSave")->click();
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(data(), numbered(1, 3));

    // And an edit-page search gives the delete page nothing to delete.
    m_main->deletePage()->clearSelection();
    m_boxes.reset();
    search(kEdit, 0, "N3");
    child<QAbstractButton>("CmdDelete")->click();
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
    QCOMPARE(data(), numbered(1, 3));
    QVERIFY(!tempExists());
}

void TestSearchPages::changedRecordIsNotOverwritten()
{
    open(numbered(1, 3));
    search(kEdit, 0, "N3");
    search(kDelete, 0, "N2");
    // Another copy of the program removes record 1: N3 moves to record 2.
    ContactStore other(m_dir->path());
    QVERIFY(other.DeleteRecord(1).ok());
    const QByteArray after = data();

    m_boxes.reset();
    child<QLineEdit>("Text21")->setText("Changed");
    child<QAbstractButton>("CmdSave")->click();
    QCOMPARE(m_boxes.shown.size(), 1);
    QVERIFY(m_boxes.shown[0].text.contains(StoreError::kindName(StoreError::RecordChanged)));
    QCOMPARE(data(), after);

    m_boxes.reset();
    m_boxes.answers = {ModalBoxes::AnswerYes};
    child<QAbstractButton>("CmdDelete")->click();
    QCOMPARE(m_boxes.shown.size(), 2);
    QVERIFY(m_boxes.shown[1].text.contains(StoreError::kindName(StoreError::RecordChanged)));
    QCOMPARE(data(), after);
    QVERIFY(!tempExists());
}

void TestSearchPages::deleteAsksAndOnlyYesDeletes()
{
    open(numbered(1, 3));
    search(kDelete, 0, "N2");
    m_boxes.reset();
    m_boxes.answers = {ModalBoxes::AnswerNo};
    child<QAbstractButton>("CmdDelete")->click();
    QCOMPARE(m_boxes.shown.size(), 1);
    const ScriptedBoxes::Shown &q = m_boxes.shown[0];
    QCOMPARE(q.text, QStringLiteral("آيا مطمئن به حذف اين گزينه از ليست هستيد؟"));
    QCOMPARE(q.title, QStringLiteral("حذف"));
    QCOMPARE(q.icon, ModalBoxes::Question);
    QCOMPARE(q.buttons, ModalBoxes::YesNo);
    QCOMPARE(q.defaultAnswer, ModalBoxes::AnswerYes);
    QCOMPARE(data(), numbered(1, 3));
    QCOMPARE(m_main->deletePage()->SelectedRecord(), 2);

    m_boxes.answers = {ModalBoxes::AnswerYes};
    child<QAbstractButton>("CmdDelete")->click();
    QCOMPARE(data(), numbered(1, 1) + numbered(3, 3));
    QVERIFY(!tempExists());
}

void TestSearchPages::deleteClearsSelectionButKeepsBoxes()
{
    open(numbered(1, 3));
    search(kDelete, 0, "N2");
    m_boxes.reset();
    m_boxes.answers = {ModalBoxes::AnswerYes, ModalBoxes::AnswerYes};
    child<QAbstractButton>("CmdDelete")->click();
    QCOMPARE(m_main->deletePage()->SelectedRecord(), 0);
    QCOMPARE(field(kDelete, 0), QStringLiteral("N2             "));
    // A second click cannot remove N3, which moved into the place.
    child<QAbstractButton>("CmdDelete")->click();
    QCOMPARE(m_boxes.shown.size(), 2);
    QCOMPARE(m_boxes.shown[1].icon, ModalBoxes::Critical);
    QCOMPARE(data(), numbered(1, 1) + numbered(3, 3));
}

void TestSearchPages::deleteLastAndOnlyRecord()
{
    open(numbered(1, 3));
    m_boxes.answers = {ModalBoxes::AnswerYes};
    search(kDelete, 0, "N3");
    child<QAbstractButton>("CmdDelete")->click();
    QCOMPARE(data(), numbered(1, 2));

    open(numbered(1, 1));
    m_boxes.answers = {ModalBoxes::AnswerYes};
    search(kDelete, 2, "1");
    child<QAbstractButton>("CmdDelete")->click();
    QCOMPARE(data(), QByteArray());
}

QTEST_MAIN(TestSearchPages)
#include "tst_searchpages.moc"

void TestSearchPages::persianLettersShownAndStoredBack()
{
    // Arabic yeh and kaf as older files and other programs stored them.
    const QByteArray stored = record(QStringLiteral("يوسف"), QStringLiteral("كاظمي"), "021", "0912",
                                     5, QStringLiteral("كوي يك")) +
                              record("B", "Other", "", "", 6, "");
    open(stored);
    for (const Page *page : {&kSearch, &kEdit, &kDelete}) {
        search(*page, 2, "5");
        QCOMPARE(field(*page, 0).trimmed(), QStringLiteral("یوسف"));
        QCOMPARE(field(*page, 1).trimmed(), QStringLiteral("کاظمی"));
        QCOMPARE(field(*page, 5).trimmed(), QStringLiteral("کوی یک"));
    }

    // Saved unchanged: not one byte differs, the Arabic kaf included.
    child<QAbstractButton>("CmdSave")->click();
    QVERIFY(m_boxes.shown.isEmpty());
    QCOMPARE(data().toHex(' '), stored.toHex(' '));

    // An edit of one box leaves the others' bytes as they were.
    child<QLineEdit>(kEdit.fields[2])->setText("0217");
    child<QAbstractButton>("CmdSave")->click();
    QByteArray expected = stored;
    expected.replace(ContactRecord::offset(ContactRecord::Phone), 8, "0217    ");
    QCOMPARE(data().toHex(' '), expected.toHex(' '));

    // A box the user retyped stores what was typed: ی as the code page's yeh,
    // ک as its own letter.
    child<QLineEdit>(kEdit.fields[1])->setText(QStringLiteral("کاظمی"));
    child<QAbstractButton>("CmdSave")->click();
    QCOMPARE(data().mid(ContactRecord::offset(ContactRecord::Family), 5),
             QByteArray("\x98\xC7\xD9\xE3\xED"));
}

void TestSearchPages::sortedListLeavesPagesOnTheirRecords()
{
    open(record("Zed", "", "", "", 1, "") + record("Amy", "", "", "", 2, "") +
         record("Max", "", "", "", 3, ""));
    m_main->show();
    child<QAbstractButton>("cmdDisplay")->click();
    auto *list = child<QTreeView>("l1");
    list->header()->setSortIndicator(ContactListModel::NameColumn, Qt::AscendingOrder);
    QCOMPARE(m_main->listModel()->index(0, 0).data().toString(), QStringLiteral("Amy"));
    QCOMPARE(m_main->listModel()->recordPosition(0), 1);

    // The pages still find and change the record at its place in the file.
    search(kEdit, 0, "Max");
    QCOMPARE(m_main->editPage()->SelectedRecord(), 3);
    child<QLineEdit>(kEdit.fields[1])->setText("Edited");
    child<QAbstractButton>("CmdSave")->click();
    search(kDelete, 0, "Zed");
    QCOMPARE(m_main->deletePage()->SelectedRecord(), 1);
    m_boxes.answers = {ModalBoxes::AnswerYes};
    child<QAbstractButton>("CmdDelete")->click();
    QCOMPARE(data(), record("Amy", "", "", "", 2, "") + record("Max", "Edited", "", "", 3, ""));

    // The list shown again keeps the order chosen.
    child<QAbstractButton>("cmdDisplay")->click();
    QCOMPARE(m_main->listModel()->index(1, 1).data().toString(), QStringLiteral("Edited"));
    QCOMPARE(m_main->listModel()->recordPosition(1), 1);
}
