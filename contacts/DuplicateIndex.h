#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>

#include "store/ContactRecord.h"

// Answers "is this record a duplicate of one added?" in a few look-ups,
// whatever the number of records of one name.
class DuplicateIndex
{
public:
    void reserve(qsizetype records) { m_keys.reserve(4 * records); }
    void add(const ContactRecord &record);
    bool contains(const ContactRecord &record) const;

    // The name and family as people mean them: ي/ی and ك/ک one letter, without
    // ZWNJ or surrounding spaces; equal keys are one name.
    static QByteArray nameKey(const ContactRecord &record);
    // A field without surrounding spaces.
    static QByteArrayView value(const ContactRecord &record, ContactRecord::Field field);
    // Appends the piece after its length, so that no two different lists of
    // pieces make one key.
    static void appendPiece(QByteArray &key, QByteArrayView piece);

private:
    QSet<QByteArray> m_keys;
};
