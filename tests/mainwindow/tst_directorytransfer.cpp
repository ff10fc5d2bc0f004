#include <cerrno>

#include <QAbstractButton>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPrintPreviewWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "contacts/ContactExport.h"
#include "mainwindow/BackgroundWork.h"
#include "mainwindow/BidiText.h"
#include "mainwindow/ContactListModel.h"
#include "mainwindow/DirectoryTransfer.h"
#include "mainwindow/DuplicatesDialog.h"
#include "mainwindow/ImportDialog.h"
#include "mainwindow/ListMenu.h"
#include "store/StoreIo.h"
#include "tests/support/MainWindowHarness.h"

using datafiles::record;

namespace {

const QByteArray kCards = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:مريم احمدي\r\nN:احمدي;مريم;;;\r\n"
                          "TEL;TYPE=cell:09121234567\r\nTEL;TYPE=home:02188776655\r\n"
                          "EMAIL:maryam@example.org\r\nEND:VCARD\r\n"
                          "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:علي رضايي\r\nN:رضايي;علي;;;\r\n"
                          "TEL:02144332211\r\nEND:VCARD\r\n";

const QByteArray kOtherCard = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:کریمی;سارا;;;\r\n"
                              "TEL;TYPE=CELL:09351112233\r\nEND:VCARD\r\n";

// Writes every rename as failed: the disk refuses the new file.
class RefusingRename : public StoreIo
{
public:
    int rename(const QByteArray &, const QByteArray &) override
    {
        errno = EROFS;
        return -1;
    }
};

} // namespace

class TestDirectoryTransfer : public QObject, protected MainWindowHarness
{
    Q_OBJECT
private slots:
    void init() { setUpHarness(); }
    void cleanup() { tearDownHarness(); }
    void menuOnTheList();
    void importAsksThenWritesAsTheTool();
    void importRefusalsWriteNothing();
    void dropImportsFilesAndNamesTheOthers();
    void exportWritesTheToolsText();
    void printPreviewAndPdf();
    void longWorkShowsAProgressThatStops();
    void importQuestionSummarisesAndIsolates();
    void importLeavesDuplicatesOutUnlessAsked();
    void duplicatesDialogMergesChosenGroups();

private:
    QString file(const QString &name, const QByteArray &bytes)
    {
        QFile f(m_dir->filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(name));
        return f.fileName();
    }
    // The data file the tool makes of the same input on an empty folder.
    QByteArray toolImport(const QByteArray &cards)
    {
        QTemporaryDir other;
        ContactStore store(other.path());
        ContactImport job(
            store, [](const QString &) {}, [](const QString &) {});
        if (job.run({{QStringLiteral("x.vcf"), cards}}, ContactImport::Auto, false) != 0)
            qFatal("the tool refused the cards");
        return datafiles::read(other.path());
    }
    QAction *action(const char *name)
    {
        return m_main->listMenu()->menu()->findChild<QAction *>(name);
    }
};

void TestDirectoryTransfer::menuOnTheList()
{
    makeWindow();
    QMenu *menu = m_main->listMenu()->menu();
    QStringList texts;
    for (QAction *a : menu->actions())
        if (!a->isSeparator())
            texts << a->text();
    QCOMPARE(
        texts,
        QStringList({QStringLiteral("وارد کردن از فايل..."), QStringLiteral("ذخيره همه در فايل..."),
                     QStringLiteral("پيش نمايش چاپ..."), QStringLiteral("ذخيره به صورت PDF..."),
                     QStringLiteral("يافتن تکراري ها...")}));
    QCOMPARE(menu->layoutDirection(), Qt::RightToLeft);

    // The Menu key (a context menu request from the keyboard) and Shift+F10.
    auto *list = child<QTreeView>("l1");
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    QContextMenuEvent byKey(QContextMenuEvent::Keyboard, QPoint(5, 5));
    QApplication::sendEvent(list->viewport(), &byKey);
    QTRY_VERIFY(menu->isVisible());
    menu->hide();
    m_main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    QTRY_VERIFY(menu->isVisible());
    menu->hide();

    // The import item asks for vCard and CSV files, several at once.
    action("mnuImport")->trigger();
    QCOMPARE(m_fileDialogs.shown.size(), 1);
    QVERIFY(m_fileDialogs.shown[0].filter.contains(QLatin1String("*.vcf *.vcard *.csv")));
}

