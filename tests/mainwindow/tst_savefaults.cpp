#include <cerrno>

#include <QAbstractButton>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "MainWindowHarness.h"
#include "SearchPage.h"
#include "StoreIo.h"

// Fails every write while armed, after putting down half of it.
class FailingWrites : public StoreIo
{
public:
    bool armed = false;
    int failed = 0;
    ssize_t pwrite(int fd, const void *buf, size_t n, off_t off) override
    {
        if (!armed)
            return StoreIo::pwrite(fd, buf, n, off);
        ++failed;
        if (n > 1)
            StoreIo::pwrite(fd, buf, n / 2, off);
        errno = ENOSPC;
        return -1;
    }
};

// The windows work on the store they are given, so its faults reach the pages.
class TestSaveFaults : public QObject, protected MainWindowHarness
{
    Q_OBJECT
private slots:
    void init() { setUpHarness(); }
    void cleanup() { tearDownHarness(); }
    void failedSaveRemembersWhatIsOnDisk();
    void failedAddKeepsTheBoxes();

private:
    FailingWrites m_faults;
};

void TestSaveFaults::failedSaveRemembersWhatIsOnDisk()
{
    const QByteArray before = datafiles::numbered(1, 3);
    writeData(before);
    m_io = &m_faults;
    makeWindow();
    child<QRadioButton>("OptName2")->click();
    child<QLineEdit>("Text17")->setText(QStringLiteral("N2"));
    child<QAbstractButton>("CmdSearch2")->click();
    QCOMPARE(m_main->editPage()->SelectedRecord(), 2);
    const ContactRecord seen = m_main->editPage()->selectedBytes();

    m_faults.armed = true;
    child<QLineEdit>("Text21")->setText(QStringLiteral("Changed"));
    child<QAbstractButton>("CmdSave")->click();
    QVERIFY(m_faults.failed > 0);
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
    QCOMPARE(data(), before);
    QCOMPARE(m_main->editPage()->selectedBytes().toByteArray(), seen.toByteArray());

    // With the disk back, the same save goes through: the page still matches the file.
    m_faults.armed = false;
    m_boxes.reset();
    child<QAbstractButton>("CmdSave")->click();
    QVERIFY(m_boxes.shown.isEmpty());
    QCOMPARE(data().mid(156, 7), QByteArray("Changed"));
}

void TestSaveFaults::failedAddKeepsTheBoxes()
{
    writeData(datafiles::numbered(1, 2));
    m_io = &m_faults;
    makeWindow();
    child<QLineEdit>("Text1")->setText(QStringLiteral("Sara"));
    m_faults.armed = true;
    child<QAbstractButton>("cmdAdd")->click();
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(data(), datafiles::numbered(1, 2));
    // Nothing typed is lost, and the proposed number is still the next one.
    QCOMPARE(child<QLineEdit>("Text1")->text(), QStringLiteral("Sara"));
    QCOMPARE(child<QLineEdit>("Text5")->text(), QStringLiteral("3"));
}

QTEST_MAIN(TestSaveFaults)
#include "tst_savefaults.moc"
