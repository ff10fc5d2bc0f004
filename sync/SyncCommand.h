#pragma once

#include <QString>
#include <QStringList>

class QIODevice;

// halvex-contacts sync URL: parses the command, finds the address book, gets
// the password, runs the sync and reports. Exit status 0 on success, 1 on a
// failure, 2 on a usage error, as for the tool's other commands.
class SyncCommand
{
public:
    SyncCommand(QString programDir, QIODevice &out, QIODevice &err);

    // arguments[0] is the program, arguments[1] "sync".
    int run(const QStringList &arguments);

private:
    int usage(const QString &message);
    void say(QIODevice &device, const QString &line);

    QString m_programDir;
    QIODevice &m_out;
    QIODevice &m_err;
};
