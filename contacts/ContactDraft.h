#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// A field's text: Unicode, or UTF-8 still in the input file (or in a line the
// reader unfolded, which it keeps alive), so that the common case is stored
// without ever making a QString. A view into the input is valid while the
// reader runs.
class DraftText
{
public:
    DraftText() = default;
    DraftText(QString text) : m_text(std::move(text)) {}
    static DraftText utf8(QByteArrayView bytes, const QByteArray &keep = {})
    {
        DraftText t;
        if (!keep.isNull())
            t.m_keep = keep;
        t.m_utf8 = bytes;
        t.m_isUtf8 = true;
        return t;
    }

    // A piece of this text's view, keeping what it keeps.
    DraftText part(QByteArrayView piece) const { return utf8(piece, m_keep); }

    bool isUtf8() const { return m_isUtf8; }
    QByteArrayView utf8View() const { return m_utf8; }
    bool isEmpty() const { return m_isUtf8 ? m_utf8.isEmpty() : m_text.isEmpty(); }
    QString toString() const { return m_isUtf8 ? QString::fromUtf8(m_utf8) : m_text; }

private:
    QString m_text;
    QByteArray m_keep;
    QByteArrayView m_utf8;
    bool m_isUtf8 = false;
};

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
    DraftText name;
    DraftText family;
    DraftText phone;
    DraftText mobile;
    DraftText address;
    std::optional<DraftText> id; // absent: the number the add page would propose
    // The line where the property the phone and the mobile came from begins
    // (a vCard's; 0 for none), so that an edit can find it again.
    qsizetype phoneLine = 0;
    qsizetype mobileLine = 0;
    QList<DraftNote> notes;
    qsizetype moreNotes = 0; // past MaxNotes, only counted

    // A contact of a hundred thousand columns says the first few things it lost.
    static constexpr qsizetype MaxNotes = 50;
    void note(const QString &where, const QString &what)
    {
        if (notes.size() < MaxNotes)
            notes.append({where, what});
        else
            ++moreNotes;
    }
};

// What reading one file gave besides its contacts: the first error with its line.
struct ReadResult
{
    int contacts = 0;
    QString error;
    qsizetype errorLine = 0;
    QStringList notices; // about the file as a whole, e.g. how it was decoded

    bool ok() const { return error.isEmpty(); }
};

// Takes each contact as it is read; it is gone after the call.
using DraftSink = std::function<void(const ContactDraft &draft)>;
