#include "mainwindow/DuplicatesDialog.h"

#include <QPushButton>
#include <QTreeWidget>

#include "mainwindow/ContactListModel.h"
#include "mainwindow/FieldCaptions.h"
#include "ui_DuplicatesDialog.h"

namespace {

constexpr ContactRecord::Field kShown[] = {ContactRecord::Name, ContactRecord::Family,
                                           ContactRecord::Phone, ContactRecord::Mobile};
constexpr int kIdColumn = 4;

} // namespace

DuplicatesDialog::DuplicatesDialog(const std::vector<ContactRecord> &records,
                                   const std::vector<DuplicateGroup> &groups, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::DuplicatesDialog>()), m_groups(groups)
{
    m_ui->setupUi(this);
    QTreeWidget *list = m_ui->lstGroups;
    QStringList captions;
    for (int c = 0; c <= kIdColumn; ++c)
        captions << FieldCaptions::of(c);
    list->setHeaderLabels(captions);
    m_ui->lblGroups->setText(
        QStringLiteral(
            "%1 گروه مخاطب تکراری پیدا شد. هر گروه علامت‌خورده در مخاطب اول "
            "خود "
            "ادغام می‌شود و بقیهٔ آن گروه حذف می‌شوند.")
            .arg(m_groups.size()));

    for (size_t g = 0; g < m_groups.size(); ++g) {
        const DuplicateGroup &group = m_groups[g];
        auto *item = new QTreeWidgetItem(list);
        item->setText(
            0, group.mergeable
                   ? QStringLiteral("گروه %1: %2 مخاطب").arg(g + 1).arg(group.positions.size())
                   : QStringLiteral("گروه %1: %2 مخاطب، با اطلاعات ناسازگار")
                         .arg(g + 1)
                         .arg(group.positions.size()));
        item->setFirstColumnSpanned(true);
        // A group that conflicts is shown, not offered.
        item->setFlags(group.mergeable ? Qt::ItemIsEnabled | Qt::ItemIsUserCheckable
                                       : Qt::ItemFlags());
        item->setCheckState(0, group.mergeable ? Qt::Checked : Qt::Unchecked);
        for (const qint64 position : group.positions) {
            const ContactRecord &r = records[size_t(position)];
            auto *line = new QTreeWidgetItem(item);
            for (int c = 0; c < int(std::size(kShown)); ++c)
                line->setText(c, ContactListModel::shownText(r, kShown[c]));
            line->setText(kIdColumn, QString::number(r.ID()));
            line->setFlags(group.mergeable ? Qt::ItemIsEnabled : Qt::ItemFlags());
        }
        item->setExpanded(true);
    }
    for (int c = 0; c <= kIdColumn; ++c)
        list->resizeColumnToContents(c);

    connect(list, &QTreeWidget::itemChanged, this, &DuplicatesDialog::countChosen);
    connect(m_ui->cmdMerge, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    countChosen();
}

DuplicatesDialog::~DuplicatesDialog() = default;

std::vector<DuplicateGroup> DuplicatesDialog::chosen() const
{
    std::vector<DuplicateGroup> out;
    for (int g = 0; g < m_ui->lstGroups->topLevelItemCount(); ++g)
        if (m_ui->lstGroups->topLevelItem(g)->checkState(0) == Qt::Checked &&
            m_groups[size_t(g)].mergeable)
            out.push_back(m_groups[size_t(g)]);
    return out;
}

void DuplicatesDialog::countChosen()
{
    m_ui->cmdMerge->setEnabled(!chosen().empty());
}
