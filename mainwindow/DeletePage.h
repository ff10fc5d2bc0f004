#pragma once

#include <QObject>

#include "mainwindow/SearchPage.h"

struct FrmMainServices;

// The delete page: its own search selects a contact, and the delete button
// removes that record after the user confirms.
class DeletePage : public QObject
{
    Q_OBJECT
public:
    DeletePage(Ui::FrmMain &ui, const FrmMainServices &services, bool &hintCleared,
               QWidget *dialogParent);

    SearchPage *search() const { return m_search; }

private:
    void CmdDelete_Click();

    SearchPage *m_search;
    ContactStore &m_store;
    ModalBoxes &m_boxes;
    QWidget *m_dialogParent;
};
