#pragma once

#include <QList>

#include "FileDialogs.h"

// Answers file dialogs from a script (cancel when it runs out) and records
// what each one was shown.
class ScriptedFileDialogs : public FileDialogs
{
public:
    struct Shown
    {
        QString title;
        QString folder;
        QString filter;
    };

    QList<Shown> shown;
    QList<std::optional<QString>> answers;

    std::optional<QString> openFile(QWidget *, const QString &title, const QString &folder,
                                    const QString &filter) override
    {
        shown.append({title, folder, filter});
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
};
