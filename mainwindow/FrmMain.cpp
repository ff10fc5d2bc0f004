#include "mainwindow/FrmMain.h"

#include <QDropEvent>
#include <QEvent>
#include <QFile>
#include <QMimeData>
#include <QLocale>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTabBar>
#include <QTime>
#include <QTimer>

#include "about/frmAbout.h"
#include "HalvexInfo.h"
#include "mainwindow/AddListPage.h"
#include "mainwindow/DeletePage.h"
#include "mainwindow/DirectoryTransfer.h"
#include "mainwindow/EditPage.h"
#include "mainwindow/ListMenu.h"
#include "mainwindow/SearchPage.h"
#include "mainwindow/SettingsPage.h"
#include "mainwindow/WindowTitle.h"
#include "platform/Fonts.h"
#include "platform/Launcher.h"
#include "platform/ModalBoxes.h"
#include "platform/SoundPlayer.h"
#include "platform/TodayDate.h"
#include "ui_FrmMain.h"

namespace {

QString helpText(const QString &name)
{
    QFile f(QStringLiteral(":/help/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

// The locale's long time format carries the time zone; the clock shows none.
QString timeFormat()
{
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*\\(?t+\\)?")));
    if (!format.contains(u's'))
        format = QStringLiteral("HH:mm:ss");
    return format.trimmed();
}

// These two icons are 24-bit with a black background instead of an alpha channel.
void keyOutBlack(QAbstractButton *button)
{
    QPixmap pm = button->icon().pixmap(16, 16);
    if (pm.isNull() || pm.hasAlphaChannel())
        return;
    pm.setMask(pm.createMaskFromColor(Qt::black));
    button->setIcon(QIcon(pm));
}

} // namespace

QString FrmMain::authorUrl()
{
    return QLatin1String(HalvexInfo::Url);
}

FrmMain::FrmMain(const FrmMainServices &services, QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::FrmMain>()), m_store(services.store),
      m_boxes(services.boxes), m_date(services.date), m_launcher(services.launcher),
      m_registry(services.registry), m_player(services.player)
{
    m_ui->setupUi(this);
    Fonts::applyFractionalSizes(this);
    setLayoutDirection(Qt::RightToLeft);
    // Without CustomizeWindowHint the hints are ignored and a maximise button appears.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(713, 514);
    setMouseTracking(true);

    m_ui->Text18->setPlainText(helpText(QStringLiteral("Text18.txt")));
    m_ui->Text8->setPlainText(helpText(QStringLiteral("Text8.txt")));
    keyOutBlack(m_ui->CmdAddTab);
    keyOutBlack(m_ui->CmdDeleteTab);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &FrmMain::Timer1_Timer);
    m_timer->start();

    wirePageButtons();

    m_addList = std::make_unique<AddListPage>(*m_ui, services, this);
    m_searchPage =
        new SearchPage(*m_ui, SearchPage::Tab::Search, m_store, m_boxes, m_hintCleared, this);
    m_editPage = new EditPage(*m_ui, services, m_hintCleared, this);
    m_deletePage = new DeletePage(*m_ui, services, m_hintCleared, this);
    m_settingsPage = new SettingsPage(*m_ui, services, this);
    m_listMenu = new ListMenu(
        m_ui->l1, services,
        [this](qint64 recordsAfter) {
            showPage(0);
            m_addList->showImported(recordsAfter);
        },
        this);

    // Files dropped anywhere on the window are imported; the boxes that take
    // drops of their own still take text.
    setAcceptDrops(true);
    for (QWidget *w : findChildren<QWidget *>())
        if (w->acceptDrops())
            w->installEventFilter(this);

    m_ui->LAnimation->installEventFilter(this);
    m_ui->Label19->installEventFilter(this);
    m_ui->LAnimation->setCursor(Qt::PointingHandCursor);
    m_ui->Label19->setCursor(Qt::PointingHandCursor);
}

FrmMain::~FrmMain() = default;

void FrmMain::wirePageButtons()
{
    // The tab headers are blank; a screen reader says what each page is.
    QTabBar *tabs = m_ui->SSTab1->tabBar();
    tabs->setAccessibleName(QStringLiteral("صفحه ها"));
    const QAbstractButton *pageButtons[] = {
        m_ui->CmdListTab,   m_ui->CmdAddTab,     m_ui->CmdEditTab, m_ui->CmdSearchTab,
        m_ui->CmdDeleteTab, m_ui->CmdSettingTab, m_ui->CmdHelpTab};
    for (int i = 0; i < tabs->count() && i < 7; ++i)
        tabs->setAccessibleTabName(i, pageButtons[i]->text());

    const std::pair<QAbstractButton *, int> pages[] = {
        {m_ui->CmdListTab, 0},   {m_ui->CmdAddTab, 1},    {m_ui->CmdEditTab, 2},
        {m_ui->CmdSearchTab, 3}, {m_ui->CmdDeleteTab, 4}, {m_ui->CmdHelpTab, 6},
        {m_ui->CmdHelp, 6},
    };
    for (const auto &page : pages) {
        const int index = page.second;
        connect(page.first, &QAbstractButton::clicked, this, [this, index] { showPage(index); });
    }
    connect(m_ui->CmdExitTab, &QAbstractButton::clicked, this, &QWidget::close);
    connect(m_ui->CmdAboutUsTab, &QAbstractButton::clicked, this, &FrmMain::CmdAboutUsTab_Click);
    connect(m_ui->CmdSettingTab, &QAbstractButton::clicked, this, [this] {
        showPage(5);
        m_settingsPage->enter(); // from its page button only, not from the tab row
    });
}

ContactListModel *FrmMain::listModel() const
{
    return m_addList->listModel();
}

DirectoryTransfer *FrmMain::transfer() const
{
    return m_listMenu->transfer();
}

SearchPage *FrmMain::editPage() const
{
    return m_editPage->search();
}

SearchPage *FrmMain::deletePage() const
{
    return m_deletePage->search();
}

bool FrmMain::Form_Load()
{
    if (StoreError e = m_store.Open()) {
        m_boxes.critical(this,
                         QStringLiteral("پوشه يا فايل اطلاعات ساخته نشد و برنامه بسته مي شود.\n") +
                             e.message(),
                         kTitle);
        return false;
    }
    return m_addList->countRecords();
}

void FrmMain::showPage(int index)
{
    m_ui->SSTab1->setCurrentIndex(index);
}

QString FrmMain::dateLine()
{
    return m_date.dateLine();
}

void FrmMain::Timer1_Timer()
{
    m_ui->Text9->setText(QLocale().toString(QTime::currentTime(), timeFormat()));
    m_ui->Text10->setText(dateLine());
    const QString text = m_ui->LAnimation->text();
    if (!text.isEmpty())
        m_ui->LAnimation->setText(text.mid(1) + text.left(1));
}

void FrmMain::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_ui->Text10->setText(dateLine());
    QWidget::changeEvent(event);
}

void FrmMain::setWelcomeBold(bool bold)
{
    QFont f = m_ui->LAnimation->font();
    if (f.bold() == bold)
        return;
    f.setBold(bold);
    m_ui->LAnimation->setFont(f);
}

void FrmMain::mouseMoveEvent(QMouseEvent *event)
{
    // Moves over labels reach the window too; only the bare surface counts.
    QWidget *under = childAt(event->position().toPoint());
    if (under == m_ui->LAnimation)
        setWelcomeBold(true);
    else if (!under)
        setWelcomeBold(false);
    QWidget::mouseMoveEvent(event);
}

bool FrmMain::fileDrag(QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (!DirectoryTransfer::bringsFiles(drag->mimeData()))
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (!DirectoryTransfer::bringsFiles(drop->mimeData()))
            return false;
        drop->acceptProposedAction();
        // The file manager waits for the drop to end; the import asks questions.
        const QList<QUrl> urls = drop->mimeData()->urls();
        QMetaObject::invokeMethod(
            this, [this, urls] { transfer()->drop(urls); }, Qt::QueuedConnection);
        return true;
    }
    default:
        return false;
    }
}

void FrmMain::dragEnterEvent(QDragEnterEvent *event)
{
    if (!fileDrag(event))
        QWidget::dragEnterEvent(event);
}

void FrmMain::dragMoveEvent(QDragMoveEvent *event)
{
    if (!fileDrag(event))
        QWidget::dragMoveEvent(event);
}

void FrmMain::dropEvent(QDropEvent *event)
{
    if (!fileDrag(event))
        QWidget::dropEvent(event);
}

bool FrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (fileDrag(event))
        return true;
    if (event->type() == QEvent::MouseButtonPress &&
        (watched == m_ui->LAnimation || watched == m_ui->Label19)) {
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            m_launcher.openUrl(QUrl(authorUrl()));
        return true;
    }
    if (event->type() == QEvent::MouseMove && watched == m_ui->LAnimation)
        setWelcomeBold(true);
    return QWidget::eventFilter(watched, event);
}

void FrmMain::CmdAboutUsTab_Click()
{
    frmAbout::showSingle(m_registry, m_launcher, m_boxes, [this] { m_player.beep(); });
}
