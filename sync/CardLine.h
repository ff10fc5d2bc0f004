#pragma once

#include <vector>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// One content line of a card as it stood (its folds, soft breaks and line
// ending included), and its parts once unfolded.
struct CardLine
{
    QByteArray raw;
    qsizetype number = 0; // of its first physical line, counted from 1
    QByteArray ending;    // of its last physical line: kept for a rewritten line
    QByteArray head;      // group.NAME;params
    QByteArray name;      // upper case, without the group
    QByteArray params;    // from the first ';'
    QByteArray value;     // as written: escaped, and encoded when the head says so
    bool qp = false;
    bool b64 = false;     // base64 as the reader takes it: the rewritten line drops it
    bool uri = false;     // VALUE=uri: a number written as tel:...
    bool foreign = false; // a charset other than UTF-8
    bool edited = false;
    bool dropped = false;

    // The card's lines, joined as the import's reader joins them: folds,
    // quoted-printable soft breaks and 2.1's base64. Every byte of the card
    // is in one raw.
    static std::vector<CardLine> linesOf(const QByteArray &card);
};

// Writing a line of a card anew.
namespace cardline {

QByteArray toQp(QByteArrayView in);
// Components at unescaped ';'.
QList<QByteArray> components(const QByteArray &value);
// The parameters as they were, but for the charset (the new text is UTF-8) and
// base64 (the new text is written plain).
QByteArray paramsFor(const QByteArray &params, bool b64);
// Folds at 75 octets, never inside a UTF-8 character. A quoted-printable
// line is left whole: a fold there could be taken for a soft break. The first
// piece keeps the name, parameters and colon (colon is where it stands): a
// line without one after 2.1's base64 would be read as more of its data.
QByteArray folded(const QByteArray &line, qsizetype colon, bool qp, const QByteArray &ending);

} // namespace cardline
