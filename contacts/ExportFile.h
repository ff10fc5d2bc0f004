#pragma once

#include <atomic>

#include <QList>
#include <QString>

#include "contacts/ContactExport.h"

class QSaveFile;

// An export into a named file. The text goes into a new file beside it, which
// is synced and then renamed over it, so the name holds at every instant the
// whole old file or the whole new one.
class ExportFile
{
public:
    enum Outcome
    {
        Written,
        StoreFailed, // the data file could not be read; why says so
        WriteFailed, // the target could not be written; why says so
        Stopped
    };

    static Outcome write(const ContactStore &store, ContactExport::Format format,
                         const QString &target, QList<ExportWarning> &warnings, QString &why,
                         FieldText::Yeh yeh = FieldText::Yeh::Persian,
                         const std::atomic_bool *stop = nullptr);

    // Opens a file to be renamed over its name on commit; a new one is made
    // readable by its owner only.
    static bool openPrivate(QSaveFile &file, QString &why);
};
