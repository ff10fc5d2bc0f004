#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTreeView>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "mainwindow/FrmMain.h"
#include "mainwindow/SyncDialog.h"
#include "mainwindow/SyncKeyring.h"
#include "mainwindow/SyncSession.h"
#include "store/ContactStore.h"
#include "store/FileLock.h"
#include "sync/ServerCertificate.h"
#include "platform/NoRegistry.h"
#include "tests/support/DataFiles.h"
#include "tests/support/FixedTodayDate.h"
#include "tests/support/MemoryPasswordStore.h"
#include "tests/support/RecordingLauncher.h"
#include "tests/support/RecordingSoundPlayer.h"
#include "tests/support/ScriptedBoxes.h"
#include "tests/support/ScriptedFileDialogs.h"
#include "tests/sync/ScriptedAccount.h"
#include "tests/sync/SyncTestUtil.h"

using namespace synctest;

namespace {

constexpr int kHang = 30000; // only a hang is this slow

class MemoryKeyring : public SyncKeyring
{
public:
    bool available = true;
    QMap<QString, QString> kept;

    bool read(const QString &user, const QUrl &server, QString &password) override
    {
        if (!available || !kept.contains(user + server.host()))
            return false;
        password = kept[user + server.host()];
        return true;
    }
    bool write(const QString &user, const QUrl &server, const QString &password,
               QString &why) override
    {
        if (!available) {
            why = QStringLiteral("no keyring");
            return false;
        }
        kept[user + server.host()] = password;
        return true;
    }
};

// Without the direction isolates the window puts around left-to-right runs.
QString plain(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("[\u2066-\u2069]")));
}

template <typename T> T *child(QObject &parent, const char *name)
{
    T *found = parent.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

} // namespace

class TestSyncDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fieldsAndTheSavedAccount();
    void withoutAKeyringThePasswordIsAskedEachTime();
    void reportSummaryFirstDetailsFolded();
    void errorsAreSaidInPersian();
    void aBookIsChosenOrMade();
    void progressAndCancel();
    void twoSyncsNeverAtOnce();
    void automaticSync();
    void selfSignedCertificate();
    void fromTheListMenu();

private:
    std::unique_ptr<SyncSession> newSession();
    void fill(SyncDialog &d, const QString &url, const QString &user, const QString &password);
    void syncAndWait(SyncDialog &d);
    SyncAccount saved() const;
    QByteArray dataBytes() const;
    void addRecords(int n);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ContactStore> m_store;
    std::unique_ptr<ScriptedAccount> m_server;
    MemoryKeyring m_keyring;
    ScriptedBoxes m_boxes;
    std::unique_ptr<SyncSession> m_session;
};

void TestSyncDialog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<ContactStore>(ContactStore::atDataFolder(m_dir->path()));
    QVERIFY(!m_store->Open());
    m_server = std::make_unique<ScriptedAccount>();
    m_keyring = MemoryKeyring();
    m_boxes.reset();
    m_session = newSession();
}

void TestSyncDialog::cleanup()
{
    m_session.reset();
}

std::unique_ptr<SyncSession> TestSyncDialog::newSession()
{
    auto s = std::make_unique<SyncSession>(*m_store, m_boxes, m_keyring,
                                           m_dir->filePath(QStringLiteral("conf/sync.conf")));
    s->runner().setTransport(m_server->transport());
    s->runner().setWaitMs(50);
    return s;
}

void TestSyncDialog::fill(SyncDialog &d, const QString &url, const QString &user,
                          const QString &password)
{
    child<QLineEdit>(d, "txtUrl")->setText(url);
    child<QLineEdit>(d, "txtUser")->setText(user);
    child<QLineEdit>(d, "txtPassword")->setText(password);
}

void TestSyncDialog::syncAndWait(SyncDialog &d)
{
    child<QPushButton>(d, "cmdSync")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!d.syncing(), kHang);
}

