#pragma once

#include <functional>

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include "contacts/ContactImport.h"

class QMimeData;
class ContactStore;
class FileDialogs;
class LastFolder;
class ModalBoxes;
struct FrmMainServices;

// The directory in and out of the window: import from vCard and CSV files
// (chosen or dropped), and export to one.
class DirectoryTransfer : public QObject
{
    Q_OBJECT
public:
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

    DirectoryTransfer(const FrmMainServices &services, LastFolder &folder, Imported imported,
                      QWidget *window);

    // Whether a drag brings files; the drop says which are refused.
    static bool bringsFiles(const QMimeData *data);
    void drop(const QList<QUrl> &urls);

    // Asks for the files, then imports them.
    void chooseAndImport();
    void importFiles(const QStringList &files);
    void exportAll();

    // The import without asking, in its two steps.
    Prepared prepareImport(const QStringList &files, bool addDuplicates = false);
    bool commitImport(const Prepared &prepared);

private:
    void fail(const QString &text);

    ContactStore &m_store;
    ModalBoxes &m_boxes;
    FileDialogs &m_fileDialogs;
    Imported m_imported;
    QWidget *m_window;
    LastFolder &m_folder;
};
