#pragma once

#include <optional>

#include <QString>

class QDialog;
class QWidget;

// Every message and input box of the program goes through here, so tests can
// answer them and see what was asked.
class ModalBoxes
{
public:
    enum Icon
    {
        NoIcon,
        Critical,
        Question,
        Exclamation,
        Information
    };
    enum Buttons
    {
        Ok,
        OkCancel,
        YesNo,
        YesNoCancel
    };
    enum Answer
    {
        AnswerOk,
        AnswerCancel,
        AnswerYes,
        AnswerNo
    };

    virtual ~ModalBoxes() = default;

    virtual Answer message(QWidget *parent, const QString &text, const QString &title, Icon icon,
                           Buttons buttons, Answer defaultAnswer) = 0;
    // nullopt when the user cancels.
    virtual std::optional<QString> input(QWidget *parent, const QString &prompt,
                                         const QString &title, const QString &defaultText) = 0;
    // Any other modal dialog of the program: its result, QDialog::Accepted or
    // Rejected.
    virtual int exec(QDialog &dialog) = 0;

    Answer critical(QWidget *parent, const QString &text, const QString &title)
    {
        return message(parent, text, title, Critical, Ok, AnswerOk);
    }
};
