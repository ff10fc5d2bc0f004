#include <QAccessible>
#include <QAbstractButton>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "tests/support/MainWindowHarness.h"

// What a screen reader would say for each control the keyboard can reach.
class TestAccessibility : public QObject, protected MainWindowHarness
{
    Q_OBJECT
private slots:
    void init() { setUpHarness(); }
    void cleanup() { tearDownHarness(); }
    void everyFocusableControlHasAName();
    void boxesAreNamedByTheirLabels();
};

void TestAccessibility::everyFocusableControlHasAName()
{
    makeWindow();
    m_main->show();
    auto *tabs = child<QTabWidget>("SSTab1");
    QStringList unnamed;
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        const QList<QWidget *> widgets = m_main->findChildren<QWidget *>();
        for (QWidget *w : widgets) {
            if (!w->isVisible() || !(w->focusPolicy() & Qt::TabFocus))
                continue;
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
            QVERIFY(a);
            if (a->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << w->objectName();
        }
    }
    unnamed.removeDuplicates();
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u' ')));
}

void TestAccessibility::boxesAreNamedByTheirLabels()
{
    makeWindow();
    const auto name = [](QWidget *w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    };
    QCOMPARE(name(child<QLineEdit>("Text1")), QStringLiteral("نام"));
    QCOMPARE(name(child<QLineEdit>("Text22")), QStringLiteral("نام خانوادگي"));
    QCOMPARE(name(child<QLineEdit>("Text35")), QStringLiteral("(ID)شماره شناسايي"));
    QCOMPARE(name(child<QLineEdit>("TxtOldPass")), QStringLiteral("کلمه عبور قديم"));
    QCOMPARE(name(child<QLineEdit>("Txtpass2")), QStringLiteral("کلمه عبور جديد"));
    QCOMPARE(name(child<QLineEdit>("Text7")), QStringLiteral("کليد جستجو"));
    QCOMPARE(name(child<QAbstractButton>("CmdListTab")), QStringLiteral("ليست افراد"));
    QCOMPARE(child<QTabWidget>("SSTab1")->tabBar()->accessibleTabName(5),
             QStringLiteral("تنظيمات"));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
