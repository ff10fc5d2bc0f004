#pragma once

#include <QObject>

#include "mainwindow/ContactForm.h"
#include "mainwindow/SearchPage.h"

struct FrmMainServices;

// The edit page: its own search selects a contact, and the save button
// rewrites that record from the page's boxes.
class EditPage : public QObject
{
    Q_OBJECT
public:
    EditPage(Ui::FrmMain &ui, const FrmMainServices &services, bool &hintCleared,
             QWidget *dialogParent);

    SearchPage *search() const { return m_search; }

private:
    void CmdSave_Click();

    SearchPage *m_search;
    ContactForm m_form;
    ContactStore &m_store;
    ModalBoxes &m_boxes;
    QWidget *m_dialogParent;
};
