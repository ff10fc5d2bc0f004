#include "contacts/ExportFile.h"

#include <QFileInfo>
#include <QSaveFile>

#include "store/ContactStore.h"

bool ExportFile::openPrivate(QSaveFile &file, QString &why)
{
    // A new file holds the directory, so it is the user's alone, as the data
    // file is; a file that was there keeps its own permissions.
    const bool existed = QFileInfo::exists(file.fileName());
    if (!file.open(QIODevice::WriteOnly) ||
        (!existed && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))) {
        why = file.errorString();
        return false;
    }
    return true;
}

ExportFile::Outcome ExportFile::write(const ContactStore &store, ContactExport::Format format,
                                      const QString &target, QList<ExportWarning> &warnings,
                                      QString &why, FieldText::Yeh yeh,
                                      const std::atomic_bool *stop)
{
    // QSaveFile keeps the old file's permissions and syncs before the rename.
    QSaveFile file(target);
    if (!openPrivate(file, why))
        return WriteFailed;
    bool stopped = false;
    bool sinkFailed = false;
    const StoreError e = ContactExport::run(
        store, format,
        [&](QByteArrayView piece) {
            if (stop && stop->load(std::memory_order_relaxed)) {
                stopped = true;
                return false;
            }
            return file.write(piece.constData(), piece.size()) == piece.size();
        },
        warnings, sinkFailed, yeh);
    if (stopped)
        return Stopped;
    if (e) {
        why = e.message();
        return StoreFailed;
    }
    if (sinkFailed || !file.commit()) {
        why = file.errorString();
        return WriteFailed;
    }
    return Written;
}
