#include "contacts/RecordBuilder.h"

#include <array>
#include <cstring>

#include "contacts/PhoneNumber.h"
#include "store/Cp1256Codec.h"
#include "store/IdNumber.h"

namespace {

// Unicode -> byte for the characters the code page has as they are: the codec's
// own first step, without its folding.
const std::array<qint16, 65536> &directBytes()
{
    static const std::array<qint16, 65536> table = [] {
        std::array<qint16, 65536> t;
        t.fill(-1);
        for (int b = 0; b < 256; ++b)
            t[Cp1256Codec::decodeByte(uchar(b)).unicode()] = qint16(b);
        return t;
    }();
    return table;
}

// The same for two-byte UTF-8 sequences read as one little-endian number, the
// Arabic letters among them: one look-up per letter. The Persian yeh, which our
// own export writes for every stored yeh, is folded as the codec folds it.
const std::array<qint16, 65536> &pairBytes()
{
    static const std::array<qint16, 65536> table = [] {
        std::array<qint16, 65536> t;
        t.fill(-1);
        const auto set = [&t](char16_t cp, int b) {
            t[(0xC0 | cp >> 6) | (0x80 | (cp & 0x3F)) << 8] = qint16(b);
        };
        for (int b = 0; b < 256; ++b) {
            const char16_t cp = Cp1256Codec::decodeByte(uchar(b)).unicode();
            if (cp >= 0x80 && cp < 0x800)
                set(cp, b);
        }
        set(0x06CC, uchar(Cp1256Codec::encode(u"\u06CC").at(0)));
        return t;
    }();
    return table;
}

// Stores plain UTF-8 straight into the field when every character is one the
// code page has as it is and the text fits. False sends the text through the
// codec instead, which folds, writes '?' and cuts, so that those are reported.
bool storeDirect(QByteArrayView utf8, char *field, int width)
{
    const auto &pairs = pairBytes();
    const auto *s = reinterpret_cast<const uchar *>(utf8.data());
    const uchar *end = s + utf8.size();
    // No character is shorter in UTF-8 than stored, so a text no longer than the
    // field in UTF-8 fits whatever it holds.
    const bool fits = utf8.size() <= width;
    char *out = field;
    while (s < end) {
        if (!fits && out == field + width)
            return false;
        const uchar c = *s;
        if (c < 0x80) {
            *out++ = char(c); // ASCII is itself in the code page
            ++s;
            continue;
        }
        if (end - s >= 2) {
            if (const qint16 b = pairs[c | s[1] << 8]; b >= 0) {
                *out++ = char(b);
                s += 2;
                continue;
            }
        }
        // Three bytes: the few signs of the code page above U+07FF.
        if ((c & 0xF0) != 0xE0 || end - s < 3 || (s[1] & 0xC0) != 0x80 || (s[2] & 0xC0) != 0x80)
            return false;
        const auto cp = char32_t((c & 0x0F) << 12 | (s[1] & 0x3F) << 6 | (s[2] & 0x3F));
        const qint16 b = cp < 0x800 ? qint16(-1) : directBytes()[cp];
        if (b < 0)
            return false;
        *out++ = char(b);
        s += 3;
    }
    std::memset(out, ' ', size_t(field + width - out));
    return true;
}

RecordChanges::Kind cutKind(ContactRecord::Field f)
{
    switch (f) {
    case ContactRecord::Name:
        return RecordChanges::CutName;
    case ContactRecord::Family:
        return RecordChanges::CutFamily;
    case ContactRecord::Phone:
        return RecordChanges::CutPhone;
    case ContactRecord::Mobile:
        return RecordChanges::CutMobile;
    case ContactRecord::Address:
        break;
    }
    return RecordChanges::CutAddress;
}

void setField(ContactRecord &record, ContactRecord::Field f, const DraftText &text,
              QList<DraftNote> &notes, RecordChanges &changes)
{
    const int width = ContactRecord::width(f);
    if (text.isUtf8() &&
        storeDirect(text.utf8View(), record.data() + ContactRecord::offset(f), width))
        return;
    const QString value = text.toString();
    record.setText(f, value);
    if (value.isEmpty())
        return;
    const QByteArray bytes = Cp1256Codec::encode(value);
    const qsizetype replaced = bytes.count('?') - value.count(u'?');
    if (replaced > 0) {
        QStringList shown;
        const QList<uint> points = value.toUcs4();
        for (const uint cp : points) {
            const QString one = QString::fromUcs4(reinterpret_cast<const char32_t *>(&cp), 1);
            if (cp != u'?' && Cp1256Codec::encode(one) == "?" && !shown.contains(one)) {
                shown << one;
                if (shown.size() == 5)
                    break;
            }
        }
        notes.append({RecordBuilder::caption(f),
                      QStringLiteral("%1 نويسه در Windows-1256 نيست و به صورت \"?\" ذخيره شد: «%2»")
                          .arg(replaced)
                          .arg(shown.join(QStringLiteral("», «")))});
        changes.add(RecordChanges::Replaced);
    }
    if (bytes.size() > width) {
        const QByteArrayView lost = QByteArrayView(bytes).sliced(width);
        if (lost.count(' ') != lost.size()) {
            changes.add(cutKind(f));
            notes.append({RecordBuilder::caption(f),
                          QStringLiteral("فقط %1 بايت جا دارد؛ «%2» ذخيره شد و «%3» حذف شد.")
                              .arg(width)
                              .arg(Cp1256Codec::decode(QByteArrayView(bytes).first(width)),
                                   Cp1256Codec::decode(lost))});
        }
    }
}

bool hasLineBreak(const DraftText &text)
{
    if (text.isUtf8())
        return text.utf8View().contains('\n') || text.utf8View().contains('\r');
    const QString s = text.toString();
    return s.contains(u'\n') || s.contains(u'\r');
}

PhoneNumber::Fit fitNumber(const DraftText &text, PhoneNumber::Field field, RecordChanges &changes,
                           QList<DraftNote> &notes)
{
    PhoneNumber::Fit fit = PhoneNumber::fit(text.toString(), field);
    if (fit.national)
        changes.add(RecordChanges::National);
    const auto f =
        field == PhoneNumber::Field::Telephone ? ContactRecord::Phone : ContactRecord::Mobile;
    for (const QString &other : std::as_const(fit.notKept)) {
        changes.add(RecordChanges::NotKept);
        notes.append(
            {RecordBuilder::caption(f),
             QStringLiteral("شماره دیگر «%1» ذخیره نشد: فقط یک شماره جا دارد.").arg(other)});
    }
    return fit;
}

// A fraction the parser rounded away.
bool hasFraction(const QString &text)
{
    qsizetype point = text.indexOf(u'.');
    if (point < 0)
        point = text.indexOf(QChar(0x066B));
    if (point < 0)
        return false;
    for (qsizetype i = point + 1; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool zero = c == u'0' || c == 0x06F0 || c == 0x0660;
        if (!zero && !text[i].isSpace())
            return true;
    }
    return false;
}

} // namespace

