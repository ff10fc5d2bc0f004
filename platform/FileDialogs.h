#pragma once

#include <optional>

#include <QString>
#include <QStringList>

class QWidget;

// The file dialogs of the program, so tests can answer them without a window.
// Filters are in Qt's form, "Name (*.ext)".
class FileDialogs
{
public:
    // A file to write and the filter it was chosen with, an index into filters.
    struct Saved
    {
        QString file;
        int filter = 0;
    };

    virtual ~FileDialogs() = default;
    // The chosen file; nullopt when the user cancels.
    virtual std::optional<QString> openFile(QWidget *parent, const QString &title,
                                            const QString &folder, const QString &filter) = 0;
    // The chosen files; empty when the user cancels.
    virtual QStringList openFiles(QWidget *parent, const QString &title, const QString &folder,
                                  const QString &filter) = 0;
    // Asks before replacing a file; nullopt when the user cancels.
    virtual std::optional<Saved> saveFile(QWidget *parent, const QString &title,
                                          const QString &folder, const QStringList &filters) = 0;
};
