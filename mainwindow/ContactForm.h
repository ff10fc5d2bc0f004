#pragma once

#include <array>
#include <optional>

#include "store/ContactRecord.h"

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

    // Nothing when the number is bad, or when asked whether to store a text
    // cut to its field (or a number in its fitted form) the user says No; the
    // boxes stay as they were typed. A box that still shows its field of
    // `shown` keeps that field's stored bytes.
    std::optional<ContactRecord> record(const ContactRecord *shown = nullptr) const;

    void clear();

private:
    // Numbers that fit once written the usual way go in that form if the user agrees.
    bool userAcceptsCuts(ContactRecord &record) const;

    Boxes m_boxes;
    ModalBoxes &m_modal;
    QWidget *m_dialogParent;
};
