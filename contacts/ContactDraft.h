#pragma once

#include <optional>
#include <vector>

#include <QList>
#include <QString>

// Something about one contact that the data file will not hold as it was read.
struct DraftNote
{
    QString where; // a field caption or the property / column it came from
    QString what;
};

// One contact as read from a vCard or a CSV row, before it meets the record's
// fixed widths and code page.
struct ContactDraft
{
    qsizetype line = 0; // where its card or row begins
    int index = 0;      // 1-based within its file
    QString name;
    QString family;
    QString phone;
    QString mobile;
    QString address;
    std::optional<QString> id; // absent: the number the add page would propose
    QList<DraftNote> notes;
};

// What reading one file gave: its contacts, or the first error with its line.
struct ReadResult
{
    std::vector<ContactDraft> contacts;
    QString error;
    qsizetype errorLine = 0;
    QStringList notices; // about the file as a whole, e.g. how it was decoded

    bool ok() const { return error.isEmpty(); }
};
