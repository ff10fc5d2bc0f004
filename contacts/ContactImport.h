#pragma once

#include <functional>

#include <QByteArray>
#include <QList>
#include <QString>

#include "ContactDraft.h"

class ContactStore;

// One file to import, already read.
struct ImportSource
{
    QString name; // as the user gave it, for messages
    QByteArray bytes;
};

// Reads every file first, then appends all their contacts in one all-or-nothing
// write of the store. Nothing is written when any file cannot be read or the
// total would pass 32767.
class ContactImport
{
public:
    enum Format
    {
        Auto,
        Vcard,
        Csv
    };
    using Sink = std::function<void(const QString &line)>;

    // report gets the per-contact loss lines and the errors; summary the outcome.
    ContactImport(ContactStore &store, Sink report, Sink summary);

    // 0 on success, 1 on a failure.
    int run(const QList<ImportSource> &sources, Format format, bool dryRun);

    // A vCard file of at least this many bytes is read by two threads, each
    // half of it at once; the result is the same either way.
    void setTwoThreadsFrom(qsizetype bytes) { m_twoThreadsFrom = bytes; }

    // Whether a prepared text is read as vCards: asked for, or found so.
    static bool readsAsVcard(QByteArrayView text, Format format);

    // Reads one file, handing each contact to take while the input is alive.
    static ReadResult read(QByteArray bytes, Format format, const DraftSink &take);

private:
    ContactStore &m_store;
    Sink m_report;
    Sink m_summary;
    qsizetype m_twoThreadsFrom = 256 * 1024; // below it a thread costs more than it saves
};
