#include "store/DataLocation.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "store/ContactStore.h"
#include "store/StoreIo.h"

namespace {

QString resolved(const QString &path)
{
    if (path.isEmpty())
        return {};
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QDir(path).absolutePath()) : canonical;
}

bool isDir(StoreIo *io, const QString &path)
{
    struct stat st;
    return io->stat(QFile::encodeName(path), st) == 0 && S_ISDIR(st.st_mode);
}

bool makePath(StoreIo *io, const QString &path, mode_t mode)
{
    if (isDir(io, path))
        return true;
    const QString parent = QFileInfo(path).absolutePath();
    if (parent != path && !makePath(io, parent, 0777))
        return false;
    return io->mkdir(QFile::encodeName(path), mode) == 0 || isDir(io, path);
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

bool DataLocation::prepare(const QString &baseFolder, StoreIo *io)
{
    io = io ? io : StoreIo::defaultIo();
    if (isDir(io, baseFolder))
        return true;
    // Parents as the user's umask has them; our own folder is private.
    return makePath(io, QFileInfo(baseFolder).absolutePath(), 0777) &&
           makePath(io, baseFolder, 0700);
}
