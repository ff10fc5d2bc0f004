#pragma once

#include <QString>

// Where the password comes from: a file only its owner can read, or the
// terminal, without echo. Never the command line.
class Credentials
{
public:
    // The file's first line. False with why, also when others may read it.
    static bool fromFile(const QString &path, QString &password, QString &why);

    // False when standard input is no terminal.
    static bool ask(const QString &prompt, QString &password);
    static bool onTerminal();
};
