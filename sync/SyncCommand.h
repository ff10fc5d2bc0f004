#pragma once

#include <optional>

#include <QByteArray>
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
        QByteArray certificate; // trusted besides the system's (PEM)
        bool remember = false;  // the outcome goes into the saved account
    };

    // Each step returns the exit status when the command ends there.
    std::optional<int> parse(QCommandLineParser &parser, const QStringList &arguments,
                             Settings &settings);
    // No URL given: the saved account, else the timer's old environment.
    std::optional<int> saved(const QCommandLineParser &parser, Settings &settings);
    std::optional<int> login(const QCommandLineParser &parser, DavClient &client,
                             Settings &settings);
    std::optional<int> chooseBook(DavTransport &client, const Settings &settings, bool create,
                                  AddressBook &book);
    void keep(const Settings &settings, const AddressBook &book, const SyncReport &report,
              const QString &failure);
    // The report, and the exit status; failure is empty on success.
    int tell(const SyncReport &report, const QString &failure, bool dryRun,
             const AddressBook &book);
    int usage(const QString &message);
    void say(QIODevice &device, const QString &line);

    QString m_programDir;
    QIODevice &m_out;
    QIODevice &m_err;
};
