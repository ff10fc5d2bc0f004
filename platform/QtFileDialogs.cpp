#include "platform/QtFileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>

std::optional<QString> QtFileDialogs::openFile(QWidget *parent, const QString &title,
                                               const QString &folder, const QString &filter)
{
    const QString file = QFileDialog::getOpenFileName(parent, title, folder, filter);
    if (file.isEmpty())
        return std::nullopt;
    return file;
}

QStringList QtFileDialogs::openFiles(QWidget *parent, const QString &title, const QString &folder,
                                     const QString &filter)
{
    return QFileDialog::getOpenFileNames(parent, title, folder, filter);
}

std::optional<FileDialogs::Saved> QtFileDialogs::saveFile(QWidget *parent, const QString &title,
                                                          const QString &folder,
                                                          const QStringList &filters)
{
    QFileDialog dialog(parent, title, folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    // A name typed without a suffix takes the chosen type's, before the
    // dialog asks whether to replace that file.
    const auto suffixOf = [](const QString &filter) {
        static const QRegularExpression first(QStringLiteral("\\*\\.(\\w+)"));
        return first.match(filter).captured(1);
    };
    dialog.setDefaultSuffix(suffixOf(filters.value(0)));
    // Choosing another type changes the suffix of the name already there
    // (Qt's own dialog), so a CSV is not saved as "halvex.vcf".
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString &filter) {
        const QString suffix = suffixOf(filter);
        dialog.setDefaultSuffix(suffix);
        auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        const QFileInfo typed(edit ? edit->text() : QString());
        if (edit && !suffix.isEmpty() && !typed.suffix().isEmpty() &&
            !filter.contains(QStringLiteral("*.") + typed.suffix(), Qt::CaseInsensitive))
            edit->setText(typed.completeBaseName() + u'.' + suffix);
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return Saved{dialog.selectedFiles().constFirst(),
                 std::max(0, int(filters.indexOf(dialog.selectedNameFilter())))};
}
