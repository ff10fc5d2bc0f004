#include "mainwindow/EditPage.h"

#include <QAbstractButton>

#include "HalvexInfo.h"
#include "platform/ModalBoxes.h"
#include "store/ContactStore.h"

EditPage::EditPage(const SearchPage::Controls &controls, QAbstractButton *save, ContactStore &store,
                   ModalBoxes &boxes, bool &hintCleared, QWidget *dialogParent)
    : QObject(dialogParent),
      m_search(new SearchPage(controls, store, boxes, hintCleared, dialogParent)),
      m_form(controls.fields, boxes, dialogParent), m_store(store), m_boxes(boxes),
      m_dialogParent(dialogParent)
{
    connect(save, &QAbstractButton::clicked, this, &EditPage::CmdSave_Click);
}

void EditPage::CmdSave_Click()
{
    if (!m_search->requireSelection())
        return;
    const std::optional<ContactRecord> record = m_form.record();
    if (!record)
        return;
    const qint64 n = m_search->SelectedRecord();
    const ContactRecord seen = m_search->selectedBytes();
    if (StoreError e = m_store.RewriteRecord(n, *record, &seen)) {
        m_boxes.critical(m_dialogParent, e.message(), QLatin1String(HalvexInfo::Name));
        return;
    }
    m_search->select(n, *record);
}
