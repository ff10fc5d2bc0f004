#include "FrmMain.h"

#include <QEvent>
#include <QFile>
#include <QLocale>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTime>
#include <QTimer>

#include "ContactListModel.h"
#include "IdNumber.h"
#include "ImageList.h"
#include "Launcher.h"
#include "ModalBoxes.h"
#include "SearchPage.h"
#include "TodayDate.h"
#include "ui_FrmMain.h"

namespace {

const QString kTitle = QStringLiteral("Halvex");

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

// A .ui font holds whole points only; the layout keeps 9.75 and 8.25 aside.
void applyFractionalFontSizes(QWidget *root)
{
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *w : widgets) {
        const QVariant size = w->property("fontPointSizeF");
        if (!size.isValid())
            continue;
        QFont f = w->font();
        f.setPointSizeF(size.toDouble());
        w->setFont(f);
    }
}

} // namespace

QString FrmMain::authorUrl()
{
    return QStringLiteral("http://www.halvex.example.org");
}

FrmMain::FrmMain(const QString &programDir, ModalBoxes &boxes, TodayDate &date, Launcher &launcher,
                 QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::FrmMain>()),
      m_images(std::make_unique<ImageList>()), m_store(programDir), m_boxes(boxes), m_date(date),
      m_launcher(launcher)
{
    m_ui->setupUi(this);
    applyFractionalFontSizes(this);
    setLayoutDirection(Qt::RightToLeft);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(713, 514);
    setMouseTracking(true);

    m_ui->Text18->setPlainText(helpText(QStringLiteral("Text18.txt")));
    m_ui->Text8->setPlainText(helpText(QStringLiteral("Text8.txt")));
    keyOutBlack(m_ui->CmdAddTab);
    keyOutBlack(m_ui->CmdDeleteTab);

    m_listModel = new ContactListModel(m_images.get(), this);
    m_ui->l1->setModel(m_listModel);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &FrmMain::Timer1_Timer);
    m_timer->start();

    const std::pair<QAbstractButton *, int> pages[] = {
        {m_ui->CmdListTab, 0},   {m_ui->CmdAddTab, 1},    {m_ui->CmdEditTab, 2},
        {m_ui->CmdSearchTab, 3}, {m_ui->CmdDeleteTab, 4}, {m_ui->CmdSettingTab, 5},
        {m_ui->CmdHelpTab, 6},   {m_ui->CmdHelp, 6},
    };
    for (const auto &[button, index] : pages)
        connect(button, &QAbstractButton::clicked, this,
                [this, index = index] { showPage(index); });
    connect(m_ui->CmdExitTab, &QAbstractButton::clicked, this, &QWidget::close);
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

    m_ui->LAnimation->installEventFilter(this);
    m_ui->Label19->installEventFilter(this);
    m_ui->LAnimation->setCursor(Qt::PointingHandCursor);
    m_ui->Label19->setCursor(Qt::PointingHandCursor);
}

FrmMain::~FrmMain() = default;

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
    const QString sep = QStringLiteral(" ، ");
    const QString w = m_date.WeekdayName();
    const int d = m_date.Day();
    const QString m = m_date.MonthName();
    const int y = m_date.Year();
    return QStringLiteral("امروز ، ") + w + sep + QString::number(d) + sep + m + QString::number(y);
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
    // Columns show even when the file could not be read.
    m_listModel->setRecords(std::move(records));
    if (e)
        showStoreError(e);
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
