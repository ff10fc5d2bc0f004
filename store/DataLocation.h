#pragma once

#include <QString>

class StoreIo;

// Decides which folder holds the data folder File/. The program's own folder
// wins when it already has one or is not an installed copy; an installed
// program cannot write beside itself, so it keeps each user's data in their
// own data folder instead.
class DataLocation
{
public:
    enum Kind
    {
        ProgramFolder, // File/ next to the program
        UserFolder,    // File/ in the per-user data folder
    };

    struct Inputs
    {
        QString programDir;      // the folder that holds the executable
        bool programHasFileDir;  // it already has File/ in any letter case
        QString installedBinDir; // the install prefix's bin folder, from the build
        QString userDataDir;     // e.g. ~/.local/share/Halvex
    };

    // The pure decision; paths are compared after resolving links.
    static Kind decide(const Inputs &in);

    // The folder that holds (or will hold) File/ for this run of a program
    // living in programDir.
    static QString baseFolder(const QString &programDir);
    static Kind kind(const QString &programDir);

    // Creates the per-user base folder (mode 0700) when it is the one chosen.
    // False when it could not be made; the store then names the path.
    static bool prepare(const QString &baseFolder, StoreIo *io = nullptr);

    static QString installedBinDir();
    static QString userDataDir();
};
