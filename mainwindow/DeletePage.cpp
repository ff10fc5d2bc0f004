#include "mainwindow/DeletePage.h"

#include <QAbstractButton>

#include "HalvexInfo.h"
#include "platform/ModalBoxes.h"
#include "store/ContactStore.h"

DeletePage::DeletePage(const SearchPage::Controls &controls, QAbstractButton *remove,
                       ContactStore &store, ModalBoxes &boxes, bool &hintCleared,
                       QWidget *dialogParent)
    : QObject(dialogParent),
      m_search(new SearchPage(controls, store, boxes, hintCleared, dialogParent)), m_store(store),
      m_boxes(boxes), m_dialogParent(dialogParent)
{
    connect(remove, &QAbstractButton::clicked, this, &DeletePage::CmdDelete_Click);
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
            m_boxes.critical(m_dialogParent, e.message(), QLatin1String(HalvexInfo::Name));
            return;
        }
        m_boxes.message(m_dialogParent, e.message(), QLatin1String(HalvexInfo::Name),
                        ModalBoxes::Exclamation, ModalBoxes::Ok, ModalBoxes::AnswerOk);
    }
    // The boxes keep the removed contact; the number now names its successor.
    m_search->clearSelection();
}