SyncAccount TestSyncDialog::saved() const
{
    SyncAccount a;
    QString why;
    a.load(m_session->accountPath(), why);
    return a;
}

QByteArray TestSyncDialog::dataBytes() const
{
    QFile f(m_store->dataFilePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TestSyncDialog::addRecords(int n)
{
    std::vector<ContactRecord> rs;
    for (int i = 1; i <= n; ++i)
        rs.push_back(
            record(QStringLiteral("نام%1").arg(i), QStringLiteral("F"), {}, {}, qint16(i)));
    QVERIFY(!m_store->AppendRecords(rs));
}

void TestSyncDialog::fieldsAndTheSavedAccount()
{
    {
        SyncDialog d(*m_session);
        QCOMPARE(d.layoutDirection(), Qt::RightToLeft);
        QCOMPARE(child<QLineEdit>(d, "txtUrl")->accessibleName(), QStringLiteral("نشاني سرور"));
        QCOMPARE(child<QLineEdit>(d, "txtUser")->accessibleName(), QStringLiteral("نام کاربر"));
        auto *password = child<QLineEdit>(d, "txtPassword");
        QCOMPARE(password->accessibleName(), QStringLiteral("گذرواژه"));
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QCOMPARE(child<QCheckBox>(d, "chkKeyring")->text(),
                 QStringLiteral("گذرواژه در کليدستان نگه داشته شود"));
        auto *automatic = child<QCheckBox>(d, "chkAuto");
        QCOMPARE(automatic->text(),
                 QStringLiteral("هر 15 دقيقه خودکار همگام شود، تا وقتي برنامه باز است"));
        QVERIFY(!automatic->isChecked());
        QCOMPARE(child<QPushButton>(d, "cmdSync")->text(), QStringLiteral("همگام کن"));
        QCOMPARE(child<QPushButton>(d, "cmdClose")->text(), QStringLiteral("بستن"));

        // Not an address: said, and nothing saved.
        fill(d, QStringLiteral("ftp://x/"), QStringLiteral("u"), QStringLiteral("p"));
        syncAndWait(d);
        QCOMPARE(m_boxes.shown.size(), 1);
        QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
        QVERIFY(!QFile::exists(m_session->accountPath()));

        m_boxes.reset();
        fill(d, QStringLiteral("http://127.0.0.1:5232"), QStringLiteral("u"),
             QStringLiteral("s3cret-word"));
        automatic->setChecked(true);
        syncAndWait(d);
        QVERIFY2(m_boxes.shown.isEmpty(), qPrintable(m_boxes.shown.value(0).text));
        QVERIFY(password->text().isEmpty());
    }
    // The book found is the account's now, and the password is the keyring's only.
    const SyncAccount a = saved();
    QCOMPARE(a.url, ScriptedDav::book());
    QCOMPARE(a.user, QStringLiteral("u"));
    QVERIFY(a.autoSync);
    QFile file(m_session->accountPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!file.readAll().contains("s3cret-word"));
    QCOMPARE(m_keyring.kept.value(QStringLiteral("u127.0.0.1")), QStringLiteral("s3cret-word"));

    SyncDialog again(*m_session);
    QCOMPARE(child<QLineEdit>(again, "txtUrl")->text(), ScriptedDav::book().toString());
    QCOMPARE(child<QLineEdit>(again, "txtUser")->text(), QStringLiteral("u"));
    QVERIFY(child<QCheckBox>(again, "chkAuto")->isChecked());
    QVERIFY(child<QLineEdit>(again, "txtPassword")->text().isEmpty());
}

void TestSyncDialog::withoutAKeyringThePasswordIsAskedEachTime()
{
    m_keyring.available = false;
    addRecords(1);
    {
        SyncDialog d(*m_session);
        fill(d, ScriptedAccount::root().toString(), QStringLiteral("u"), QStringLiteral("p"));
        syncAndWait(d);
        QCOMPARE(m_boxes.shown.size(), 1);
        QVERIFY(m_boxes.shown[0].text.contains(QStringLiteral("کلیدستان")));
        QVERIFY(!child<QCheckBox>(d, "chkKeyring")->isChecked());
        QCOMPARE(m_server->dav.cards().size(), 1);
        // While the program runs, the password typed is not asked again.
        m_boxes.reset();
        syncAndWait(d);
        QVERIFY(m_boxes.shown.isEmpty());
    }
    // The next run of the program asks for it.
    m_session = newSession();
    SyncDialog d(*m_session);
    const size_t asked = m_server->dav.requests.size();
    syncAndWait(d);
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].text, QStringLiteral("گذرواژه را بنویسید."));
    QCOMPARE(m_server->dav.requests.size(), asked);
}

