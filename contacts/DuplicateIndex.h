#pragma once

#include <vector>

#include <QByteArrayView>
#include <QHash>
#include <QtGlobal>

#include "store/ContactRecord.h"

// Answers "is this record a duplicate of one added?" in a few look-ups,
// whatever the number of records of one name.
class DuplicateIndex
{
public:
    void reserve(qsizetype records);
    void add(const ContactRecord &record) { addIfNew(record, true); }
    bool contains(const ContactRecord &record) const;
    // Adds the record unless it is a duplicate of one added (or always with
    // force); true when it was no duplicate.
    bool addIfNew(const ContactRecord &record, bool force = false);

    // The name and family as people mean them: ي/ی and ك/ک one letter, without
    // ZWNJ or surrounding spaces. Returns its length in out, which has room
    // for both fields and their two lengths.
    static constexpr int NameRoom = 2 + 15 + 20;
    static int foldName(const ContactRecord &record, char *out);
    static bool sameName(const ContactRecord &a, const ContactRecord &b);
    // A field without surrounding spaces.
    static QByteArrayView value(const ContactRecord &record, ContactRecord::Field field);
    // Of a kind of key, the folded name and two numbers.
    static quint64 hash(char kind, QByteArrayView name, QByteArrayView phone,
                        QByteArrayView mobile);

private:
    bool found(const ContactRecord &record, QByteArrayView name, bool nameKnown) const;
    void addNumberKeys(qint32 at, QByteArrayView name);

    // A hash names the first record added with its key; a look-up checks that
    // record, so that two keys of one hash never make a duplicate.
    QHash<quint64, qint32> m_first;
    std::vector<ContactRecord> m_records;
    // The number keys of a name are made once a second record has it: most
    // names come once, and need only their own key.
    std::vector<bool> m_alone;
};
