#include <cerrno>

#include <QAbstractButton>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "mainwindow/SearchPage.h"
#include "store/StoreIo.h"
#include "tests/support/MainWindowHarness.h"

// Fails every write while armed, after putting down half of it.
class FailingWrites : public StoreIo
{
public:
    bool armed = false;
    int failed = 0;
    int failSyncAt = 0; // fail the Nth fsync from now; 0 for none
    int syncs = 0;
    int fsync(int fd) override
    {
        if (failSyncAt && ++syncs == failSyncAt) {
            errno = EIO;
            return -1;
        }
        return StoreIo::fsync(fd);
    }
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
    void init()
    {
        setUpHarness();
        m_faults = FailingWrites();
    }
    void cleanup() { tearDownHarness(); }
    void failedSaveRemembersWhatIsOnDisk();
    void failedAddKeepsTheBoxes();
    void unconfirmedDeletionIsNoFailure();

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

// The rename went through but the folder could not be synced: the contact is
// gone, and the page must not offer to delete "it" again.
void TestSaveFaults::unconfirmedDeletionIsNoFailure()
{
    writeData(datafiles::numbered(1, 3));
    m_io = &m_faults;
    makeWindow();
    child<QRadioButton>("OptName3")->click();
    child<QLineEdit>("Text27")->setText(QStringLiteral("N2"));
    child<QAbstractButton>("CmdSearch3")->click();
    QCOMPARE(m_main->deletePage()->SelectedRecord(), 2);
    m_boxes.reset();
    m_boxes.answers = {ModalBoxes::AnswerYes};
    m_faults.failSyncAt = 2; // the copy's sync passes, the folder's fails
    child<QAbstractButton>("CmdDelete")->click();
    QCOMPARE(data(), datafiles::numbered(1, 1) + datafiles::numbered(3, 3));
    QCOMPARE(m_boxes.shown.size(), 2);
    QCOMPARE(m_boxes.shown[1].icon, ModalBoxes::Exclamation);
    QCOMPARE(m_main->deletePage()->SelectedRecord(), 0);
}

QTEST_MAIN(TestSaveFaults)
#include "tst_savefaults.moc"
