#include "FrmMain.h"

#include <QEvent>
#include <QFile>
#include <QHeaderView>
#include <QLocale>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTabBar>
#include <QTime>
#include <QTimer>
#include <QTreeView>

#include "ContactListModel.h"
#include "FileDialogs.h"
#include "HalvexInfo.h"
#include "Fonts.h"
#include "frmAbout.h"
#include "IdNumber.h"
#include "ImageList.h"
#include "LeftToRightDelegate.h"
#include "Launcher.h"
#include "ModalBoxes.h"
#include "PasswordStore.h"
#include "SearchPage.h"
#include "SoundPlayer.h"
#include "TodayDate.h"
#include "ui_FrmMain.h"

namespace {

const QString kTitle = QLatin1String(HalvexInfo::Name);

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
    : QWidget(parent), m_ui(std::make_unique<Ui::FrmMain>()),
      m_images(std::make_unique<ImageList>()), m_store(services.store), m_boxes(services.boxes),
      m_date(services.date), m_launcher(services.launcher), m_passwords(services.passwords),
      m_registry(services.registry), m_player(services.player), m_fileDialogs(services.fileDialogs)
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

    m_listModel = new ContactListModel(m_images.get(), this);
    m_ui->l1->setModel(m_listModel);
    auto *numbers = new LeftToRightDelegate(m_ui->l1);
    for (int column : {ContactListModel::PhoneColumn, ContactListModel::MobileColumn,
                       ContactListModel::IdColumn})
        m_ui->l1->setItemDelegateForColumn(column, numbers);
    m_ui->l1->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_ui->l1->header()->setStretchLastSection(false);

    // The tab headers are blank; a screen reader says what each page is.
    QTabBar *tabs = m_ui->SSTab1->tabBar();
    tabs->setAccessibleName(QStringLiteral("صفحه ها"));
    const QAbstractButton *pageButtons[] = {
        m_ui->CmdListTab,   m_ui->CmdAddTab,     m_ui->CmdEditTab, m_ui->CmdSearchTab,
        m_ui->CmdDeleteTab, m_ui->CmdSettingTab, m_ui->CmdHelpTab};
    for (int i = 0; i < tabs->count() && i < 7; ++i)
        tabs->setAccessibleTabName(i, pageButtons[i]->text());

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &FrmMain::Timer1_Timer);
    m_timer->start();

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
    connect(m_ui->cmdAdd, &QAbstractButton::clicked, this, &FrmMain::cmdAdd_Click);
    connect(m_ui->cmdDisplay, &QAbstractButton::clicked, this, &FrmMain::cmdDisplay_Click);

    // One search procedure, given each page's controls.
    const auto page = [this](SearchPage::Controls c) {
        return new SearchPage(c, m_store, m_boxes, m_hintCleared, this);
    };
    m_searchPage =
        page({m_ui->cmdsearch,
              m_ui->Text7,
              m_ui->Label7,
              m_ui->optname,
              m_ui->optfamily,
              m_ui->optid,
              {m_ui->Text11, m_ui->Text12, m_ui->Text13, m_ui->Text14, m_ui->Text15, m_ui->Text16},
              /*keepsSelection=*/false,
              /*focusKeyAfterSearch=*/false});
    m_editPage =
        page({m_ui->CmdSearch2,
              m_ui->Text17,
              m_ui->Label17,
              m_ui->OptName2,
              m_ui->OptFamily2,
              m_ui->OptID2,
              {m_ui->Text21, m_ui->Text22, m_ui->Text23, m_ui->Text24, m_ui->Text25, m_ui->Text26},
              /*keepsSelection=*/true,
              /*focusKeyAfterSearch=*/false});
    m_deletePage =
        page({m_ui->CmdSearch3,
              m_ui->Text27,
              m_ui->Label27,
              m_ui->OptName3,
              m_ui->OptFamily3,
              m_ui->OptID3,
              {m_ui->Text31, m_ui->Text32, m_ui->Text33, m_ui->Text34, m_ui->Text35, m_ui->Text36},
              /*keepsSelection=*/true,
              /*focusKeyAfterSearch=*/true});

    connect(m_ui->CmdSave, &QAbstractButton::clicked, this, &FrmMain::CmdSave_Click);
    connect(m_ui->CmdDelete, &QAbstractButton::clicked, this, &FrmMain::CmdDelete_Click);

    // The settings page's entry step runs from its page button only, not from the tab row.
    connect(m_ui->CmdSettingTab, &QAbstractButton::clicked, this, &FrmMain::CmdSettingTab_Click);
    connect(m_ui->CmdBrowse, &QAbstractButton::clicked, this, &FrmMain::CmdBrowse_Click);
    connect(m_ui->CmdPlay, &QAbstractButton::clicked, this, &FrmMain::CmdPlay_Click);
    connect(m_ui->CmdStop, &QAbstractButton::clicked, this, &FrmMain::CmdStop_Click);
    connect(m_ui->CmdPass, &QAbstractButton::clicked, this, &FrmMain::CmdPass_Click);
    m_oldPassSheet = m_ui->TxtOldPass->styleSheet();

    m_ui->LAnimation->installEventFilter(this);
    m_ui->Label19->installEventFilter(this);
    m_ui->LAnimation->setCursor(Qt::PointingHandCursor);
    m_ui->Label19->setCursor(Qt::PointingHandCursor);
}

