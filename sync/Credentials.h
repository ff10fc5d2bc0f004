#pragma once

#include <QString>

// Where the password comes from: a file only its owner can read, or the
// terminal, without echo. Never the command line.
class Credentials
{
public:
    static constexpr qsizetype MaxRead = 4096;

    // The file's first line, from its first MaxRead bytes. False with why,
    // also when others may read it or it is no regular file.
    static bool fromFile(const QString &path, QString &password, QString &why);

    // False when standard input is no terminal.
    static bool ask(const QString &prompt, QString &password);
    static bool onTerminal();
};
