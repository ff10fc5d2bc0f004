#pragma once

#include <functional>

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include "contacts/ContactImport.h"

class QAbstractItemView;
class QAction;
class QMenu;
class QMimeData;
class QPoint;
class ContactStore;
class FileDialogs;
class ModalBoxes;

// The directory in and out of the window: import from vCard and CSV files
// (chosen or dropped), export to one, and the list's context menu that
// offers these and the printed list.
class DirectoryTransfer : public QObject
{
    Q_OBJECT
public:
    struct Services
    {
        ContactStore &store;
        ModalBoxes &boxes;
        FileDialogs &fileDialogs;
    };
    // imported: the records the data file holds after an import.
    using Imported = std::function<void(qint64 recordsAfter)>;

    // A read import, not yet written.
    struct Prepared
    {
        bool ok = false;
        bool stopped = false;
        ContactImport::Plan plan;
        QStringList report; // the losses, or what went wrong
    };

    DirectoryTransfer(QAbstractItemView *list, const Services &services, Imported imported,
                      QWidget *window);

    QMenu *menu() const { return m_menu; }
    QAction *printPreviewAction() const { return m_preview; }
    QAction *pdfAction() const { return m_pdf; }

    // Whether a drag brings files; the drop says which are refused.
    static bool bringsFiles(const QMimeData *data);
    void drop(const QList<QUrl> &urls);

    void importFiles(const QStringList &files);
    void exportAll();

    // The import without asking, in its two steps.
    Prepared prepareImport(const QStringList &files);
    bool commitImport(const Prepared &prepared);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showMenu(const QPoint &at);
    void fail(const QString &text);

    QAbstractItemView *m_list;
    ContactStore &m_store;
    ModalBoxes &m_boxes;
    FileDialogs &m_fileDialogs;
    Imported m_imported;
    QWidget *m_window;
    QString m_folder; // where the last file was chosen
    QMenu *m_menu = nullptr;
    QAction *m_preview = nullptr;
    QAction *m_pdf = nullptr;
};
