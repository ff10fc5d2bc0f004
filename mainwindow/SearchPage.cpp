#include "mainwindow/SearchPage.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "mainwindow/PersianLetters.h"
#include "mainwindow/WindowTitle.h"
#include "platform/ModalBoxes.h"
#include "store/ContactStore.h"
#include "store/Cp1256Codec.h"
#include "store/IdNumber.h"
#include "ui_FrmMain.h"

namespace {

const QString kSearchTitle = kTitle + QStringLiteral(" Search");
const QString kDefaultsToLast = QStringLiteral("برنامه به صورت پيش فرض آخرين شخص را انتخاب ميکند");

} // namespace

SearchPage::Controls SearchPage::controls(Ui::FrmMain &ui, Tab tab)
{
    switch (tab) {
    case Tab::Search:
        return {ui.cmdsearch,
                ui.Text7,
                ui.Label7,
                ui.optname,
                ui.optfamily,
                ui.optid,
                {ui.Text11, ui.Text12, ui.Text13, ui.Text14, ui.Text15, ui.Text16},
                /*keepsSelection=*/false,
                /*focusKeyAfterSearch=*/false};
    case Tab::Edit:
        return {ui.CmdSearch2,
                ui.Text17,
                ui.Label17,
                ui.OptName2,
                ui.OptFamily2,
                ui.OptID2,
                {ui.Text21, ui.Text22, ui.Text23, ui.Text24, ui.Text25, ui.Text26},
                /*keepsSelection=*/true,
                /*focusKeyAfterSearch=*/false};
    case Tab::Delete:
        break;
    }
    return {ui.CmdSearch3,
            ui.Text27,
            ui.Label27,
            ui.OptName3,
            ui.OptFamily3,
            ui.OptID3,
            {ui.Text31, ui.Text32, ui.Text33, ui.Text34, ui.Text35, ui.Text36},
            /*keepsSelection=*/true,
            /*focusKeyAfterSearch=*/true};
}

SearchPage::SearchPage(const Controls &controls, ContactStore &store, ModalBoxes &boxes,
                       bool &hintCleared, QWidget *dialogParent)
    : QObject(dialogParent), m_c(controls), m_store(store), m_boxes(boxes),
      m_hintCleared(hintCleared), m_dialogParent(dialogParent)
{
    connect(m_c.search, &QAbstractButton::clicked, this, &SearchPage::search);
    connect(m_c.optName, &QAbstractButton::clicked, this,
            [this] { optionChosen(QStringLiteral("نام:"), QStringLiteral("Enter Name")); });
    connect(m_c.optFamily, &QAbstractButton::clicked, this, [this] {
        optionChosen(QStringLiteral("نام خانوادگي:"), QStringLiteral("Enter Family"));
    });
    connect(m_c.optId, &QAbstractButton::clicked, this,
            [this] { optionChosen(QStringLiteral("شماره شناسايي:"), QStringLiteral("Enter ID")); });
    m_c.key->installEventFilter(this);
}

void SearchPage::select(qint64 n, const ContactRecord &record)
{
    m_selected = n;
    m_selectedBytes = record;
}

bool SearchPage::requireSelection()
{
    if (m_selected > 0)
        return true;
    m_boxes.critical(m_dialogParent,
                     QStringLiteral("ابتدا شخص مورد نظر را در همين صفحه جستجو کنيد."), kTitle);
    return false;
}

void SearchPage::optionChosen(const QString &caption, const QString &hint)
{
    m_hintCleared = false;
    m_c.modeLabel->setText(caption);
    QPalette p = m_c.key->palette();
    p.setColor(QPalette::Text, QColor(192, 192, 192));
    m_c.key->setPalette(p);
    QFont f = m_c.key->font();
    f.setItalic(true);
    m_c.key->setFont(f);
    m_c.key->setText(hint);
}

bool SearchPage::eventFilter(QObject *watched, QEvent *event)
{
    // Only a mouse click clears the hint; moving in with the keyboard does not.
    if (watched == m_c.key && event->type() == QEvent::MouseButtonPress) {
        if (!m_hintCleared)
            m_c.key->clear();
        QPalette p = m_c.key->palette();
        p.setColor(QPalette::Text, Qt::black);
        m_c.key->setPalette(p);
        QFont f = m_c.key->font();
        f.setItalic(false);
        m_c.key->setFont(f);
        m_hintCleared = true;
    }
    return QObject::eventFilter(watched, event);
}

void SearchPage::show(const ContactRecord &record)
{
    m_c.fields[0]->setText(PersianLetters::shown(record.text(ContactRecord::Name)));
    m_c.fields[1]->setText(PersianLetters::shown(record.text(ContactRecord::Family)));
    m_c.fields[2]->setText(PersianLetters::shown(record.text(ContactRecord::Phone)));
    m_c.fields[3]->setText(PersianLetters::shown(record.text(ContactRecord::Mobile)));
    m_c.fields[4]->setText(QString::number(record.ID()));
    m_c.fields[5]->setText(PersianLetters::shown(record.text(ContactRecord::Address)));
    // Fields carry their padding; keep the start of each in view.
    for (QLineEdit *box : m_c.fields)
        box->setCursorPosition(0);
}

void SearchPage::focusKey()
{
    m_c.key->setFocus();
    m_c.key->setSelection(0, int(m_c.key->text().size()));
}

void SearchPage::notFound(const QString &text)
{
    m_boxes.message(m_dialogParent, text, kSearchTitle, ModalBoxes::Critical, ModalBoxes::Ok,
                    ModalBoxes::AnswerOk);
    focusKey();
}

