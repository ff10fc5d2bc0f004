#pragma once

#include <QString>
#include <QVarLengthArray>

#include "contacts/ContactDraft.h"

// Which of a contact's numbers the record keeps: the first mobile, and as the
// telephone the first voice number. A fax, pager or text phone is the
// telephone only when there is no voice number, and the report says what it is.
class PhoneChoice
{
public:
    enum Kind
    {
        Voice, // typed home, work or voice, or not typed
        Mobile,
        Fax,
        Pager,
        Textphone
    };

    // where names the property or column in the report.
    PhoneChoice(ContactDraft &draft, QString where) : m_draft(draft), m_where(std::move(where)) {}

    // In the order the numbers come; line is where the number's property begins.
    void add(DraftText number, Kind kind, qsizetype line = 0);
    // Once every number is in.
    void finish();

private:
    void note(const QString &what) { m_draft.note(m_where, what); }

    ContactDraft &m_draft;
    QString m_where;
    struct Other
    {
        DraftText number;
        Kind kind;
        qsizetype line;
    };
    QVarLengthArray<Other, 2> m_others;
};
