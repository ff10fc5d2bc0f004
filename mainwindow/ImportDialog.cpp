#include "mainwindow/ImportDialog.h"

#include <QPushButton>
#include <QTextDocument>
#include <QTextOption>

#include "mainwindow/BidiText.h"
#include "ui_ImportDialog.h"

ImportDialog::ImportDialog(const ContactImport::Plan &plan, const QStringList &report,
                           QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ImportDialog>()),
      m_adding(qint64(plan.records.size())), m_total(plan.total()),
      m_duplicates(plan.duplicatesLeftOut)
{
    m_ui->setupUi(this);
    showCount();

    QStringList summary;
    // The mark makes each line a right-to-left paragraph, whatever it starts with.
    for (const auto &line : plan.summary)
        summary << QStringLiteral("\u200F• ") + BidiText::isolated(line.first);
    if (summary.isEmpty() && report.isEmpty())
        summary << QStringLiteral("همه چيز همان طور که در فايل است نگه داشته مي شود.");
    m_ui->lblSummary->setText(summary.join(u'\n'));

    m_ui->chkDuplicates->setVisible(m_duplicates > 0);
    m_ui->chkDuplicates->setChecked(false);
    connect(m_ui->chkDuplicates, &QCheckBox::toggled, this, &ImportDialog::showCount);

    QStringList lines;
    lines.reserve(report.size());
    for (const QString &line : report)
        lines << BidiText::isolated(line);
    m_ui->txtReport->setPlainText(lines.join(u'\n'));
    // A line starts with the file's Latin name; it is still a Persian sentence.
    QTextOption rightToLeft = m_ui->txtReport->document()->defaultTextOption();
    rightToLeft.setTextDirection(Qt::RightToLeft);
    rightToLeft.setAlignment(Qt::AlignRight);
    m_ui->txtReport->document()->setDefaultTextOption(rightToLeft);
    m_ui->cmdDetails->setVisible(!report.isEmpty());
    connect(m_ui->cmdDetails, &QToolButton::toggled, this, &ImportDialog::showDetails);
    showDetails(false);

    connect(m_ui->cmdImport, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    m_ui->cmdImport->setFocus();
}

ImportDialog::~ImportDialog() = default;

void ImportDialog::showCount()
{
    const qint64 more = addsDuplicates() ? m_duplicates : 0;
    m_ui->lblCount->setText(
        QStringLiteral("%1 مخاطب افزوده مي شود و دفترچه پس از آن %2 مخاطب خواهد داشت.")
            .arg(m_adding + more)
            .arg(m_total + more));
}

void ImportDialog::showDetails(bool shown)
{
    m_ui->cmdDetails->setArrowType(shown ? Qt::DownArrow : Qt::LeftArrow);
    m_ui->txtReport->setVisible(shown);
    // Folded, the dialog is only as tall as the summary.
    if (!shown)
        resize(width(), minimumSizeHint().height());
}

bool ImportDialog::addsDuplicates() const
{
    return m_ui->chkDuplicates->isChecked();
}

QString ImportDialog::countText() const
{
    return m_ui->lblCount->text();
}

QString ImportDialog::summaryText() const
{
    return m_ui->lblSummary->text();
}

QString ImportDialog::reportText() const
{
    return m_ui->txtReport->toPlainText();
}

bool ImportDialog::detailsShown() const
{
    return m_ui->cmdDetails->isChecked();
}
