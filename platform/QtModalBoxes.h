#pragma once

#include "platform/ModalBoxes.h"

// QMessageBox and QInputDialog, laid out right to left for Persian texts.
class QtModalBoxes : public ModalBoxes
{
public:
    Answer message(QWidget *parent, const QString &text, const QString &title, Icon icon,
                   Buttons buttons, Answer defaultAnswer) override;
    std::optional<QString> input(QWidget *parent, const QString &prompt, const QString &title,
                                 const QString &defaultText) override;
    int exec(QDialog &dialog) override;

    static bool isRightToLeft(const QString &text);
};