QString RecordBuilder::caption(ContactRecord::Field f)
{
    switch (f) {
    case ContactRecord::Name:
        return QStringLiteral("نام");
    case ContactRecord::Family:
        return QStringLiteral("نام خانوادگي");
    case ContactRecord::Phone:
        return QStringLiteral("شماره تلفن");
    case ContactRecord::Mobile:
        return QStringLiteral("شماره موبايل");
    case ContactRecord::Address:
        return QStringLiteral("آدرس");
    }
    return {};
}

QString RecordBuilder::idCaption()
{
    return QStringLiteral("شماره شناسايي");
}

QString RecordBuilder::oneLine(const QString &address)
{
    QStringList lines;
    QString text = address;
    text.replace(u'\r', u'\n');
    for (const QStringView line : QStringView(text).tokenize(u'\n')) {
        const QStringView t = line.trimmed();
        if (!t.isEmpty())
            lines << t.toString();
    }
    return lines.join(QStringLiteral("، "));
}

ContactRecord RecordBuilder::build(const ContactDraft &draft, qint16 proposedId,
                                   QList<DraftNote> &notes, RecordChanges *changes)
{
    RecordChanges ignored;
    RecordChanges &changed = changes ? *changes : ignored;
    ContactRecord record;
    setField(record, ContactRecord::Name, draft.name, notes, changed);
    setField(record, ContactRecord::Family, draft.family, notes, changed);

    // Most numbers fit as written and take the way of every other field.
    const auto asWritten = [](const DraftText &t, ContactRecord::Field f) {
        return t.isEmpty() || (t.isUtf8() && t.utf8View().size() <= ContactRecord::width(f) &&
                               !t.utf8View().contains(':'));
    };
    const bool phoneAsWritten = asWritten(draft.phone, ContactRecord::Phone);
    const bool mobileAsWritten = asWritten(draft.mobile, ContactRecord::Mobile);
    PhoneNumber::Fit phone;
    PhoneNumber::Fit mobile;
    if (!phoneAsWritten)
        phone = fitNumber(draft.phone, PhoneNumber::Field::Telephone, changed, notes);
    if (!mobileAsWritten)
        mobile = fitNumber(draft.mobile, PhoneNumber::Field::Mobile, changed, notes);
    const bool noMobile = mobileAsWritten ? draft.mobile.isEmpty() : mobile.number.isEmpty();
    if (!phoneAsWritten && noMobile && PhoneNumber::isIranianMobile(phone.number)) {
        // The only number, and a mobile one: the field it belongs in is free.
        setField(record, ContactRecord::Phone, DraftText(), notes, changed);
        setField(record, ContactRecord::Mobile, phone.number, notes, changed);
        changed.add(RecordChanges::MovedToMobile);
    } else {
        if (!phone.areaCodeSetAside.isEmpty())
            changed.setAside(phone.areaCodeSetAside);
        setField(record, ContactRecord::Phone,
                 phoneAsWritten ? draft.phone : DraftText(phone.number), notes, changed);
        setField(record, ContactRecord::Mobile,
                 mobileAsWritten ? draft.mobile : DraftText(mobile.number), notes, changed);
    }

    if (hasLineBreak(draft.address)) {
        changed.add(RecordChanges::LinesJoined);
        setField(record, ContactRecord::Address, oneLine(draft.address.toString()), notes, changed);
    } else {
        setField(record, ContactRecord::Address, draft.address, notes, changed);
    }

    qint16 id = proposedId;
    if (draft.id) {
        const QString text = draft.id->toString();
        qint16 parsed = 0;
        const IdNumber::Result r = IdNumber::parse(text, parsed);
        if (r == IdNumber::Ok) {
            id = parsed;
            if (hasFraction(text))
                notes.append(
                    {idCaption(),
                     QStringLiteral("«%1» گرد شد و %2 ذخيره شد.").arg(text.trimmed()).arg(parsed)});
        } else if (r != IdNumber::Empty) {
            notes.append({idCaption(), QStringLiteral("«%1»: %2 به جاي آن شماره پيشنهادي %3 "
                                                      "ذخيره شد.")
                                           .arg(text.left(40), IdNumber::message(r))
                                           .arg(proposedId)});
        }
    }
    record.setID(id);
    return record;
}
