#include "ExportFile.h"

#include <QSaveFile>

#include "ContactStore.h"

ExportFile::Outcome ExportFile::write(const ContactStore &store, ContactExport::Format format,
                                      const QString &target, QList<ExportWarning> &warnings,
                                      QString &why, FieldText::Yeh yeh,
                                      const std::atomic_bool *stop)
{
    // QSaveFile keeps the old file's permissions and syncs before the rename.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly)) {
        why = file.errorString();
        return WriteFailed;
    }
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
