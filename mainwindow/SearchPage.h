#pragma once

#include <array>

#include <QObject>

#include "store/ContactRecord.h"

class QAbstractButton;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;
class ContactStore;
class ModalBoxes;
namespace Ui {
class FrmMain;
}

// The one search procedure, given the controls of the search, edit or delete
// page. Edit and delete pages each keep their own selection, with the exact
// bytes of the record they show, so a save or delete can check it first.
class SearchPage : public QObject
{
    Q_OBJECT
public:
    struct Controls
    {
        QAbstractButton *search = nullptr;
        QLineEdit *key = nullptr;
        QLabel *modeLabel = nullptr;
        QRadioButton *optName = nullptr;
        QRadioButton *optFamily = nullptr;
        QRadioButton *optId = nullptr;
        std::array<QLineEdit *, 6> fields{}; // Name, Family, Phone, Mobile, ID, Address
        bool keepsSelection = false;
        bool focusKeyAfterSearch = false;
    };

    // The three pages that search, each with its own controls on the window.
    enum class Tab
    {
        Search,
        Edit,
        Delete
    };
    static Controls controls(Ui::FrmMain &ui, Tab tab);

    SearchPage(const Controls &controls, ContactStore &store, ModalBoxes &boxes, bool &hintCleared,
               QWidget *dialogParent);
    SearchPage(Ui::FrmMain &ui, Tab tab, ContactStore &store, ModalBoxes &boxes, bool &hintCleared,
               QWidget *dialogParent)
        : SearchPage(controls(ui, tab), store, boxes, hintCleared, dialogParent)
    {
    }

    void search();

    qint64 SelectedRecord() const { return m_selected; }
    const ContactRecord &selectedBytes() const { return m_selectedBytes; }
    void select(qint64 n, const ContactRecord &record);
    void clearSelection() { m_selected = 0; }
    // For the page's own button: true when this page's search selected a
    // contact, otherwise the user is told to search first.
    bool requireSelection();

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum Mode
    {
        ByName,
        ByFamily
    };
    enum Outcome
    {
        Completed,
        EndedByNo
    };

    Outcome textSearch(Mode mode);
    // The second question after several matches: the other name narrows them.
    Outcome narrowDown(Mode mode, const QByteArray &firstKey, qint64 matches);
    // The last record that matches, within the page's limit; false after an
    // error, which has been shown.
    template <typename Match>
    bool findLast(const Match &match, qint64 &last, ContactRecord &found, qint64 *count = nullptr);
    void idSearch();
    void show(const ContactRecord &record);
    void notFound(const QString &text);
    void focusKey();
    void optionChosen(const QString &caption, const QString &hint);
    bool scanLimitReached(qint64 n);

    Controls m_c;
    ContactStore &m_store;
    ModalBoxes &m_boxes;
    bool &m_hintCleared;
    QWidget *m_dialogParent;

    qint64 m_selected = 0;
    ContactRecord m_selectedBytes;
    bool m_skipped = false;
};
