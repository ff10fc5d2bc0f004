#pragma once

#include <optional>

#include <QString>
#include <QStringList>
#include <QUrl>

class DavClient;
class DavTransport;
class QCommandLineParser;
class QIODevice;
struct AddressBook;
struct SyncReport;

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
    struct Settings
    {
        QUrl url;
        QString user;
        QString password;
        bool fromKeyring = false;
    };

    // Each step returns the exit status when the command ends there.
    std::optional<int> parse(QCommandLineParser &parser, const QStringList &arguments,
                             Settings &settings);
    std::optional<int> login(const QCommandLineParser &parser, DavClient &client,
                             Settings &settings);
    std::optional<int> chooseBook(DavTransport &client, const Settings &settings,
                                  AddressBook &book);
    // The report, and the exit status; failure is empty on success.
    int tell(const SyncReport &report, const QString &failure, bool dryRun,
             const AddressBook &book);
    int usage(const QString &message);
    void say(QIODevice &device, const QString &line);

    QString m_programDir;
    QIODevice &m_out;
    QIODevice &m_err;
};
