#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/DesktopLauncher.h"
#include "platform/JalaliTodayDate.h"
#include "platform/NoRegistry.h"
#include "platform/QtModalBoxes.h"
#include "platform/Translations.h"

class TestPlatform : public QObject
{
    Q_OBJECT
private slots:
    void jalaliDate_data();
    void jalaliDate();
    void messageBoxShowsWhatItWasGiven();
    void boxButtonsSpeakPersian();
    void startingProgramsNeedsNoShell();
    void noRegistryFindsNothing();
};

void TestPlatform::jalaliDate_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("weekday");
    QTest::addColumn<int>("day");
    QTest::addColumn<QString>("month");
    QTest::addColumn<int>("year");
    QTest::newRow("16 Azar 1405") << QDate(2026, 12, 7) << "دوشنبه" << 16 << "آذر" << 1405;
    QTest::newRow("new year") << QDate(2026, 3, 21) << "شنبه" << 1 << "فروردین" << 1405;
    QTest::newRow("last day of the year") << QDate(2026, 3, 20) << "جمعه" << 29 << "اسفند" << 1404;
}

void TestPlatform::jalaliDate()
{
    QFETCH(QDate, date);
    QFETCH(QString, weekday);
    QFETCH(int, day);
    QFETCH(QString, month);
    QFETCH(int, year);
    JalaliTodayDate today(date);
    QCOMPARE(today.WeekdayName(), weekday);
    QCOMPARE(today.Day(), day);
    QCOMPARE(today.MonthName(), month);
    QCOMPARE(today.Year(), year);
}

void TestPlatform::messageBoxShowsWhatItWasGiven()
{
    // Answer the real box from inside its own event loop.
    QString title, text;
    Qt::LayoutDirection direction = Qt::LeftToRight;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        direction = box->layoutDirection();
        icon = box->icon();
        QCOMPARE(static_cast<QAbstractButton *>(box->defaultButton()),
                 box->button(QMessageBox::Yes));
        box->button(QMessageBox::No)->click();
    });
    QtModalBoxes boxes;
    const auto answer =
        boxes.message(nullptr, QStringLiteral("حذف شود؟"), QStringLiteral("حذف"),
                      ModalBoxes::Question, ModalBoxes::YesNo, ModalBoxes::AnswerYes);
    QCOMPARE(answer, ModalBoxes::AnswerNo);
    QCOMPARE(title, QStringLiteral("حذف"));
    QCOMPARE(text, QStringLiteral("حذف شود؟"));
    QCOMPARE(direction, Qt::RightToLeft);
    QCOMPARE(icon, QMessageBox::Question);
}

void TestPlatform::boxButtonsSpeakPersian()
{
    QVERIFY(Translations::install());
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.button(QMessageBox::Yes)->text().remove(u'&'), QStringLiteral("بله"));

    // The boxes the program shows carry no shortcut marks, which would split the
    // joined letters, and still answer Enter and Esc.
    QStringList texts;
    QTimer::singleShot(0, [&] {
        auto *shown = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(shown);
        for (QAbstractButton *b : shown->buttons())
            texts << b->text();
        QTest::keyClick(shown, Qt::Key_Escape);
    });
    QtModalBoxes boxes;
    QCOMPARE(boxes.message(nullptr, QStringLiteral("حذف شود؟"), QStringLiteral("حذف"),
                           ModalBoxes::Question, ModalBoxes::YesNo, ModalBoxes::AnswerYes),
             ModalBoxes::AnswerNo);
    QCOMPARE(texts.size(), 2);
    QVERIFY(texts.contains(QStringLiteral("بله")));
    for (const QString &t : texts)
        QVERIFY2(!t.contains(u'&'), qPrintable(t));
    QTimer::singleShot(0,
                       [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return); });
    QCOMPARE(boxes.message(nullptr, QStringLiteral("حذف شود؟"), QStringLiteral("حذف"),
                           ModalBoxes::Question, ModalBoxes::YesNo, ModalBoxes::AnswerYes),
             ModalBoxes::AnswerYes);

    QString ok;
    QTimer::singleShot(0, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        for (QPushButton *b : dialog->findChildren<QPushButton *>())
            ok += b->text();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QVERIFY(!boxes.input(nullptr, QStringLiteral("ENTER FAMILY"), QStringLiteral("Halvex"), {}));
    QVERIFY(!ok.isEmpty());
    QVERIFY2(!ok.contains(u'&'), qPrintable(ok));
}

void TestPlatform::startingProgramsNeedsNoShell()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    DesktopLauncher launcher;
    QVERIFY(!launcher.startDetached(QString(), {}));
    QVERIFY(!launcher.startDetached(dir.filePath(QStringLiteral("missing")), {}));
    // A command line is not a program name: nothing may run it through a shell.
    const QString marker = dir.filePath(QStringLiteral("ran"));
    QVERIFY(!launcher.startDetached(QStringLiteral("true; touch ") + marker, {}));
    QVERIFY(!QFile::exists(marker));

    // Arguments reach the program as they are, spaces and semicolons included.
    const QString script = dir.filePath(QStringLiteral("tool"));
    QFile f(script);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nprintf '%s' \"$1\" > \"$2.tmp\" && mv \"$2.tmp\" \"$2\"\n");
    f.close();
    QVERIFY(f.setPermissions(f.permissions() | QFile::ExeOwner));
    QVERIFY(launcher.startDetached(script, {QStringLiteral("a b; c"), marker}));
    QTRY_VERIFY(QFile::exists(marker));
    QFile out(marker);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(out.readAll(), QByteArray("a b; c"));
}

void TestPlatform::noRegistryFindsNothing()
{
    NoRegistry registry;
    Registry::Key key = 42;
    QVERIFY(registry.openKey(Registry::LocalMachine, QStringLiteral("SOFTWARE"), 0,
                             Registry::ReadControlAndAllValueRights, key) != Registry::Success);
    QCOMPARE(key, Registry::Key(0));
    QByteArray data(16, '\0');
    quint32 type = Registry::None;
    quint32 size = 16;
    QVERIFY(registry.queryValue(key, QStringLiteral("PATH"), type, data, size) !=
            Registry::Success);
    QCOMPARE(data, QByteArray(16, '\0'));
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
