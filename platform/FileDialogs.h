#pragma once

#include <optional>

#include <QString>

class QWidget;

// The file dialogs of the program, so tests can answer them without a window.
class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    // The chosen file; nullopt when the user cancels. The filter is in Qt's
    // form, "Name (*.ext)".
    virtual std::optional<QString> openFile(QWidget *parent, const QString &title,
                                            const QString &folder, const QString &filter) = 0;
};
