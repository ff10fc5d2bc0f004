#include "ContactForm.h"

#include <QLineEdit>

#include "HalvexInfo.h"
#include "IdNumber.h"
#include "ModalBoxes.h"

namespace {

constexpr int kIdBox = 4;

struct TextBox
{
    int box;
    ContactRecord::Field field;
};
constexpr TextBox kTextBoxes[] = {{0, ContactRecord::Name},
                                  {1, ContactRecord::Family},
                                  {2, ContactRecord::Phone},
                                  {3, ContactRecord::Mobile},
                                  {5, ContactRecord::Address}};

} // namespace

ContactForm::ContactForm(const Boxes &boxes, ModalBoxes &modal, QWidget *dialogParent)
    : m_boxes(boxes), m_modal(modal), m_dialogParent(dialogParent)
{
}

std::optional<ContactRecord> ContactForm::record() const
{
    QLineEdit *idBox = m_boxes[kIdBox];
    qint16 id = 0;
    if (const IdNumber::Result r = IdNumber::parse(idBox->text(), id); r != IdNumber::Ok) {
        m_modal.critical(m_dialogParent, IdNumber::message(r), QLatin1String(HalvexInfo::Name));
        idBox->setFocus();
        idBox->selectAll();
        return std::nullopt;
    }
    ContactRecord record;
    for (const TextBox &t : kTextBoxes)
        record.setText(t.field, m_boxes[size_t(t.box)]->text());
    record.setID(id);
    return record;
}

void ContactForm::clear()
{
    for (QLineEdit *box : m_boxes)
        box->clear();
}
