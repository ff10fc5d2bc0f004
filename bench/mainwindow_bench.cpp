// The list page on a full file, against reading the file plus showing as many
// rows of a model that costs nothing.
#include <memory>

#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>

#include "contacts/ContactExport.h"
#include "contacts/ContactImport.h"
#include "mainwindow/ContactListModel.h"
#include "mainwindow/DirectoryTransfer.h"
#include "mainwindow/FrmMain.h"
#include "mainwindow/SearchPage.h"
#include "platform/FileDialogs.h"
#include "platform/Fonts.h"
#include "platform/JalaliTodayDate.h"
#include "platform/Launcher.h"
#include "platform/ModalBoxes.h"
#include "platform/NoRegistry.h"
#include "platform/PasswordStore.h"
#include "platform/SoundPlayer.h"
#include "store/ContactStore.h"

namespace {

constexpr int kRecords = 32767;

class SilentBoxes : public ModalBoxes
{
public:
    Answer message(QWidget *, const QString &, const QString &, Icon, Buttons,
                   Answer defaultAnswer) override
    {
        return defaultAnswer;
    }
    std::optional<QString> input(QWidget *, const QString &, const QString &,
                                 const QString &defaultText) override
    {
        return defaultText;
    }
    int exec(QDialog &) override { return 0; }
};

class NoLauncher : public Launcher
{
public:
    bool openUrl(const QUrl &) override { return true; }
    bool startDetached(const QString &, const QStringList &) override { return true; }
};

class NoPasswords : public PasswordStore
{
public:
    bool read(QString &value, QString &) override
    {
        value.clear();
        return true;
    }
    bool write(const QString &, QString &) override { return true; }
};

class NoSounds : public SoundPlayer
{
public:
    void playOnce(const QString &) override {}
    void playLoop(const QString &) override {}
    void playOnceAndWait(const QString &) override {}
    void beep() override {}
};

class NoFileDialogs : public FileDialogs
{
public:
    std::optional<QString> openFile(QWidget *, const QString &, const QString &,
                                    const QString &) override
    {
        return std::nullopt;
    }
    QStringList openFiles(QWidget *, const QString &, const QString &, const QString &) override
    {
        return {};
    }
    std::optional<Saved> saveFile(QWidget *, const QString &, const QString &,
                                  const QStringList &) override
    {
        return std::nullopt;
    }
};

class ConstantModel : public QAbstractTableModel
{
public:
    int rows = 0;
    void setRows(int n)
    {
        beginResetModel();
        rows = n;
        endResetModel();
    }
    int rowCount(const QModelIndex &p = {}) const override { return p.isValid() ? 0 : rows; }
    int columnCount(const QModelIndex &p = {}) const override { return p.isValid() ? 0 : 6; }
    QVariant data(const QModelIndex &, int role) const override
    {
        return role == Qt::DisplayRole ? QVariant(QStringLiteral("x")) : QVariant();
    }
};

struct Window
{
    QTemporaryDir dir;
    SilentBoxes boxes;
    JalaliTodayDate date;
    NoLauncher launcher;
    NoPasswords passwords;
    NoRegistry registry;
    NoSounds player;
    NoFileDialogs fileDialogs;
    std::unique_ptr<ContactStore> store;
    std::unique_ptr<FrmMain> main;
    QTreeView *view = nullptr;

