#include "QtFileDialogs.h"

#include <QFileDialog>

std::optional<QString> QtFileDialogs::openFile(QWidget *parent, const QString &title,
                                               const QString &folder, const QString &filter)
{
    const QString file = QFileDialog::getOpenFileName(parent, title, folder, filter);
    if (file.isEmpty())
        return std::nullopt;
    return file;
}