void TestDirectoryTransfer::importAsksThenWritesAsTheTool()
{
    makeWindow();
    const QString cards = file(QStringLiteral("phone.vcf"), kCards);
    m_fileDialogs.manyAnswers << QStringList{cards} << QStringList{cards};

    // Cancel: nothing is written, not even an empty data file.
    const QByteArray before = data();
    QString count, report;
    m_boxes.onDialog = [&](QDialog &d) {
        auto &dialog = static_cast<ImportDialog &>(d);
        count = dialog.countText();
        report = dialog.reportText();
        d.reject();
    };
    action("mnuImport")->trigger();
    QCOMPARE(data(), before);
    QVERIFY2(count.contains(QStringLiteral("2 مخاطب افزوده")), qPrintable(count));
    QVERIFY(count.contains(QStringLiteral("2 مخاطب خواهد")));
    // The e-mail has no room in a record: the tool's loss line says so.
    QVERIFY2(report.contains(QLatin1String("phone.vcf:")) &&
                 report.contains(QLatin1String("EMAIL")),
             qPrintable(report));

    // Confirm: the tool's exact bytes, the list rebuilt, the next number.
    m_boxes.onDialog = [](QDialog &d) { d.accept(); };
    action("mnuImport")->trigger();
    QCOMPARE(data(), toolImport(kCards));
    QCOMPARE(m_main->listModel()->rowCount(), 2);
    QCOMPARE(child<QLineEdit>("Text5")->text(), QStringLiteral("3"));
    QCOMPARE(m_boxes.shown.size(), 0);
}

void TestDirectoryTransfer::importRefusalsWriteNothing()
{
    // A full directory: the counts are named and nothing is written.
    makeWindow();
    ContactRecord r;
    writeData(QByteArray(r.data(), ContactRecord::Size).repeated(ContactStore::MaxRecords));
    const QByteArray full = data();
    m_boxes.onDialog = [](QDialog &d) { d.accept(); };
    m_main->transfer()->importFiles({file(QStringLiteral("a.vcf"), kCards)});
    QCOMPARE(m_boxes.dialogs.size(), 0);
    QCOMPARE(m_boxes.shown.size(), 1);
    QVERIFY(m_boxes.shown[0].text.contains(QString::number(ContactStore::MaxRecords)));
    QCOMPARE(data(), full);

    // A file that is no contact file names itself and its line.
    m_boxes.reset();
    m_main->transfer()->importFiles(
        {file(QStringLiteral("broken.vcf"), "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:x\r\n")});
    QCOMPARE(m_boxes.shown.size(), 1);
    QVERIFY2(m_boxes.shown[0].text.contains(QLatin1String("broken.vcf:")),
             qPrintable(m_boxes.shown[0].text));
    QCOMPARE(data(), full);

    // Another writer changes the file while the question is up: the numbers
    // would be wrong, so nothing is written and the user is told.
    m_boxes.reset();
    writeData({});
    m_boxes.onDialog = [this](QDialog &d) {
        writeData(toolImport(kCards));
        d.accept();
    };
    m_main->transfer()->importFiles({file(QStringLiteral("c.vcf"), kCards)});
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(data(), toolImport(kCards));

    // A disk that refuses the write: the message, and the file as it was.
    tearDownHarness();
    setUpHarness();
    RefusingRename refusing;
    m_io = &refusing;
    makeWindow();
    writeData(datafiles::numbered(1, 2)); // none of them in the cards: all would be added
    const QByteArray two = data();
    m_boxes.onDialog = [](QDialog &d) { d.accept(); };
    m_main->transfer()->importFiles({file(QStringLiteral("b.vcf"), kOtherCard)});
    QCOMPARE(m_boxes.dialogs.size(), 1);
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
    QCOMPARE(data(), two);
}

