#pragma once

#include <memory>

#include <QDialog>
#include <QStringList>

#include "contacts/ContactImport.h"

namespace Ui {
class ImportDialog;
}

// Asks before an import is written: how many contacts it adds, how many the
// directory then holds, a summary of what was changed or could not be kept,
// and, folded, every detailed line. Duplicates the import left out can be
// asked for after all.
class ImportDialog : public QDialog
{
    Q_OBJECT
public:
    ImportDialog(const ContactImport::Plan &plan, const QStringList &report,
                 QWidget *parent = nullptr);
    ~ImportDialog() override;

    bool addsDuplicates() const;

    QString countText() const;
    QString summaryText() const;
    QString reportText() const;
    bool detailsShown() const;

private:
    void showCount();
    void showDetails(bool shown);

    std::unique_ptr<Ui::ImportDialog> m_ui;
    qint64 m_adding;
    qint64 m_total;
    qint64 m_duplicates;
};
