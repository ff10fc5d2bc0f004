#pragma once

#include <vector>

#include <QObject>

#include "store/ContactRecord.h"

class ContactStore;
class FileDialogs;
class LastFolder;
class ModalBoxes;
class QPrinter;
class TodayDate;
struct FrmMainServices;

// The printed phone list from the window: a print preview, from which the
// system's print dialog prints, and a PDF file.
class DirectoryPrint : public QObject
{
    Q_OBJECT
public:
    DirectoryPrint(const FrmMainServices &services, LastFolder &folder, QWidget *window);

    void preview();
    void savePdf();

    // Paints the list on a printer, in slices between which the window
    // goes on; false when stopped.
    bool print(QPrinter &printer);

private:
    bool readRecords(std::vector<ContactRecord> &records);

    ContactStore &m_store;
    ModalBoxes &m_boxes;
    FileDialogs &m_fileDialogs;
    TodayDate &m_date;
    QWidget *m_window;
    LastFolder &m_folder;
};