void TestDirectoryTransfer::dropImportsFilesAndNamesTheOthers()
{
    makeWindow();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    const QString cards = file(QStringLiteral("drop.VCF"), kCards);
    const QString other = file(QStringLiteral("notes.txt"), "x");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(cards), QUrl::fromLocalFile(other)});
    // Onto a box that takes text drops of its own: the files still win.
    auto *box = child<QLineEdit>("Text1");
    const QPoint at = box->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &enter);
    QVERIFY(enter.isAccepted());
    m_boxes.onDialog = [](QDialog &d) { d.accept(); };
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &drop);
    QVERIFY(box->text().isEmpty());
    QTRY_COMPARE(m_boxes.dialogs.size(), 1);
    QCOMPARE(m_boxes.shown.size(), 1);
    QVERIFY(m_boxes.shown[0].text.contains(QLatin1String("notes.txt")));
    QVERIFY(!m_boxes.shown[0].text.contains(QLatin1String("drop.VCF")));
    QCOMPARE(data(), toolImport(kCards));
}

void TestDirectoryTransfer::exportWritesTheToolsText()
{
    makeWindow();
    writeData(toolImport(kCards));
    for (int type = 0; type < 3; ++type) {
        const QString target = m_dir->filePath(QStringLiteral("out%1").arg(type));
        file(QStringLiteral("out%1").arg(type), "old");
        m_fileDialogs.saveAnswers << FileDialogs::Saved{target, type};
        action("mnuExport")->trigger();
        QByteArray expected;
        QList<ExportWarning> warnings;
        const ContactExport::Format formats[] = {ContactExport::Vcard4, ContactExport::Vcard3,
                                                 ContactExport::Csv};
        QVERIFY(!ContactExport::run(*m_store, formats[type], expected, warnings));
        QFile written(target);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), expected);
    }
    // A new file is the user's alone, as the data file is; an old one keeps
    // its permissions.
    QFile::setPermissions(m_dir->filePath(QStringLiteral("out0")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    const QString fresh = m_dir->filePath(QStringLiteral("fresh.vcf"));
    m_fileDialogs.saveAnswers << FileDialogs::Saved{fresh, 0}
                              << FileDialogs::Saved{m_dir->filePath(QStringLiteral("out0")), 0};
    action("mnuExport")->trigger();
    action("mnuExport")->trigger();
    const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    QCOMPARE(QFileInfo(fresh).permissions() & others, QFileDevice::Permissions());
    QCOMPARE(QFileInfo(m_dir->filePath(QStringLiteral("out0"))).permissions() & others,
             QFile::ReadOther);
    QCOMPARE(m_fileDialogs.saveFilters.size(), 5);
    QCOMPARE(m_fileDialogs.saveFilters[0].size(), 3);
    QCOMPARE(m_boxes.shown.size(), 0);

    // A folder that is not there: the message names the file.
    const QString nowhere = m_dir->filePath(QStringLiteral("no/such/out.vcf"));
    m_fileDialogs.saveAnswers << FileDialogs::Saved{nowhere, 0};
    action("mnuExport")->trigger();
    QCOMPARE(m_boxes.shown.size(), 1);
    QVERIFY(m_boxes.shown[0].text.contains(QLatin1String("no/such/out.vcf")));
    QVERIFY(!QFile::exists(nowhere));
}

void TestDirectoryTransfer::printPreviewAndPdf()
{
    makeWindow();
    writeData(toolImport(kCards));
    int pages = 0;
    m_boxes.onDialog = [&](QDialog &d) {
        auto *preview = d.findChild<QPrintPreviewWidget *>();
        QVERIFY(preview);
        preview->updatePreview();
        pages = preview->pageCount();
    };
    action("mnuPreview")->trigger();
    QCOMPARE(m_boxes.dialogs, QStringList{QStringLiteral("پيش نمايش چاپ")});
    QCOMPARE(pages, 1);

    // The PDF replaces an older file whole; a folder that is not there is
    // named and nothing is made.
    const QString pdf = file(QStringLiteral("list.pdf"), "old");
    m_fileDialogs.saveAnswers << FileDialogs::Saved{pdf, 0};
    action("mnuPdf")->trigger();
    QFile written(pdf);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().startsWith("%PDF-"));
    const QString nowhere = m_dir->filePath(QStringLiteral("no/such/list.pdf"));
    m_fileDialogs.saveAnswers << FileDialogs::Saved{nowhere, 0};
    action("mnuPdf")->trigger();
    QCOMPARE(m_boxes.shown.size(), 1);
    QVERIFY(m_boxes.shown[0].text.contains(QLatin1String("no/such/list.pdf")));
    QVERIFY(!QFile::exists(nowhere));
}

