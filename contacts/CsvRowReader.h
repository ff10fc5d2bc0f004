#pragma once

#include <vector>

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include "contacts/ContactDraft.h"
#include "contacts/CsvColumns.h"

// Turns the rows under a CSV header into contacts, the header's columns known.
// A row costs what its own fields cost, however wide the header: only the
// values of known columns are kept, and only until the row is read.
class CsvRowReader
{
public:
    // Names and values are UTF-8, else Windows-1256.
    explicit CsvRowReader(bool utf8) : m_utf8(utf8) {}

    // The header, a name at a time.
    void addName(QByteArrayView name);
    void clearNames();

    // Once the header is in; false when it names no column we know.
    bool classify();

    // A row, a field at a time, column c counted from 0.
    void beginRow();
    void addField(qsizetype c, QByteArrayView field);
    // The contact of the row just given, which began on line and is the
    // index-th of the file.
    ContactDraft read(qsizetype line, int index);

private:
    struct Value
    {
        quint32 column;
        quint32 at; // in m_bytes
        quint32 size;
    };

    QString decode(QByteArrayView b) const;
    QByteArrayView rawName(qsizetype c) const;
    QString name(qsizetype c) const { return decode(rawName(c)); }
    CsvColumns::Role role(qsizetype c) const { return CsvColumns::Role(m_roles[size_t(c)]); }
    int group(const Value &v) const { return m_groupOf.value(v.column, -1); }
    QString text(const Value &v) const;
    bool blank(QByteArrayView field) const;
    static void drop(QList<qsizetype> &shown, qsizetype &count, qsizetype c);

    // Names, the ID and the columns with no place; a second column of a kind
    // is dropped when it says something else.
    void takeNames(ContactDraft &d, QList<qsizetype> &dropped, qsizetype &count) const;
    void takePhones(ContactDraft &d) const;
    // The first address group with a formatted address or any part of one.
    void takeAddress(ContactDraft &d) const;

    bool m_utf8;
    // The header's names one after another, and where each ends.
    QByteArray m_names;
    std::vector<quint32> m_nameEnds;
    std::vector<quint8> m_roles;
    QHash<qsizetype, int> m_groupOf; // for the columns that have a group
    // The row being read.
    std::vector<Value> m_values;
    QByteArray m_bytes;
    QList<qsizetype> m_dropped;
    qsizetype m_droppedCount = 0;
    bool m_extra = false;
};
