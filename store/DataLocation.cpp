#include "DataLocation.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "ContactStore.h"

namespace {

QString resolved(const QString &path)
{
    if (path.isEmpty())
        return {};
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QDir(path).absolutePath()) : canonical;
}

} // namespace

DataLocation::Kind DataLocation::decide(const Inputs &in)
{
    if (in.programHasFileDir)
        return ProgramFolder;
    const QString installed = resolved(in.installedBinDir);
    if (!installed.isEmpty() && !in.userDataDir.isEmpty() && resolved(in.programDir) == installed)
        return UserFolder;
    return ProgramFolder;
}

QString DataLocation::installedBinDir()
{
#ifdef HALVEX_INSTALL_BINDIR
    return QStringLiteral(HALVEX_INSTALL_BINDIR);
#else
    return {};
#endif
}

QString DataLocation::userDataDir()
{
    // Named here rather than taken from the application's name, so that the
    // program and the command-line tool agree.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/Halvex");
}

DataLocation::Kind DataLocation::kind(const QString &programDir)
{
    return decide(
        {programDir, ContactStore(programDir).hasDataFolder(), installedBinDir(), userDataDir()});
}

QString DataLocation::baseFolder(const QString &programDir)
{
    return kind(programDir) == UserFolder ? userDataDir() : programDir;
}

bool DataLocation::prepare(const QString &baseFolder)
{
    if (QFileInfo(baseFolder).isDir())
        return true;
    // Parents as the user's umask has them; our own folder is private.
    const QString parent = QFileInfo(baseFolder).absolutePath();
    if (!QDir().mkpath(parent))
        return false;
    if (::mkdir(QFile::encodeName(baseFolder).constData(), 0700) != 0)
        return QFileInfo(baseFolder).isDir();
    return true;
}