void TestSyncDialog::reportSummaryFirstDetailsFolded()
{
    addRecords(2);
    m_server->dav.put(QStringLiteral("x.vcf"),
                      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Reza\r\nN:;Reza;;;\r\nTEL:0912\r\n"
                      "TEL;TYPE=WORK:021\r\nTEL;TYPE=HOME:022\r\nEMAIL:r@example.org\r\n"
                      "END:VCARD\r\n");
    SyncDialog d(*m_session);
    fill(d, ScriptedDav::book().toString(), QStringLiteral("u"), QStringLiteral("p"));
    syncAndWait(d);
    const QStringList summary = d.summaryText().split(u'\n');
    QCOMPARE(summary.size(), 6);
    // The address is isolated from the Persian around it.
    QCOMPARE(plain(summary[0]),
             QStringLiteral("همگام شد با %1").arg(ScriptedDav::book().toString()));
    QVERIFY(summary[0] != plain(summary[0]));
    QCOMPARE(summary.mid(1),
             (QStringList{QStringLiteral("• فرستاده به سرور: 2"),
                          QStringLiteral("• دریافت از سرور: 1"), QStringLiteral("• تغییر: 0"),
                          QStringLiteral("• حذف: 0"), QStringLiteral("• ناسازگاری: 0")}));
    QVERIFY2(plain(d.reportText()).contains(QStringLiteral("/u/book/x.vcf")),
             qPrintable(d.reportText()));
    auto *details = child<QToolButton>(d, "cmdDetails");
    auto *report = child<QWidget>(d, "txtReport");
    QVERIFY(!details->isHidden());
    QVERIFY(report->isHidden());
    details->click();
    QVERIFY(!report->isHidden());
    QCOMPARE(records(*m_store).size(), size_t(3));

    // With nothing to tell, there is nothing to unfold.
    syncAndWait(d);
    QVERIFY(details->isHidden());
    QVERIFY(report->isHidden());
}

void TestSyncDialog::errorsAreSaidInPersian()
{
    SyncDialog d(*m_session);
    m_server->refuseLogin = true;
    fill(d, ScriptedAccount::root().toString(), QStringLiteral("u"), QStringLiteral("wrong"));
    syncAndWait(d);
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
    QCOMPARE(m_boxes.shown[0].text, QStringLiteral("نام کاربر یا گذرواژه را سرور نپذیرفت."));
    // The wrong one is not tried again by itself.
    QVERIFY(m_session->password(QStringLiteral("u"), ScriptedAccount::root()).isEmpty());
    QVERIFY(saved().lastResultText().contains(QStringLiteral("ناموفق")));

    // Nobody at that address: the real client says so.
    m_boxes.reset();
    m_session->runner().setTransport(&AccountSync::network);
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closed = probe.serverPort();
    probe.close();
    fill(d, QStringLiteral("http://127.0.0.1:%1/").arg(closed), QStringLiteral("u"),
         QStringLiteral("p"));
    syncAndWait(d);
    QCOMPARE(m_boxes.shown.size(), 1);
    QVERIFY2(m_boxes.shown[0].text.startsWith(QStringLiteral("همگام‌سازی نشد:\n")),
             qPrintable(m_boxes.shown[0].text));
    QVERIFY(m_boxes.shown[0].text.size() > 20);
}

