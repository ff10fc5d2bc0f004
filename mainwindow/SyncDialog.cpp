#include "mainwindow/SyncDialog.h"

#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTextDocument>
#include <QTextOption>

#include "mainwindow/BidiText.h"
#include "mainwindow/SyncKeyring.h"
#include "mainwindow/SyncSession.h"
#include "platform/ModalBoxes.h"
#include "sync/ServerCertificate.h"
#include "ui_SyncDialog.h"

namespace {

bool sameServer(const QUrl &a, const QUrl &b)
{
    return a.scheme() == b.scheme() && a.host() == b.host() && a.port() == b.port();
}

} // namespace

SyncDialog::SyncDialog(SyncSession &session, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::SyncDialog>()), m_session(session)
{
    m_ui->setupUi(this);
    QString why;
    m_account = session.account(&why);
    if (m_account.isSet()) {
        m_ui->txtUrl->setText(m_account.url.toString(QUrl::RemoveUserInfo));
        m_ui->txtUser->setText(m_account.user);
        m_ui->chkAuto->setChecked(m_account.autoSync);
    }
    m_ui->lblBooks->hide();
    m_ui->lstBooks->hide();
    m_ui->lblSummary->setText(why.isEmpty() ? m_account.lastResultText() : why);
    // The report's lines start with a card's Latin path; they are still Persian sentences.
    QTextOption rightToLeft = m_ui->txtReport->document()->defaultTextOption();
    rightToLeft.setTextDirection(Qt::RightToLeft);
    rightToLeft.setAlignment(Qt::AlignRight);
    m_ui->txtReport->document()->setDefaultTextOption(rightToLeft);
    m_ui->cmdDetails->hide();
    connect(m_ui->cmdDetails, &QToolButton::toggled, this, &SyncDialog::showDetails);
    showDetails(false);
    connect(m_ui->cmdSync, &QPushButton::clicked, this, &SyncDialog::syncClicked);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    (m_account.isSet() ? m_ui->txtPassword : m_ui->txtUrl)->setFocus();
}

SyncDialog::~SyncDialog() = default;

QString SyncDialog::summaryText() const
{
    return m_ui->lblSummary->text();
}

QString SyncDialog::reportText() const
{
    return m_ui->txtReport->toPlainText();
}

void SyncDialog::fail(const QString &text)
{
    m_ui->lblSummary->setText(text);
    m_session.boxes().critical(this, text, windowTitle());
}

bool SyncDialog::readFields(SyncAccount &account, QString &password)
{
    const QString typed = m_ui->txtUrl->text().trimmed();
    QUrl url = QUrl::fromUserInput(typed);
    if (typed.isEmpty() || !url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http"))) {
        fail(QStringLiteral("«%1» نشانی http یا https نیست.").arg(typed));
        m_ui->txtUrl->setFocus();
        return false;
    }
    QString user = m_ui->txtUser->text().trimmed();
    if (user.isEmpty())
        user = url.userName();
    password = m_ui->txtPassword->text();
    if (password.isEmpty())
        password = url.password();
    url.setUserInfo({});
    if (url.path().isEmpty())
        url.setPath(QStringLiteral("/"));
    if (const QListWidgetItem *chosen = m_ui->lstBooks->currentItem();
        chosen && !m_ui->lstBooks->isHidden())
        url = chosen->data(Qt::UserRole).toUrl();
    if (!user.isEmpty() && password.isEmpty())
        password = m_session.password(user, url);
    if (!user.isEmpty() && password.isEmpty()) {
        fail(QStringLiteral("گذرواژه را بنویسید."));
        m_ui->txtPassword->setFocus();
        return false;
    }
    if (!sameServer(url, account.url))
        account.certificate.clear(); // trusted for another server
    account.url = url;
    account.user = user;
    account.autoSync = m_ui->chkAuto->isChecked();
    return true;
}

bool SyncDialog::save()
{
    QString why;
    if (m_account.save(m_session.accountPath(), why))
        return true;
    fail(why);
    return false;
}

void SyncDialog::syncClicked()
{
    if (m_syncing || !readFields(m_account, m_password) || !save())
        return;
    m_ui->txtUrl->setText(m_account.url.toString());
    m_ui->txtUser->setText(m_account.user);
    m_session.remember(m_account.user, m_account.url, m_password);
    m_typed = m_typed || !m_ui->txtPassword->text().isEmpty();
    m_ui->txtPassword->clear();
    m_session.setAutomatic(m_account.autoSync);
    sync(false);
}

void SyncDialog::sync(bool create)
{
    m_syncing = true;
    m_ui->cmdSync->setEnabled(false);
    m_ui->lblSummary->setText(QStringLiteral("در حال همگام‌سازی..."));
    m_ui->cmdDetails->hide();
    showDetails(false);
    QPointer<SyncDialog> self(this);
    m_session.run({m_account, m_password, create}, this,
                  [self](const AccountSync::Outcome &outcome) {
                      if (self)
                          self->showOutcome(outcome);
                  });
}

void SyncDialog::keepPassword()
{
    if (!std::exchange(m_typed, false) || !m_ui->chkKeyring->isChecked() ||
        m_account.user.isEmpty())
        return;
    QString why;
    if (m_session.keyring().write(m_account.user, m_account.url, m_password, why))
        return;
    m_ui->chkKeyring->setChecked(false);
    m_session.boxes().message(
        this,
        QStringLiteral("کلیدستان میزکار در دسترس نیست، پس گذرواژه نگه داشته "
                       "نمی‌شود "
                       "و "
                       "در "
                       "هر همگام‌سازی پرسیده می‌شود."),
        windowTitle(), ModalBoxes::Exclamation, ModalBoxes::Ok, ModalBoxes::AnswerOk);
}

