#include "mainwindow/DeletePage.h"

#include <QAbstractButton>

#include "mainwindow/FrmMainServices.h"
#include "mainwindow/WindowTitle.h"
#include "platform/ModalBoxes.h"
#include "store/ContactStore.h"
#include "ui_FrmMain.h"

DeletePage::DeletePage(Ui::FrmMain &ui, const FrmMainServices &services, bool &hintCleared,
                       QWidget *dialogParent)
    : QObject(dialogParent), m_search(new SearchPage(ui, SearchPage::Tab::Delete, services.store,
                                                     services.boxes, hintCleared, dialogParent)),
      m_store(services.store), m_boxes(services.boxes), m_dialogParent(dialogParent)
{
    connect(ui.CmdDelete, &QAbstractButton::clicked, this, &DeletePage::CmdDelete_Click);
}

void DeletePage::CmdDelete_Click()
{
    if (!m_search->requireSelection())
        return;
    const ModalBoxes::Answer answer = m_boxes.message(
        m_dialogParent, QStringLiteral("آيا مطمئن به حذف اين گزينه از ليست هستيد؟"),
        QStringLiteral("حذف"), ModalBoxes::Question, ModalBoxes::YesNo, ModalBoxes::AnswerYes);
    if (answer != ModalBoxes::AnswerYes)
        return;
    const ContactRecord seen = m_search->selectedBytes();
    if (StoreError e = m_store.DeleteRecord(m_search->SelectedRecord(), &seen)) {
        if (!e.tookEffect()) {
            m_boxes.critical(m_dialogParent, e.message(), kTitle);
            return;
        }
        m_boxes.message(m_dialogParent, e.message(), kTitle, ModalBoxes::Exclamation,
                        ModalBoxes::Ok, ModalBoxes::AnswerOk);
    }
    // The boxes keep the removed contact; the number now names its successor.
    m_search->clearSelection();
}
