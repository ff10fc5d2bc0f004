#include "platform/QtModalBoxes.h"

#include <QDialogButtonBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

// A shortcut mark inside a Persian word splits its joined letters ("ب له");
// Enter and Esc answer the boxes, so the marks go.
QString withoutShortcut(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&')
            text.remove(i, 1); // "&&" leaves one "&", as it should
    }
    return text;
}

} // namespace

bool QtModalBoxes::isRightToLeft(const QString &text)
{
    return text.isRightToLeft();
}

ModalBoxes::Answer QtModalBoxes::message(QWidget *parent, const QString &text, const QString &title,
                                         Icon icon, Buttons buttons, Answer defaultAnswer)
{
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Information:
        box.setIcon(QMessageBox::Information);
        break;
    case NoIcon:
        break;
    }
    QMessageBox::StandardButtons set;
    switch (buttons) {
    case Ok:
        set = QMessageBox::Ok;
        break;
    case OkCancel:
        set = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case YesNo:
        set = QMessageBox::Yes | QMessageBox::No;
        break;
    case YesNoCancel:
        set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    }
    box.setStandardButtons(set);
    const auto toButton = [](Answer a) {
        switch (a) {
        case AnswerOk:
            return QMessageBox::Ok;
        case AnswerCancel:
            return QMessageBox::Cancel;
        case AnswerYes:
            return QMessageBox::Yes;
        case AnswerNo:
            return QMessageBox::No;
        }
        return QMessageBox::Ok;
    };
    box.setDefaultButton(toButton(defaultAnswer));
    for (QAbstractButton *button : box.buttons())
        button->setText(withoutShortcut(button->text()));
    if (isRightToLeft(text))
        box.setLayoutDirection(Qt::RightToLeft);

    switch (box.exec()) {
    case QMessageBox::Yes:
        return AnswerYes;
    case QMessageBox::No:
        return AnswerNo;
    case QMessageBox::Cancel:
        return AnswerCancel;
    default:
        // Closing a Yes/No box with Esc or the close box is not a Yes.
        return buttons == YesNo ? AnswerNo : AnswerOk;
    }
}

std::optional<QString> QtModalBoxes::input(QWidget *parent, const QString &prompt,
                                           const QString &title, const QString &defaultText)
{
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    {
        const QDialogButtonBox standard(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        dialog.setOkButtonText(withoutShortcut(standard.button(QDialogButtonBox::Ok)->text()));
        dialog.setCancelButtonText(
            withoutShortcut(standard.button(QDialogButtonBox::Cancel)->text()));
    }
    if (isRightToLeft(prompt))
        dialog.setLayoutDirection(Qt::RightToLeft);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

int QtModalBoxes::exec(QDialog &dialog)
{
    return dialog.exec();
}
