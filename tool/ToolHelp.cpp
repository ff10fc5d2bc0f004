#include "tool/ToolHelp.h"

#include <QFile>

#include "contacts/ContactImport.h"
#include "contacts/CsvColumns.h"
#include "contacts/LossReport.h"
#include "store/ContactStore.h"

namespace {

// A text file ends in a line end; the description does not.
QString text(const QString &name)
{
    QFile file(QStringLiteral(":/help/%1.txt").arg(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

} // namespace

namespace ToolHelp {

QString description(const QString &command, const QString &dataFolder)
{
    const QString where =
        QStringLiteral("\n\n") + text(QStringLiteral("data-folder")).arg(dataFolder);
    if (command == QLatin1String("import"))
        return text(command)
                   .arg(ContactStore::MaxRecords)
                   .arg(ContactImport::MaxInput / (1024 * 1024))
                   .arg(LossReport::MaxLines) +
               QLatin1Char('\n') + CsvColumns::knownNames() + where;
    if (command == QLatin1String("export") || command == QLatin1String("list") ||
        command == QLatin1String("check") || command == QLatin1String("duplicates"))
        return text(command) + where;
    return text(QStringLiteral("tool")) + where;
}

} // namespace ToolHelp
