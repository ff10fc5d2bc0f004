#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "contacts/PhoneChoice.h"
#include "contacts/VcardText.h"

// One content line of a vCard, "group.NAME;params:value": views into the
// input, or into owned when the line had to be unfolded.
struct VcardProperty
{
    enum class Kind
    {
        Begin,
        End,
        Version,
        N,
        FN,
        Tel,
        Adr,
        Label,
        HalvexId,
        AbLabel,
        Silent, // bookkeeping of the writing program, not the person
        Other
    };

    qsizetype line = 0;
    Kind kind = Kind::Other;
    QByteArrayView group;
    QByteArrayView name;
    QByteArrayView params; // from the first ';' up to the ':'
    QByteArrayView value;
    QByteArray owned;
    // From the parameters, read once.
    QByteArrayView encoding;
    QByteArrayView charset;
    PhoneChoice::Kind tel = PhoneChoice::Voice; // of a TEL, from its TYPE words
    bool uri = false;                           // VALUE=uri: a number written as tel:...

    // Splits a line into prop. False, with why, when the line is no property.
    static bool parse(QByteArrayView line, VcardProperty &prop, QString &why);

    bool quotedPrintable() const { return vcardtext::same(encoding, "QUOTED-PRINTABLE"); }
    bool base64() const
    {
        return vcardtext::same(encoding, "BASE64") || vcardtext::same(encoding, "B");
    }

    static bool isEncodingWord(QByteArrayView v)
    {
        using vcardtext::same;
        return same(v, "QUOTED-PRINTABLE") || same(v, "BASE64") || same(v, "B") ||
               same(v, "8BIT") || same(v, "7BIT");
    }

    // Calls f(key, value) for every parameter value, unquoted; vCard 2.1's bare
    // values (TEL;CELL;VOICE) count as TYPE, or ENCODING for the encodings.
    template <typename F> static void forEachParam(QByteArrayView params, F f)
    {
        qsizetype i = 0;
        const qsizetype n = params.size();
        while (i < n) {
            if (params[i] == ';') {
                ++i;
                continue;
            }
            const qsizetype start = i;
            bool quoted = false;
            for (; i < n; ++i) {
                if (params[i] == '"')
                    quoted = !quoted;
                else if (!quoted && params[i] == ';')
                    break;
            }
            const QByteArrayView seg = vcardtext::stripped(params.sliced(start, i - start));
            if (seg.isEmpty())
                continue;
            const qsizetype eq = seg.indexOf('=');
            if (eq < 0) {
                f(isEncodingWord(seg) ? QByteArrayView("ENCODING") : QByteArrayView("TYPE"), seg);
                continue;
            }
            const QByteArrayView key = vcardtext::stripped(seg.first(eq));
            const QByteArrayView rest = seg.sliced(eq + 1);
            qsizetype from = 0;
            bool inQuote = false;
            for (qsizetype k = 0; k <= rest.size(); ++k) {
                if (k < rest.size() && rest[k] == '"')
                    inQuote = !inQuote;
                if (k == rest.size() || (!inQuote && rest[k] == ',')) {
                    QByteArrayView v = vcardtext::stripped(rest.sliced(from, k - from));
                    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
                        v = v.sliced(1, v.size() - 2);
                    f(key, v);
                    from = k + 1;
                }
            }
        }
    }
};