void SyncDialog::showOutcome(const AccountSync::Outcome &outcome)
{
    m_syncing = false;
    m_ui->cmdSync->setEnabled(true);
    ModalBoxes &boxes = m_session.boxes();
    switch (outcome.result) {
    case AccountSync::Synced:
        m_ui->lblBooks->hide();
        m_ui->lstBooks->hide();
        if (m_account.url != outcome.book) {
            m_account.url = outcome.book; // the next sync goes straight to it
            save();
            m_ui->txtUrl->setText(m_account.url.toString());
        }
        showReport(outcome);
        break;
    case AccountSync::SeveralBooks:
        showBooks(outcome.books);
        break;
    case AccountSync::NoBook:
        m_ui->lblSummary->setText(
            QStringLiteral("در این حساب دفترچهٔ نشانی‌ای نیست."));
        if (boxes.message(
                this,
                QStringLiteral("در این حساب دفترچهٔ نشانی‌ای نیست. "
                               "دفترچه‌ای "
                               "به "
                               "نام "
                               "«%1» ساخته شود؟")
                    .arg(QString::fromLatin1(AccountSync::NewBookName)),
                windowTitle(), ModalBoxes::Question, ModalBoxes::YesNo,
                ModalBoxes::AnswerYes) == ModalBoxes::AnswerYes)
            sync(true);
        break;
    case AccountSync::UntrustedCertificate:
        m_ui->lblSummary->setText(outcome.why);
        if (boxes.message(
                this,
                QStringLiteral(
                    "%1\nاثر انگشت SHA-256 گواهی:\n%2\nاگر این همان اثر "
                    "انگشتی است که سرور شما نشان می‌دهد، به این "
                    "گواهی "
                    "اعتماد شود؟")
                    .arg(outcome.why, ServerCertificate::fingerprint(outcome.certificate)),
                windowTitle(), ModalBoxes::Exclamation, ModalBoxes::YesNo,
                ModalBoxes::AnswerNo) == ModalBoxes::AnswerYes) {
            m_account.certificate = outcome.certificate.toPem();
            if (save())
                sync(false);
        }
        break;
    case AccountSync::WrongPassword:
        m_typed = false;
        m_session.remember(m_account.user, m_account.url, {});
        fail(outcome.why);
        m_ui->txtPassword->setFocus();
        break;
    case AccountSync::Stopped:
        m_ui->lblSummary->setText(QStringLiteral(
            "همگام‌سازی متوقف شد؛ همگام‌سازی بعدی کار را "
            "تمام می‌کند."));
        break;
    case AccountSync::Failed:
        fail(QStringLiteral("همگام‌سازی نشد:\n%1").arg(outcome.why));
        break;
    }
    // A password the server took is worth keeping, once the report shows.
    if (outcome.result == AccountSync::Synced)
        keepPassword();
    emit ended(outcome);
}

void SyncDialog::showReport(const AccountSync::Outcome &outcome)
{
    const SyncReport &r = outcome.report;
    const QStringList summary{
        // The whole address reads left to right, its last slash too.
        QStringLiteral("همگام شد با \u2066%1\u2069")
            .arg(outcome.book.toString(QUrl::RemoveUserInfo)),
        QStringLiteral("• فرستاده به سرور: %1").arg(r.sent),
        QStringLiteral("• دریافت از سرور: %1").arg(r.received),
        QStringLiteral("• تغییر: %1").arg(r.changedThere + r.changedHere),
        QStringLiteral("• حذف: %1").arg(r.deletedThere + r.deletedHere),
        QStringLiteral("• ناسازگاری: %1").arg(r.conflicts.size()),
    };
    m_ui->lblSummary->setText(summary.join(u'\n'));
    QStringList lines;
    for (const QString &c : r.conflicts)
        lines << BidiText::isolated(QStringLiteral("ناسازگاری: %1").arg(c));
    for (const QString &line : r.losses + r.skipped)
        lines << BidiText::isolated(line);
    m_ui->txtReport->setPlainText(lines.join(u'\n'));
    m_ui->cmdDetails->setVisible(!lines.isEmpty());
    m_ui->cmdDetails->setChecked(false);
}

void SyncDialog::showDetails(bool shown)
{
    m_ui->cmdDetails->setArrowType(shown ? Qt::DownArrow : Qt::LeftArrow);
    m_ui->txtReport->setVisible(shown);
    // Folded, the dialog is only as tall as the summary.
    if (!shown)
        resize(width(), minimumSizeHint().height());
}

void SyncDialog::showBooks(const QList<AddressBook> &books)
{
    m_ui->lstBooks->clear();
    for (const AddressBook &b : books) {
        auto *item = new QListWidgetItem(QStringLiteral("%1  (%2)")
                                             .arg(b.name.isEmpty() ? b.url.path() : b.name,
                                                  b.url.toString(QUrl::RemoveUserInfo)),
                                         m_ui->lstBooks);
        item->setData(Qt::UserRole, b.url);
    }
    m_ui->lstBooks->setCurrentRow(0);
    m_ui->lblBooks->show();
    m_ui->lstBooks->show();
    m_ui->lblSummary->setText(QStringLiteral(
        "یکی از دفترچه‌ها را برگزینید و دوباره «همگام کن» "
        "را بزنید."));
    m_ui->lstBooks->setFocus();
}
