#pragma once

#include <memory>
#include <vector>

#include <QDialog>

#include "contacts/DuplicateGroup.h"
#include "store/ContactRecord.h"

namespace Ui {
class DuplicatesDialog;
}

// Lists the groups of duplicate contacts, one record a line under its group,
// and asks which groups to merge. A group whose fields conflict is listed
// but cannot be chosen.
class DuplicatesDialog : public QDialog
{
    Q_OBJECT
public:
    DuplicatesDialog(const std::vector<ContactRecord> &records,
                     const std::vector<DuplicateGroup> &groups, QWidget *parent = nullptr);
    ~DuplicatesDialog() override;

    // The groups checked when the dialog was closed.
    std::vector<DuplicateGroup> chosen() const;

private:
    void countChosen();

    std::unique_ptr<Ui::DuplicatesDialog> m_ui;
    std::vector<DuplicateGroup> m_groups;
};
