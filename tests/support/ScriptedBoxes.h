#pragma once

#include <functional>

#include <QDialog>
#include <QList>
#include <QString>

#include "platform/ModalBoxes.h"

// Answers boxes from a script and records every box shown. An unscripted box
// takes its default answer, so no test ever blocks.
class ScriptedBoxes : public ModalBoxes
{
public:
    struct Shown
    {
        bool input = false;
        QString text;
        QString title;
        Icon icon = NoIcon;
        Buttons buttons = Ok;
        Answer defaultAnswer = AnswerOk;
        QString defaultText;
    };

    QList<Shown> shown;
    QList<Answer> answers;
    QList<std::optional<QString>> inputs;
    // Each dialog is handed here while it is up (to read it, or to press its
    // buttons); its result is the one it then has, else Rejected.
    std::function<void(QDialog &)> onDialog;
    QStringList dialogs; // the window titles

    Answer message(QWidget *, const QString &text, const QString &title, Icon icon, Buttons buttons,
                   Answer defaultAnswer) override
    {
        shown.append({false, text, title, icon, buttons, defaultAnswer, {}});
        return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
    }
    std::optional<QString> input(QWidget *, const QString &prompt, const QString &title,
                                 const QString &defaultText) override
    {
        shown.append({true, prompt, title, NoIcon, OkCancel, AnswerOk, defaultText});
        return inputs.isEmpty() ? std::optional<QString>(defaultText) : inputs.takeFirst();
    }
    int exec(QDialog &dialog) override
    {
        dialogs.append(dialog.windowTitle());
        dialog.setResult(QDialog::Rejected);
        if (onDialog)
            onDialog(dialog);
        return dialog.result();
    }
    void reset()
    {
        onDialog = nullptr;
        dialogs.clear();
        shown.clear();
        answers.clear();
        inputs.clear();
    }
};