    Window()
    {
        QDir(dir.path()).mkpath("File");
        QFile f(dir.path() + "/File/quorvel.dat");
        f.open(QIODevice::WriteOnly);
        for (int i = 1; i <= kRecords; ++i) {
            ContactRecord r;
            r.setText(ContactRecord::Name, QStringLiteral("Name%1").arg(i));
            r.setText(ContactRecord::Family, QStringLiteral("خانواده%1").arg(i));
            r.setText(ContactRecord::Phone, QStringLiteral("021%1").arg(i));
            r.setText(ContactRecord::Address, QStringLiteral("Street %1, Tehran").arg(i));
            r.setID(qint16(i));
            f.write(r.toByteArray());
        }
        f.close();
        store = std::make_unique<ContactStore>(dir.path());
        main = std::make_unique<FrmMain>(FrmMainServices{*store, boxes, date, launcher, passwords,
                                                         registry, player, fileDialogs});
        main->timer()->stop();
        main->Form_Load();
        main->findChild<QTabWidget *>("SSTab1")->setCurrentIndex(0);
        main->show();
        view = main->findChild<QTreeView *>("l1");
        QCoreApplication::processEvents();
    }
    void paint() { view->viewport()->repaint(); }
};

// Made on first use and gone before the application object: widgets must not
// outlive it.
std::unique_ptr<Window> g_window;

Window &window()
{
    if (!g_window)
        g_window = std::make_unique<Window>();
    return *g_window;
}

void BM_ListPage(benchmark::State &state)
{
    Window &w = window();
    w.view->setModel(w.main->listModel());
    auto *show = w.main->findChild<QAbstractButton *>("cmdDisplay");
    for (auto _ : state) {
        show->click();
        w.paint();
    }
    if (w.view->model()->rowCount() != kRecords)
        state.SkipWithError("rows missing");
}

void BM_ListFloor(benchmark::State &state)
{
    Window &w = window();
    ConstantModel model;
    w.view->setModel(&model);
    for (auto _ : state) {
        int n = 0;
        w.main->store().ReadAllRecords([&n](const ContactRecord &, qint64) { return ++n, true; });
        model.setRows(n);
        w.paint();
    }
    w.view->setModel(w.main->listModel());
}

// A heading clicked on the full list: family names by Persian collation,
// telephones by value.
void BM_ListSort(benchmark::State &state)
{
    Window &w = window();
    w.view->setModel(w.main->listModel());
    w.main->findChild<QAbstractButton *>("cmdDisplay")->click();
    ContactListModel *model = w.main->listModel();
    for (auto _ : state) {
        model->sort(int(state.range(0)), Qt::DescendingOrder);
        w.paint();
    }
    model->sort(-1);
}

// A name search whose only match is the last record.
void BM_Search(benchmark::State &state)
{
    Window &w = window();
    w.main->findChild<QRadioButton *>("optname")->setChecked(true);
    auto *key = w.main->findChild<QLineEdit *>("Text7");
    auto *shown = w.main->findChild<QLineEdit *>("Text11");
    key->setText(QStringLiteral("Name%1").arg(kRecords));
    for (auto _ : state) {
        shown->clear();
        w.main->searchPage()->search();
    }
    if (!shown->text().startsWith(QStringLiteral("Name%1").arg(kRecords)))
        state.SkipWithError("not found");
}

// The reference: reading every record of the same file.
void BM_ReadAll(benchmark::State &state)
{
    Window &w = window();
    for (auto _ : state) {
        qint64 sum = 0;
        w.main->store().ReadAllRecords(
            [&sum](const ContactRecord &r, qint64) { return sum += r.ID(), true; });
        benchmark::DoNotOptimize(sum);
    }
}

// The directory's 32767 contacts as one vCard file, and an empty folder to
// import them into.
struct Cards
{
    QTemporaryDir dir;
    QString file;
    QByteArray bytes;
    Cards() : file(dir.filePath("all.vcf"))
    {
        QList<ExportWarning> warnings;
        ContactExport::run(window().main->store(), ContactExport::Vcard4, bytes, warnings);
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    QString freshFolder() const
    {
        const QString into = dir.filePath("into");
        QDir(into).removeRecursively();
        return into;
    }
};

Cards &cards()
{
    static Cards c;
    return c;
}

// The tool's import of the same cards, as contacts_bench measures it.
void BM_ImportVcard(benchmark::State &state)
{
    const QList<ImportSource> sources{{QStringLiteral("all.vcf"), cards().bytes}};
    for (auto _ : state) {
        state.PauseTiming();
        ContactStore store = ContactStore::atDataFolder(cards().freshFolder());
        state.ResumeTiming();
        ContactImport job(
            store, [](const QString &) {}, [](const QString &) {});
        if (job.run(sources, ContactImport::Vcard, false) != 0)
            state.SkipWithError("import failed");
    }
}

// The window's import from the file, without the question: reading off the
// window's thread, the write, and the list shown again.
void BM_WindowImportVcard(benchmark::State &state)
{
    Window &w = window();
    for (auto _ : state) {
        state.PauseTiming();
        ContactStore store = ContactStore::atDataFolder(cards().freshFolder());
        FrmMain main(FrmMainServices{store, w.boxes, w.date, w.launcher, w.passwords, w.registry,
                                     w.player, w.fileDialogs});
        main.timer()->stop();
        main.show();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        const DirectoryTransfer::Prepared prepared = main.transfer()->prepareImport({cards().file});
        if (!prepared.ok || !main.transfer()->commitImport(prepared))
            state.SkipWithError("import failed");
        main.findChild<QTreeView *>("l1")->viewport()->repaint();
        state.PauseTiming();
        if (main.listModel()->rowCount() != kRecords)
            state.SkipWithError("rows missing");
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_ImportVcard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WindowImportVcard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Search)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadAll)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListPage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListSort)
    ->Arg(ContactListModel::FamilyColumn)
    ->Arg(ContactListModel::PhoneColumn)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Fonts::install();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_window.reset();
    return 0;
}