FrmMain::~FrmMain()
{
    // The list draws its icons from m_images, which goes before the widgets
    // do; closing the window would make the header ask for them.
    m_ui->l1->setModel(nullptr);
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
    qint64 count = 0;
    if (StoreError e = m_store.CountWholeRecords(count)) {
        showStoreError(e);
        return false;
    }
    proposeNextId(count);
    return true;
}

void FrmMain::proposeNextId(qint64 recordCount)
{
    // Past the last record number there is nothing to propose.
    if (recordCount >= ContactStore::MaxRecords)
        m_ui->Text5->clear();
    else
        m_ui->Text5->setText(QString::number(recordCount + 1));
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

bool FrmMain::eventFilter(QObject *watched, QEvent *event)
{
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

void FrmMain::showStoreError(const StoreError &error)
{
    m_boxes.critical(this, error.message(), kTitle);
}

void FrmMain::cmdAdd_Click()
{
    qint64 count = 0;
    if (StoreError e = m_store.CountWholeRecords(count)) {
        showStoreError(e);
        return;
    }
    if (count >= ContactStore::MaxRecords) {
        m_boxes.critical(
            this, QStringLiteral("دفترچه پر است: بيش از 32767 شخص را نمي توان ذخيره کرد."), kTitle);
        return;
    }

    ContactRecord record;
    if (!recordFromBoxes(
            {m_ui->Text1, m_ui->Text2, m_ui->Text3, m_ui->Text4, m_ui->Text5, m_ui->Text6}, record))
        return;
    qint64 recordsAfter = 0;
    if (StoreError e = m_store.AppendRecord(record, &recordsAfter)) {
        if (e.kind() == StoreError::Overflow)
            m_boxes.critical(
                this, QStringLiteral("دفترچه پر است: بيش از 32767 شخص را نمي توان ذخيره کرد."),
                kTitle);
        else
            showStoreError(e);
        return;
    }

    m_ui->Text1->clear();
    m_ui->Text2->clear();
    m_ui->Text3->clear();
    m_ui->Text4->clear();
    proposeNextId(recordsAfter);
    m_ui->Text6->clear();
    m_ui->Text1->setFocus();
}

void FrmMain::cmdDisplay_Click()
{
    std::vector<ContactRecord> records;
    qint64 expected = 0;
    if (m_store.CountWholeRecords(expected).ok())
        records.reserve(size_t(expected));
    const StoreError e = m_store.ReadAllRecords([&records](const ContactRecord &r, qint64) {
        records.push_back(r);
        return true;
    });
    // Columns show even when the file could not be read. A reset forgets the
    // widths the user gave the columns, so they are carried over.
    QHeaderView *header = m_ui->l1->header();
    QList<int> widths;
    for (int c = 0; c < header->count(); ++c)
        widths << header->sectionSize(c);
    m_listModel->setRecords(std::move(records));
    if (widths.size() == header->count()) {
        for (int c = 0; c < header->count(); ++c)
            header->resizeSection(c, widths[c]);
    } else {
        fitColumns();
    }
    showFirstColumn();
    if (e)
        showStoreError(e);
}

void FrmMain::CmdAboutUsTab_Click()
{
    frmAbout::showSingle(m_registry, m_launcher, m_boxes, [this] { m_player.beep(); });
}

void FrmMain::fitColumns()
{
    // Header and visible content, within reason; the user may resize them after.
    constexpr int kWidest = 220;
    for (int c = 0; c < m_listModel->columnCount(); ++c) {
        m_ui->l1->resizeColumnToContents(c);
        if (m_ui->l1->columnWidth(c) > kWidest)
            m_ui->l1->setColumnWidth(c, kWidest);
    }
}

void FrmMain::showFirstColumn()
{
    QScrollBar *bar = m_ui->l1->horizontalScrollBar();
    bar->setValue(bar->minimum());
}

bool FrmMain::recordFromBoxes(const std::array<QLineEdit *, 6> &boxes, ContactRecord &record)
{
    qint16 id = 0;
    if (const IdNumber::Result r = IdNumber::parse(boxes[4]->text(), id); r != IdNumber::Ok) {
        m_boxes.critical(this, IdNumber::message(r), kTitle);
        boxes[4]->setFocus();
        boxes[4]->selectAll();
        return false;
    }
    record.setText(ContactRecord::Name, boxes[0]->text());
    record.setText(ContactRecord::Family, boxes[1]->text());
    record.setText(ContactRecord::Phone, boxes[2]->text());
    record.setText(ContactRecord::Mobile, boxes[3]->text());
    record.setID(id);
    record.setText(ContactRecord::Address, boxes[5]->text());
    return true;
}

bool FrmMain::requireSelection(const SearchPage *page)
{
    if (page->SelectedRecord() > 0)
        return true;
    m_boxes.critical(this, QStringLiteral("ابتدا شخص مورد نظر را در همين صفحه جستجو کنيد."),
                     kTitle);
    return false;
}

void FrmMain::CmdSave_Click()
{
    if (!requireSelection(m_editPage))
        return;
    ContactRecord record;
    if (!recordFromBoxes(
            {m_ui->Text21, m_ui->Text22, m_ui->Text23, m_ui->Text24, m_ui->Text25, m_ui->Text26},
            record))
        return;

    const qint64 n = m_editPage->SelectedRecord();
    const ContactRecord seen = m_editPage->selectedBytes();
    if (StoreError e = m_store.RewriteRecord(n, record, &seen)) {
        showStoreError(e);
        return;
    }
    m_editPage->select(n, record);
}

void FrmMain::CmdDelete_Click()
{
    if (!requireSelection(m_deletePage))
        return;
    const ModalBoxes::Answer answer = m_boxes.message(
        this, QStringLiteral("آيا مطمئن به حذف اين گزينه از ليست هستيد؟"), QStringLiteral("حذف"),
        ModalBoxes::Question, ModalBoxes::YesNo, ModalBoxes::AnswerYes);
    if (answer != ModalBoxes::AnswerYes)
        return;
    const ContactRecord seen = m_deletePage->selectedBytes();
    if (StoreError e = m_store.DeleteRecord(m_deletePage->SelectedRecord(), &seen)) {
        if (!e.tookEffect()) {
            showStoreError(e);
            return;
        }
        m_boxes.message(this, e.message(), kTitle, ModalBoxes::Exclamation, ModalBoxes::Ok,
                        ModalBoxes::AnswerOk);
    }
    // The boxes keep the removed contact; the number now names its successor.
    m_deletePage->clearSelection();
}

void FrmMain::CmdSettingTab_Click()
{
    showPage(5);
    m_password = m_passwords.read();
    // No password yet: there is nothing to type as the old one.
    const bool none = m_password.trimmed().isEmpty();
    m_ui->TxtOldPass->setStyleSheet(
        none ? m_oldPassSheet + QStringLiteral(" QLineEdit { background-color: palette(button); }")
             : m_oldPassSheet);
    m_ui->TxtOldPass->setEnabled(!none);
}

void FrmMain::CmdBrowse_Click()
{
    // Cancelling keeps the file chosen before.
    if (const std::optional<QString> file = m_fileDialogs.openFile(
            this, QStringLiteral("جستجو"), m_store.dataDir(), QStringLiteral("Wave Sound (*.wav)")))
        m_soundFile = *file;
}

void FrmMain::CmdPlay_Click()
{
    switch (m_ui->Check1->checkState()) {
    case Qt::Unchecked:
        m_player.playOnce(m_soundFile);
        break;
    case Qt::Checked:
        m_player.playLoop(m_soundFile);
        break;
    case Qt::PartiallyChecked: // greyed: nothing
        break;
    }
}

void FrmMain::CmdStop_Click()
{
    m_player.playOnceAndWait(m_soundFile);
}

void FrmMain::CmdPass_Click()
{
    const QString title = QStringLiteral("ثبت کلمه عبور");
    m_password = m_passwords.read();
    // Exactly as typed, unlike the login, which ignores case and surrounding spaces.
    if (m_ui->TxtOldPass->text() != m_password) {
        m_boxes.critical(this, QStringLiteral("کلمه عبور قديم اشتباه مي باشد"), title);
        if (m_ui->TxtOldPass->isEnabled()) {
            m_ui->TxtOldPass->setFocus();
            m_ui->TxtOldPass->selectAll();
        }
        return;
    }
    if (!m_passwords.write(m_ui->Txtpass2->text().trimmed())) {
        m_boxes.critical(this,
                         QStringLiteral("کلمه عبور ثبت نشد: تنظيمات برنامه قابل نوشتن نيست و "
                                        "کلمه عبور قبلي همچنان معتبر است."),
                         title);
        return;
    }
    m_boxes.message(this, QStringLiteral("کلمه عبور شما به ثبت رسيد"), title,
                    ModalBoxes::Information, ModalBoxes::Ok, ModalBoxes::AnswerOk);
}