void TestSyncDialog::aBookIsChosenOrMade()
{
    addRecords(1);
    m_server->books = {QStringLiteral("office"), QStringLiteral("book")};
    SyncDialog d(*m_session);
    fill(d, ScriptedAccount::root().toString(), QStringLiteral("u"), QStringLiteral("p"));
    syncAndWait(d);
    auto *list = child<QListWidget>(d, "lstBooks");
    QVERIFY(!list->isHidden());
    QCOMPARE(list->count(), 2);
    QVERIFY(m_server->dav.cards().isEmpty());
    // The password typed goes into the keyring once a sync went through.
    QVERIFY(m_keyring.kept.isEmpty());
    list->setCurrentRow(1);
    syncAndWait(d);
    QVERIFY(list->isHidden());
    QCOMPARE(m_server->dav.cards().size(), 1);
    QCOMPARE(m_keyring.kept.value(QStringLiteral("u127.0.0.1")), QStringLiteral("p"));
    QCOMPARE(saved().url, ScriptedDav::book());

    // No book at all: asked, and made only on yes.
    m_session = newSession();
    QTemporaryDir other;
    m_store = std::make_unique<ContactStore>(ContactStore::atDataFolder(other.path()));
    QVERIFY(!m_store->Open());
    m_session = newSession();
    m_server->books.clear();
    SyncDialog fresh(*m_session);
    fill(fresh, ScriptedAccount::root().toString(), QStringLiteral("u"), QStringLiteral("p"));
    m_boxes.answers = {ModalBoxes::AnswerNo};
    syncAndWait(fresh);
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Question);
    QVERIFY(m_boxes.shown[0].text.contains(QStringLiteral("«Halvex»")));
    QVERIFY(m_server->mkcols.empty());
    m_boxes.reset();
    m_boxes.answers = {ModalBoxes::AnswerYes};
    child<QPushButton>(fresh, "cmdSync")->click();
    QTRY_VERIFY_WITH_TIMEOUT(m_server->books.contains(QStringLiteral("halvex")), kHang);
    QTRY_VERIFY_WITH_TIMEOUT(!fresh.syncing(), kHang);
    QCOMPARE(m_server->mkcols.size(), size_t(1));
    QCOMPARE(saved().url.path(), QStringLiteral("/u/halvex/"));
    m_session.reset();
}

void TestSyncDialog::progressAndCancel()
{
    addRecords(60);
    const QByteArray before = dataBytes();
    QSemaphore held;
    int slices = 0;
    // The second slice of writes waits until the test lets it go.
    m_server->beforeWrites = [&](const std::vector<DavRequest> &) {
        if (++slices == 2)
            held.acquire();
    };
    QWidget window;
    window.setWindowTitle(QStringLiteral("Halvex"));
    SyncDialog d(*m_session, &window);
    fill(d, ScriptedDav::book().toString(), QStringLiteral("u"), QStringLiteral("p"));
    child<QPushButton>(d, "cmdSync")->click();
    QProgressDialog *progress = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(
        (progress = d.findChild<QProgressDialog *>(QStringLiteral("progress"))), kHang);
    QTRY_VERIFY_WITH_TIMEOUT(progress->isVisible(), kHang);
    QTRY_COMPARE_WITH_TIMEOUT(progress->labelText(),
                              QStringLiteral("همگام‌سازی با سرور: 24 از 60"),
                              kHang);
    // The window stays usable meanwhile.
    QCOMPARE(progress->windowModality(), Qt::NonModal);
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(d.syncing());
    const auto buttons = progress->findChildren<QPushButton *>();
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(buttons[0]->text(), QStringLiteral("انصراف"));
    buttons[0]->click();
    held.release();
    QTRY_VERIFY_WITH_TIMEOUT(!d.syncing(), kHang);
    QVERIFY(d.summaryText().contains(QStringLiteral("متوقف")));
    QCOMPARE(dataBytes(), before);
    QCOMPARE(m_server->dav.cards().size(), 48);
    QVERIFY(!d.findChild<QProgressDialog *>(QStringLiteral("progress")));

    // The next sync finishes the job.
    m_server->beforeWrites = nullptr;
    syncAndWait(d);
    QCOMPARE(m_server->dav.cards().size(), 60);
    QCOMPARE(dataBytes(), before);
}