void TestDirectoryTransfer::longWorkShowsAProgressThatStops()
{
    makeWindow();
    m_main->show();
    // The window's timer goes on while the work runs.
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    QTimer cancel;
    connect(&cancel, &QTimer::timeout, [&] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *p = qobject_cast<QProgressDialog *>(w); p && p->isVisible()) {
                // The window under it takes no clicks meanwhile.
                QTest::mouseClick(child<QAbstractButton>("cmdDisplay"), Qt::LeftButton);
                QTest::mouseClick(p->findChild<QPushButton *>(), Qt::LeftButton);
            }
    });
    cancel.start(50);
    bool listed = false;
    connect(child<QAbstractButton>("cmdDisplay"), &QAbstractButton::clicked,
            [&] { listed = true; });
    const bool finished = BackgroundWork::run(m_main.get(), QStringLiteral("..."), [](auto &c) {
        QDeadlineTimer hang(30000);
        while (!c.stop && !hang.hasExpired())
            QThread::msleep(5);
    });
    QVERIFY(!finished);
    QVERIFY(ticks > 0);
    QVERIFY(!listed);
}

QTEST_MAIN(TestDirectoryTransfer)
#include "tst_directorytransfer.moc"

void TestDirectoryTransfer::importQuestionSummarisesAndIsolates()
{
    makeWindow();
    // A phone's export: an international mobile, a telephone with its area
    // code, and a name carrying a right-to-left override and an isolate that
    // is never closed.
    const QByteArray cards =
        QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nN:\u202Eنادری\u2067;سارا;;;\r\n"
                       "TEL;TYPE=CELL:+98 912 765 4321\r\nTEL;TYPE=HOME:021-6601 2345\r\n"
                       "NOTE:دفتر 021-6601 داخلی 5\r\nEND:VCARD\r\n")
            .toUtf8();
    QString summary, report;
    bool foldedAtFirst = false, unfoldedOnClick = false;
    m_boxes.onDialog = [&](QDialog &d) {
        auto &dialog = static_cast<ImportDialog &>(d);
        summary = dialog.summaryText();
        report = dialog.reportText();
        auto *details = dialog.findChild<QPlainTextEdit *>(QStringLiteral("txtReport"));
        foldedAtFirst = !dialog.detailsShown() && details->isHidden();
        dialog.findChild<QToolButton *>(QStringLiteral("cmdDetails"))->click();
        unfoldedOnClick = dialog.detailsShown() && !details->isHidden();
        d.reject();
    };
    m_main->transfer()->importFiles({file(QStringLiteral("phone.vcf"), cards)});
    QVERIFY(foldedAtFirst);
    QVERIFY(unfoldedOnClick);

    // The summary counts by kind; its numbers read in their own order.
    QVERIFY2(summary.contains(QStringLiteral("\u20660098\u2069")) &&
                 summary.contains(QStringLiteral("\u2066021\u2069")),
             qPrintable(summary));
    QCOMPARE(BidiText::isolated(QStringLiteral("تلفن: 021-6601 و 0912")),
             QStringLiteral("تلفن: \u2066021-6601\u2069 و \u20660912\u2069"));

    // The imported controls are shown, not obeyed.
    for (const QString &text : {summary, report}) {
        QVERIFY(!text.contains(u'\u202E') && !text.contains(u'\u2067'));
        for (const QString &line : text.split(u'\n')) {
            int open = 0;
            for (const QChar c : line) {
                if (c == u'\u2066' || c == u'\u2068')
                    ++open;
                else if (c == u'\u2069')
                    QVERIFY2(--open >= 0, qPrintable(line));
            }
            QVERIFY2(open == 0, qPrintable(line));
        }
    }
    QVERIFY2(report.contains(QLatin1String("U+202E")) && report.contains(QLatin1String("U+2067")),
             qPrintable(report));
}

