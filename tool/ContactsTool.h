#pragma once

#include <functional>

#include <QString>
#include <QStringList>

class QCommandLineParser;
class QIODevice;
class ContactStore;
class StoreIo;

// The halvex-contacts command line: export, import, list, check and duplicates. Exit status
// 0 on success, 1 on a failure, 2 on a usage error.
class ContactsTool
{
public:
    enum Status
    {
        Success = 0,
        Failure = 1,
        Usage = 2
    };

    // programDir holds the tool; the program beside it decides the default data
    // folder. in is standard input, for the file name "-".
    ContactsTool(QString programDir, QIODevice &out, QIODevice &err, QIODevice *in = nullptr,
                 StoreIo *io = nullptr);

    // arguments[0] is the program's name, as in QCoreApplication::arguments().
    int run(const QStringList &arguments);

    // Called once, just before Qt's own words (the help, a parse error) are
    // made: loading their translation costs more than a whole export's start.
    void setQtWords(std::function<void()> load) { m_qtWords = std::move(load); }

private:
    int exportContacts(const QCommandLineParser &parser);
    int importContacts(const QCommandLineParser &parser);
    int listContacts(const QCommandLineParser &parser);
    int checkContacts(const QCommandLineParser &parser);
    int duplicateContacts(const QCommandLineParser &parser);

    int usageError(const QString &message);
    ContactStore storeFor(const QCommandLineParser &parser, bool forWriting) const;
    QString defaultDataFolder() const;
    bool readableData(const ContactStore &store, qint64 &size);
    bool parse(QCommandLineParser &parser, const QStringList &arguments);

    QString m_programDir;
    QIODevice &m_out;
    QIODevice &m_err;
    QIODevice *m_in;
    StoreIo *m_io;
    std::function<void()> m_qtWords;
};
