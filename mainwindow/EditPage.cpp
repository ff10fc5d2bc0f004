#include "mainwindow/EditPage.h"

#include <QAbstractButton>

#include "mainwindow/FrmMainServices.h"
#include "mainwindow/WindowTitle.h"
#include "platform/ModalBoxes.h"
#include "store/ContactStore.h"
#include "ui_FrmMain.h"

EditPage::EditPage(Ui::FrmMain &ui, const FrmMainServices &services, bool &hintCleared,
                   QWidget *dialogParent)
    : QObject(dialogParent), m_search(new SearchPage(ui, SearchPage::Tab::Edit, services.store,
                                                     services.boxes, hintCleared, dialogParent)),
      m_form(SearchPage::controls(ui, SearchPage::Tab::Edit).fields, services.boxes, dialogParent),
      m_store(services.store), m_boxes(services.boxes), m_dialogParent(dialogParent)
{
    connect(ui.CmdSave, &QAbstractButton::clicked, this, &EditPage::CmdSave_Click);
}

void EditPage::CmdSave_Click()
{
    if (!m_search->requireSelection())
        return;
    const qint64 n = m_search->SelectedRecord();
    const ContactRecord seen = m_search->selectedBytes();
    const std::optional<ContactRecord> record = m_form.record(&seen);
    if (!record)
        return;
    if (StoreError e = m_store.RewriteRecord(n, *record, &seen)) {
        m_boxes.critical(m_dialogParent, e.message(), kTitle);
        return;
    }
    m_search->select(n, *record);
}
