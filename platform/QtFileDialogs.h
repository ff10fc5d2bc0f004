#pragma once

#include "platform/FileDialogs.h"

class QtFileDialogs : public FileDialogs
{
public:
    std::optional<QString> openFile(QWidget *parent, const QString &title, const QString &folder,
                                    const QString &filter) override;
    QStringList openFiles(QWidget *parent, const QString &title, const QString &folder,
                          const QString &filter) override;
    std::optional<Saved> saveFile(QWidget *parent, const QString &title, const QString &folder,
                                  const QStringList &filters) override;
};