bool SearchPage::scanLimitReached(qint64 n)
{
    // Edit and delete pages stop at the last record number they can hold.
    if (!m_c.keepsSelection || n <= ContactStore::MaxRecords)
        return false;
    m_skipped = true;
    return true;
}

void SearchPage::search()
{
    m_skipped = false;
    if (m_c.keepsSelection)
        m_selected = 0;

    Outcome outcome = Completed;
    if (m_c.optName->isChecked())
        outcome = textSearch(ByName);
    else if (m_c.optFamily->isChecked())
        outcome = textSearch(ByFamily);
    else if (m_c.optId->isChecked())
        idSearch();

    if (m_skipped)
        m_boxes.message(m_dialogParent,
                        QStringLiteral("فايل بيش از %1 شخص دارد؛ در اين صفحه فقط %1 شخص "
                                       "اول جستجو شدند.")
                            .arg(ContactStore::MaxRecords),
                        kSearchTitle, ModalBoxes::Information, ModalBoxes::Ok,
                        ModalBoxes::AnswerOk);
    if (outcome == Completed && m_c.focusKeyAfterSearch)
        focusKey();
}

template <typename Match>
bool SearchPage::findLast(const Match &match, qint64 &last, ContactRecord &found, qint64 *count)
{
    last = 0;
    const StoreError e = m_store.ReadAllRecords([&](const ContactRecord &r, qint64 n) {
        if (scanLimitReached(n))
            return false;
        if (match(r)) {
            last = n;
            found = r;
            if (count)
                ++*count;
        }
        return true;
    });
    if (e)
        m_boxes.critical(m_dialogParent, e.message(), kSearchTitle);
    return !e;
}

SearchPage::Outcome SearchPage::textSearch(Mode mode)
{
    const ContactRecord::Field first = mode == ByName ? ContactRecord::Name : ContactRecord::Family;
    const QByteArray firstKey = ContactRecord::key(first, m_c.key->text());

    // Only the last match stays shown, so it is enough to show it once.
    qint64 matches = 0;
    qint64 lastMatch = 0;
    ContactRecord shown;
    if (!findLast([&](const ContactRecord &r) { return r.fieldEquals(first, firstKey); }, lastMatch,
                  shown, &matches))
        return Completed;
    if (matches == 0) {
        notFound(QStringLiteral("چنين فردي وجود ندارد"));
        return Completed;
    }
    show(shown);
    if (m_c.keepsSelection)
        select(lastMatch, shown);
    return matches > 1 ? narrowDown(mode, firstKey, matches) : Completed;
}

SearchPage::Outcome SearchPage::narrowDown(Mode mode, const QByteArray &firstKey, qint64 matches)
{
    const ContactRecord::Field first = mode == ByName ? ContactRecord::Name : ContactRecord::Family;
    const ContactRecord::Field second =
        mode == ByName ? ContactRecord::Family : ContactRecord::Name;
    const QString text =
        QStringLiteral("There are ") + QString::number(matches) +
        (mode == ByName ? QStringLiteral(" Person with name of  ")
                        : QStringLiteral(" Person with Family of  ")) +
        Cp1256Codec::decode(firstKey) + QStringLiteral("\r\n") + kDefaultsToLast +
        (mode == ByName
             ? QStringLiteral("اگر مي خواهيد جستجو را بر اساس نام خانوادگي ادامه دهيد بر روي "
                              "بله کليک کنيد")
             : QStringLiteral(
                   "اگر مي خواهيد جستجو را بر اساس نام  ادامه دهيد بر روي بله کليک کنيد"));
    const ModalBoxes::Answer answer =
        m_boxes.message(m_dialogParent, text, QStringLiteral("Halvo"), ModalBoxes::Exclamation,
                        ModalBoxes::YesNo, ModalBoxes::AnswerYes);
    if (answer != ModalBoxes::AnswerYes)
        return EndedByNo;

    const std::optional<QString> typed = m_boxes.input(
        m_dialogParent,
        mode == ByName ? QStringLiteral("ENTER FAMILY") : QStringLiteral("ENTER Name"), kTitle,
        QString());
    const QByteArray secondKey = ContactRecord::key(second, typed.value_or(QString()));
    if (m_c.keepsSelection)
        m_selected = 0;
    qint64 last = 0;
    ContactRecord found;
    if (!findLast(
            [&](const ContactRecord &r) {
                return r.fieldEquals(first, firstKey) && r.fieldEquals(second, secondKey);
            },
            last, found))
        return Completed;
    if (last == 0 && typed) {
        // The first scan's last match is not the answer; show nothing as if it were.
        for (QLineEdit *box : m_c.fields)
            box->clear();
        notFound(QStringLiteral("چنين فردي وجود ندارد"));
        return Completed;
    }
    if (last > 0) {
        show(found);
        if (m_c.keepsSelection)
            select(last, found);
    }
    return Completed;
}

void SearchPage::idSearch()
{
    qint16 key = 0;
    if (const IdNumber::Result r = IdNumber::parse(m_c.key->text(), key); r != IdNumber::Ok) {
        m_boxes.critical(m_dialogParent, IdNumber::message(r), kSearchTitle);
        focusKey();
        return;
    }
    qint64 last = 0;
    ContactRecord found;
    if (!findLast([key](const ContactRecord &r) { return r.ID() == key; }, last, found))
        return;
    if (last == 0) {
        notFound(QStringLiteral("چنين شماره اي وجود ندارد"));
        return;
    }
    show(found);
    if (m_c.keepsSelection)
        select(last, found);
}
