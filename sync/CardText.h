#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include "contacts/ContactDraft.h"
#include "contacts/VcardWriter.h"
#include "store/ContactRecord.h"

// What the data file takes from one card, and the numbers the reader chose,
// so that an edit finds their TEL lines again.
struct CardContact
{
    ContactRecord record;
    bool hasId = false; // the card carries our ID property
    QString phone;
    QString mobile;
    qsizetype phoneLine = 0; // where their TEL lines begin in the card; 0: none
    qsizetype mobileLine = 0;
    QString label; // the name, for messages
    QList<DraftNote> notes;
};

// Cards as the server holds them: read with the import's reader, written with
// the export's writer, and edited line by line so that whatever the record
// does not hold stays exactly as it was.
class CardText
{
public:
    // A bigger card is left alone: no contact needs it, and it may be a trap.
    static constexpr qsizetype MaxCard = 1024 * 1024;

    // False with why when the text is no card.
    static bool read(const QByteArray &card, qint16 proposedId, CardContact &out, QString &why);

    // A new card for the record, with its own UID.
    static QByteArray create(const ContactRecord &record, VcardWriter::Version version,
                             const QByteArray &uid);

    // The card with the fields that differ between base and now written anew,
    // each in the line it was read from, in that line's form (folded, quoted-
    // printable, grouped, a URI): FN and N's family and given names, the TEL
    // lines took names, the first ADR and our ID. Every other line stays byte
    // for byte. An edited card's REV becomes when; a 4.0 card gets one.
    static QByteArray edit(const QByteArray &card, const CardContact &took,
                           const ContactRecord &base, const ContactRecord &now,
                           const QDateTime &when = QDateTime::currentDateTimeUtc());

    static VcardWriter::Version versionOf(const QByteArray &card);
};
