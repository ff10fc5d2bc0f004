#include "contacts/VcardReader.h"

#include <optional>

#include "contacts/CardReader.h"
#include "contacts/TextInput.h"
#include "contacts/TextLines.h"
#include "contacts/VcardProperty.h"

using namespace vcardtext;
using Kind = VcardProperty::Kind;

namespace {

bool isFold(QByteArrayView next)
{
    return !next.isEmpty() && (next[0] == ' ' || next[0] == '\t');
}

// Joins the lines that continue owned: folds, quoted-printable soft breaks, and
// the unindented base64 of vCard 2.1 up to a blank line. False when too long.
bool absorb(QByteArray &owned, QByteArrayView first, TextLines &lines, bool qp, bool b64)
{
    // Measured first, so the joined line is made once.
    qsizetype size = first.size();
    for (TextLines ahead = lines;
         !ahead.atEnd() && isFold(ahead.peek()) && size <= TextInput::MaxLine;)
        size += ahead.next().size();
    owned = QByteArray();
    owned.reserve(size);
    owned.append(first);
    while (!lines.atEnd()) {
        const QByteArrayView next = lines.peek();
        if (qp && owned.endsWith('=')) {
            owned.chop(1);
            owned += next;
        } else if (isFold(next)) {
            owned += next.sliced(1);
        } else {
            break;
        }
        lines.next();
        if (owned.size() > TextInput::MaxLine)
            return false;
    }
    while (b64 && !lines.atEnd()) {
        const QByteArrayView next = lines.peek();
        if (isBlank(next)) {
            lines.next();
            break;
        }
        if (has(next, ':'))
            break;
        owned += next.trimmed();
        lines.next();
        if (owned.size() > TextInput::MaxLine)
            return false;
    }
    return true;
}

// The head of a line names an encoding that changes how the line continues.
bool headSays(QByteArrayView line, QByteArrayView word)
{
    const qsizetype colon = line.indexOf(':');
    const QByteArrayView head = colon < 0 ? line : line.first(colon);
    return has(head, ';') && contains(head, word);
}

QString tooLong()
{
    return QStringLiteral("خط بيش از %1 مگابايت است؛ اين فايل vCard درستي نيست.")
        .arg(TextInput::MaxLine / (1024 * 1024));
}

// The property that begins with the line first, with the lines that continue
// it taken from lines. False, with why, when it is no property or too long.
bool readProperty(QByteArrayView first, TextLines &lines, VcardProperty &prop, QString &why)
{
    if (first.size() > TextInput::MaxLine) {
        why = tooLong();
        return false;
    }
    // Most lines stand alone; only a continued one is copied and joined.
    if (!prop.owned.isNull())
        prop.owned = QByteArray();
    const bool folded = !lines.atEnd() && isFold(lines.peek());
    const bool parsed = VcardProperty::parse(first, prop, why);
    if (!parsed && !folded)
        return false;
    const bool encoded = !parsed || !prop.encoding.isEmpty();
    const bool qp =
        encoded && (parsed ? prop.quotedPrintable() : headSays(first, "QUOTED-PRINTABLE"));
    const bool b64 = encoded && (parsed ? prop.base64() : headSays(first, "BASE64"));
    if (lines.atEnd() ||
        !(folded || (qp && first.endsWith('=')) || (b64 && !has(lines.peek(), ':'))))
        return parsed;
    if (!absorb(prop.owned, first, lines, qp, b64)) {
        why = tooLong();
        return false;
    }
    return VcardProperty::parse(prop.owned, prop, why);
}

} // namespace

bool VcardReader::looksLikeVcard(QByteArrayView text)
{
    TextLines lines(text);
    while (!lines.atEnd()) {
        const QByteArrayView line = stripped(lines.next());
        if (line.isEmpty())
            continue;
        return same(line, "BEGIN:VCARD");
    }
    return false;
}

ReadResult VcardReader::read(QByteArrayView text, const DraftSink &take)
{
    ReadResult result;
    const auto fail = [&result](qsizetype line, const QString &message) {
        result.error = message;
        result.errorLine = line;
        return std::move(result);
    };
    TextLines lines(text);
    bool inCard = false;
    qsizetype cardLine = 0;
    ContactDraft draft;
    std::optional<CardReader> card;
    VcardProperty prop; // every field is set anew for each line
    while (!lines.atEnd()) {
        const qsizetype lineNo = lines.nextNumber();
        const QByteArrayView first = lines.next();
        if (isBlank(first) && first.size() <= TextInput::MaxLine)
            continue;

        QString why;
        if (!readProperty(first, lines, prop, why))
            return fail(lineNo, why);
        prop.line = lineNo;
        if (prop.kind == Kind::Begin) {
            const QByteArrayView what = stripped(prop.value);
            if (!same(what, "VCARD"))
                return fail(
                    lineNo,
                    QStringLiteral("BEGIN:%1 پشتيباني نمي شود؛ فقط BEGIN:VCARD.").arg(shown(what)));
            if (inCard)
                return fail(lineNo, QStringLiteral("BEGIN:VCARD درون کارتي که از خط %1 شروع شده "
                                                   "است؛ END:VCARD آن کارت جا افتاده است.")
                                        .arg(cardLine));
            inCard = true;
            cardLine = lineNo;
            draft = ContactDraft();
            draft.line = lineNo;
            card.emplace(draft);
            continue;
        }
        if (prop.kind == Kind::End) {
            const QByteArrayView what = stripped(prop.value);
            if (!inCard)
                return fail(lineNo,
                            QStringLiteral("END:%1 بدون BEGIN:VCARD پيش از آن.").arg(shown(what)));
            if (!same(what, "VCARD"))
                return fail(lineNo,
                            QStringLiteral("END:%1 کارت خط %2 را نمي بندد؛ END:VCARD لازم است.")
                                .arg(shown(what))
                                .arg(cardLine));
            card->finish();
            card.reset();
            draft.index = ++result.contacts;
            take(draft);
            inCard = false;
            continue;
        }
        if (!inCard)
            return fail(lineNo, QStringLiteral("اين خط بيرون از کارت است (پيش از BEGIN:VCARD)."));
        card->take(prop);
    }
    if (inCard)
        return fail(cardLine, QStringLiteral("کارتي که از خط %1 شروع شده هرگز بسته نشده است "
                                             "(END:VCARD ندارد).")
                                  .arg(cardLine));
    return result;
}
