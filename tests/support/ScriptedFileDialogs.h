#pragma once

#include <QList>

#include "platform/FileDialogs.h"

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
    QList<QStringList> manyAnswers; // for openFiles
    QList<std::optional<Saved>> saveAnswers;
    QList<QStringList> saveFilters; // what each save dialog offered

    std::optional<QString> openFile(QWidget *, const QString &title, const QString &folder,
                                    const QString &filter) override
    {
        shown.append({title, folder, filter});
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
    QStringList openFiles(QWidget *, const QString &title, const QString &folder,
                          const QString &filter) override
    {
        shown.append({title, folder, filter});
        return manyAnswers.isEmpty() ? QStringList() : manyAnswers.takeFirst();
    }
    std::optional<Saved> saveFile(QWidget *, const QString &title, const QString &folder,
                                  const QStringList &filters) override
    {
        shown.append({title, folder, filters.join(QStringLiteral(";;"))});
        saveFilters.append(filters);
        return saveAnswers.isEmpty() ? std::nullopt : saveAnswers.takeFirst();
    }
};
