#pragma once

#include <array>
#include <optional>

#include "ContactRecord.h"

class QLineEdit;
class QWidget;
class ModalBoxes;

// The six boxes of the add or the edit page, read into the record to write.
// A text longer than its field is not cut without the user's word.
class ContactForm
{
public:
    using Boxes = std::array<QLineEdit *, 6>; // Name, Family, Phone, Mobile, ID, Address

    ContactForm(const Boxes &boxes, ModalBoxes &modal, QWidget *dialogParent);

    // Nothing when the number is bad or the user would rather shorten a text
    // himself; he has been told or asked, and the boxes are as he left them.
    std::optional<ContactRecord> record() const;

    void clear();
    QLineEdit *box(int i) const { return m_boxes[size_t(i)]; }

private:
    bool userAcceptsCuts(const ContactRecord &record) const;

    Boxes m_boxes;
    ModalBoxes &m_modal;
    QWidget *m_dialogParent;
};