void TestDirectoryTransfer::importLeavesDuplicatesOutUnlessAsked()
{
    makeWindow();
    const QString cards = file(QStringLiteral("phone.vcf"), kCards);
    m_boxes.onDialog = [](QDialog &d) { d.accept(); };
    m_main->transfer()->importFiles({cards});
    const QByteArray once = data();
    QCOMPARE(once, toolImport(kCards));

    // Again: nothing to add, and the question says why and offers the box.
    QString count, summary;
    bool offered = false;
    m_boxes.onDialog = [&](QDialog &d) {
        auto &dialog = static_cast<ImportDialog &>(d);
        auto *box = dialog.findChild<QCheckBox *>(QStringLiteral("chkDuplicates"));
        offered = !box->isHidden() && !box->isChecked();
        count = dialog.countText();
        summary = dialog.summaryText();
        d.accept();
    };
    m_main->transfer()->importFiles({cards});
    QVERIFY(offered);
    QVERIFY2(count.startsWith(QStringLiteral("0 مخاطب")), qPrintable(count));
    QVERIFY2(summary.contains(QStringLiteral("\u20662\u2069 مخاطب")), qPrintable(summary));
    QCOMPARE(data(), once);

    // Asked for: the duplicates go in after all, counted in the question.
    m_boxes.onDialog = [&](QDialog &d) {
        auto &dialog = static_cast<ImportDialog &>(d);
        dialog.findChild<QCheckBox *>(QStringLiteral("chkDuplicates"))->setChecked(true);
        count = dialog.countText();
        d.accept();
    };
    m_main->transfer()->importFiles({cards});
    QVERIFY2(count.startsWith(QStringLiteral("2 مخاطب")), qPrintable(count));
    QCOMPARE(data().size(), 4 * ContactRecord::Size);
    QCOMPARE(data().left(2 * ContactRecord::Size), once);
    QCOMPARE(m_main->listModel()->rowCount(), 4);
}

void TestDirectoryTransfer::duplicatesDialogMergesChosenGroups()
{
    // One group that merges, one whose mobiles conflict.
    const QByteArray file =
        record("Ali", "Rezaei", "", "09121111111", 1) + record("Sara", "Karimi", "0211", "", 2) +
        record(" Ali", "Rezaei", "021234", "", 3) + record("Sara", "Karimi", "", "09122222222", 4) +
        record("Sara", "Karimi", "", "09123333333", 5);
    writeData(file);
    makeWindow();
    QList<std::pair<Qt::CheckState, bool>> groups; // shown state, can be chosen
    m_boxes.onDialog = [&](QDialog &d) {
        groups.clear();
        auto *list = d.findChild<QTreeWidget *>(QStringLiteral("lstGroups"));
        for (int g = 0; g < list->topLevelItemCount(); ++g) {
            const QTreeWidgetItem *item = list->topLevelItem(g);
            groups.append({item->checkState(0), bool(item->flags() & Qt::ItemIsUserCheckable)});
        }
        d.reject();
    };
    action("mnuDuplicates")->trigger();
    QCOMPARE(groups.size(), 2);
    QCOMPARE(groups[0], std::make_pair(Qt::Checked, true));
    QCOMPARE(groups[1], std::make_pair(Qt::Unchecked, false));
    QCOMPARE(data(), file); // cancelled

    // Another writer in between: the merge is refused and its change stays.
    const QByteArray changed = file + record("New", "", "", "", 6);
    m_boxes.onDialog = [&](QDialog &d) {
        writeData(changed);
        d.accept();
    };
    action("mnuDuplicates")->trigger();
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
    QCOMPARE(data(), changed);

    // Merged: the first record filled from the second, which goes; the
    // conflicting group untouched; the list rebuilt.
    writeData(file);
    m_boxes.onDialog = [](QDialog &d) { d.accept(); };
    action("mnuDuplicates")->trigger();
    QCOMPARE(data(), record("Ali", "Rezaei", "021234", "09121111111", 1) + file.mid(156, 156) +
                         file.mid(3 * 156));
    QCOMPARE(m_main->listModel()->rowCount(), 4);
}
