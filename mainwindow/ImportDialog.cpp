#include "mainwindow/ImportDialog.h"

#include <QPushButton>
#include <QTextDocument>
#include <QTextOption>

#include "ui_ImportDialog.h"

ImportDialog::ImportDialog(qint64 adding, qint64 total, const QStringList &report, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ImportDialog>())
{
    m_ui->setupUi(this);
    m_ui->lblCount->setText(
        QStringLiteral("%1 مخاطب افزوده مي شود و دفترچه پس از آن %2 مخاطب خواهد داشت.")
            .arg(adding)
            .arg(total));
    m_ui->lblReport->setText(
        report.isEmpty() ? QStringLiteral("همه چيز همان طور که در فايل است نگه داشته مي شود.")
                         : QStringLiteral("آنچه از اين فايلها نگه داشته نمي شود:"));
    m_ui->txtReport->setVisible(!report.isEmpty());
    m_ui->txtReport->setPlainText(report.join(u'\n'));
    // A line starts with the file's Latin name; it is still a Persian sentence.
    QTextOption rightToLeft = m_ui->txtReport->document()->defaultTextOption();
    rightToLeft.setTextDirection(Qt::RightToLeft);
    rightToLeft.setAlignment(Qt::AlignRight);
    m_ui->txtReport->document()->setDefaultTextOption(rightToLeft);
    connect(m_ui->cmdImport, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    m_ui->cmdImport->setFocus();
}

ImportDialog::~ImportDialog() = default;

QString ImportDialog::countText() const
{
    return m_ui->lblCount->text();
}

QString ImportDialog::reportText() const
{
    return m_ui->txtReport->toPlainText();
}