void TestSyncDialog::twoSyncsNeverAtOnce()
{
    addRecords(3);
    // Another sync (the timer's) holds the data file: the window waits its
    // turn without a word.
    FileLock held;
    QVERIFY(!m_store->LockForSync(held));
    int waits = 0;
    connect(&m_session->runner(), &SyncRunner::waiting, this, [&] {
        if (++waits == 2)
            held.unlock();
    });
    SyncDialog d(*m_session);
    fill(d, ScriptedDav::book().toString(), QStringLiteral("u"), QStringLiteral("p"));
    syncAndWait(d);
    QVERIFY(waits >= 2);
    QVERIFY(m_boxes.shown.isEmpty());
    QCOMPARE(m_server->dav.cards().size(), 3);

    // The automatic sync and the dialog's, asked together, take turns.
    int ended = 0;
    const AccountSync::Request request{saved(), QStringLiteral("p"), false};
    m_session->run(request, nullptr, [&](const AccountSync::Outcome &) { ++ended; });
    m_session->run(request, nullptr, [&](const AccountSync::Outcome &) { ++ended; });
    QTRY_COMPARE_WITH_TIMEOUT(ended, 2, kHang);
    QCOMPARE(m_server->mostAtOnce.load(), 1);
}

void TestSyncDialog::automaticSync()
{
    // Off by default.
    m_session->start(nullptr);
    QVERIFY(!m_session->timer().isActive());

    addRecords(2);
    SyncAccount a;
    a.url = ScriptedDav::book();
    a.user = QStringLiteral("u");
    a.autoSync = true;
    QString why;
    QVERIFY(a.save(m_session->accountPath(), why));
    QString dummy;
    m_keyring.write(a.user, a.url, QStringLiteral("p"), dummy);
    m_session = newSession();
    QStringList statuses;
    connect(m_session.get(), &SyncSession::statusChanged, this,
            [&](const QString &s) { statuses << s; });
    QWidget window;
    m_session->start(&window);
    QVERIFY(m_session->timer().isActive());
    QCOMPARE(m_session->timer().interval(), 15 * 60 * 1000);
    QTRY_COMPARE_WITH_TIMEOUT(statuses.size(), 1, kHang);
    QVERIFY(statuses[0].startsWith(QStringLiteral("آخرين همگام سازي: ")));
    QCOMPARE(m_server->dav.cards().size(), 2);
    QVERIFY(m_boxes.shown.isEmpty());

    // A tick that fails says so, in a box and on the status line.
    m_server->refuseLogin = true;
    m_session->syncQuietly();
    QTRY_COMPARE_WITH_TIMEOUT(m_boxes.shown.size(), 1, kHang);
    QCOMPARE(m_boxes.shown[0].icon, ModalBoxes::Critical);
    QVERIFY(m_session->status().contains(QStringLiteral("ناموفق")));

    // Turned off in the dialog, it stops.
    m_server->refuseLogin = false;
    SyncDialog d(*m_session);
    child<QCheckBox>(d, "chkAuto")->setChecked(false);
    syncAndWait(d);
    QVERIFY(!m_session->timer().isActive());
    QVERIFY(!saved().autoSync);
}

