#pragma once

#include <utility>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>

#include "contacts/ContactDraft.h"
#include "contacts/PhoneChoice.h"
#include "contacts/VcardProperty.h"

// A card's properties, read back into the fields of a contact as they come.
// Plain UTF-8 values stay views into the input; anything encoded, escaped or
// folded goes through QString.
class CardReader
{
public:
    explicit CardReader(ContactDraft &draft)
        : m_draft(draft), m_phones(draft, QStringLiteral("TEL"))
    {
    }

    // The version decides how values are escaped, so what comes before VERSION
    // waits for it.
    void take(const VcardProperty &p);
    void finish();

private:
    // A component of N or ADR: a view into the line, or text made from a list.
    struct Piece
    {
        QByteArrayView view;
        QString text;
        bool isView = true;
        bool isEmpty() const { return isView ? view.isEmpty() : text.isEmpty(); }
        QString toString() const { return isView ? QString::fromUtf8(view) : text; }
    };
    using Pieces = QVarLengthArray<Piece, 8>;

    void flushWaiting();
    void use(const VcardProperty &p);
    void note(const QString &where, const QString &what) { m_draft.note(where, what); }

    void drop(const VcardProperty &p);
    bool labelSaysMobile(const VcardProperty &tel) const;

    // UTF-8 with nothing to decode or unescape.
    bool plain(const VcardProperty &p) const;
    QByteArray rawBytes(const VcardProperty &p);

    // The value as Unicode, before any unescaping.
    QString decoded(const VcardProperty &p);

    // The character an escape stands for, or 0 when the backslash is literal.
    char16_t escaped(QChar c) const;
    QString unescape(QStringView s) const;
    DraftText text(const VcardProperty &p);
    static QString joinNonEmpty(const QStringList &values, const QString &sep);

    // Components split at unescaped ';'; a component's list items (unescaped
    // ',', not in 2.1) are joined with sep.
    Pieces structured(const VcardProperty &p, const QString &sep);
    static DraftText draftOf(const VcardProperty &p, const Piece &piece);
    void takeName(const VcardProperty &n);

    // No usable N: the formatted name, family after its last space.
    void splitFormattedName();
    void takePhone(const VcardProperty &p);
    DraftText joinAddress(const VcardProperty &p);
    void takeAddress(const VcardProperty &adr);
    ContactDraft &m_draft;
    PhoneChoice m_phones;
    bool m_v21 = false;
    bool m_versionSeen = false;
    bool m_seenN = false;
    bool m_seenAdr = false;
    bool m_hasFn = false;
    bool m_hasLabel = false;
    DraftText m_fn;
    DraftText m_label;
    std::vector<VcardProperty> m_waiting;
    std::vector<VcardProperty> m_tels;
    QList<std::pair<QByteArray, QByteArray>> m_labels;
    QStringList m_dropped;
};
