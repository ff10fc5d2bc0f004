#pragma once

#include <memory>

#include <QDialog>
#include <QStringList>

namespace Ui {
class ImportDialog;
}

// Asks before an import is written: how many contacts it adds, how many the
// directory then holds, and what could not be kept.
class ImportDialog : public QDialog
{
    Q_OBJECT
public:
    ImportDialog(qint64 adding, qint64 total, const QStringList &report, QWidget *parent = nullptr);
    ~ImportDialog() override;

    QString countText() const;
    QString reportText() const;

private:
    std::unique_ptr<Ui::ImportDialog> m_ui;
};
