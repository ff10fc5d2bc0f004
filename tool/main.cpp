#include <unistd.h>

#include <QCoreApplication>
#include <QFile>

#include "HalvexInfo.h"
#include "platform/Translations.h"
#include "sync/SyncCommand.h"
#include "tool/ContactsTool.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("halvex-contacts"));
    QCoreApplication::setApplicationVersion(QLatin1String(HalvexInfo::Version));

    // Unbuffered, so a full disk or closed pipe shows at the write that met it.
    QFile out, err, in;
    out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    in.open(STDIN_FILENO, QIODevice::ReadOnly);
    if (QCoreApplication::arguments().value(1) == QLatin1String("sync")) {
        Translations::install();
        return SyncCommand(QCoreApplication::applicationDirPath(), out, err)
            .run(QCoreApplication::arguments());
    }
    ContactsTool tool(QCoreApplication::applicationDirPath(), out, err, &in);
    // Qt's own words in the help and its parse errors, in Persian like the rest.
    tool.setQtWords([] { Translations::install(); });
    return tool.run(QCoreApplication::arguments());
}