void TestSyncDialog::selfSignedCertificate()
{
    RadicaleServer server(true);
    QString why;
    if (!server.start(why))
        QSKIP(qPrintable(why));
    addRecords(1);
    m_session->runner().setTransport(&AccountSync::network);
    SyncDialog d(*m_session);
    fill(d, server.root().toString(), QString::fromLatin1(RadicaleServer::User),
         QString::fromLatin1(RadicaleServer::Password));
    const QString fingerprint =
        ServerCertificate::fingerprint(QSslCertificate::fromPath(server.caFile()).value(0));
    // Declined: nothing is trusted or sent.
    m_boxes.answers = {ModalBoxes::AnswerNo};
    syncAndWait(d);
    QCOMPARE(m_boxes.shown.size(), 1);
    QVERIFY2(m_boxes.shown[0].text.contains(fingerprint), qPrintable(m_boxes.shown[0].text));
    QVERIFY(saved().certificate.isEmpty());
    QVERIFY(server.cards().isEmpty());

    m_boxes.reset();
    m_boxes.answers = {ModalBoxes::AnswerYes};
    child<QLineEdit>(d, "txtPassword")->setText(QString::fromLatin1(RadicaleServer::Password));
    child<QPushButton>(d, "cmdSync")->click();
    QTRY_COMPARE_WITH_TIMEOUT(server.cards().size(), 1, kHang);
    QTRY_VERIFY_WITH_TIMEOUT(!d.syncing(), kHang);
    QCOMPARE(m_boxes.shown.size(), 1);
    QCOMPARE(
        ServerCertificate::fingerprint(QSslCertificate::fromData(saved().certificate).value(0)),
        fingerprint);
}

void TestSyncDialog::fromTheListMenu()
{
    QTemporaryDir dir;
    QByteArray two;
    for (int i = 1; i <= 2; ++i)
        two += record(QStringLiteral("N%1").arg(i), {}, {}, {}, qint16(i)).toByteArray();
    QVERIFY(datafiles::write(dir.path(), two));
    ContactStore store(dir.path());
    SyncSession session(store, m_boxes, m_keyring, dir.filePath(QStringLiteral("sync.conf")));
    session.runner().setTransport(m_server->transport());
    m_server->dav.put(QStringLiteral("x.vcf"),
                      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Reza\r\nN:;Reza;;;\r\nEND:VCARD\r\n");
    FixedTodayDate date;
    RecordingLauncher launcher;
    MemoryPasswordStore passwords;
    NoRegistry registry;
    RecordingSoundPlayer player;
    ScriptedFileDialogs fileDialogs;
    FrmMain main(FrmMainServices{store, m_boxes, date, launcher, passwords, registry, player,
                                 fileDialogs, &session});
    main.timer()->stop();
    QVERIFY(main.Form_Load());

    // The last item, after the others.
    const QList<QAction *> actions = child<QMenu>(main, "mnuList")->actions();
    QCOMPARE(actions.back()->objectName(), QStringLiteral("mnuSync"));
    QCOMPARE(actions.back()->text(), QStringLiteral("همگام سازي با سرور..."));
    QVERIFY(actions[actions.size() - 2]->isSeparator());
    QCOMPARE(actions[actions.size() - 3]->objectName(), QStringLiteral("mnuDuplicates"));

    actions.back()->trigger();
    actions.back()->trigger();
    const QList<SyncDialog *> open = main.findChildren<SyncDialog *>();
    QCOMPARE(open.size(), 1);
    SyncDialog &d = *open.front();
    QVERIFY(d.isVisible());
    QVERIFY(!d.isModal());
    fill(d, ScriptedDav::book().toString(), QStringLiteral("u"), QStringLiteral("p"));
    syncAndWait(d);
    QVERIFY2(m_boxes.shown.isEmpty(), qPrintable(m_boxes.shown.value(0).text));
    // The status line and the list follow.
    QVERIFY(
        child<QLabel>(main, "lblSync")->text().startsWith(QStringLiteral("آخرين همگام سازي: ")));
    QCOMPARE(child<QTreeView>(main, "l1")->model()->rowCount(), 3);
}

QTEST_MAIN(TestSyncDialog)
#include "tst_syncdialog.moc"
