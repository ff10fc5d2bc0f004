#include "RecordBuilder.h"

#include "Cp1256Codec.h"
#include "IdNumber.h"

namespace {

void setField(ContactRecord &record, ContactRecord::Field f, const QString &value,
              QList<DraftNote> &notes)
{
    record.setText(f, value);
    if (value.isEmpty())
        return;
    const QByteArray bytes = Cp1256Codec::encode(value);
    const int width = ContactRecord::width(f);
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
    }
    if (bytes.size() > width) {
        const QByteArrayView lost = QByteArrayView(bytes).sliced(width);
        if (lost.count(' ') != lost.size())
            notes.append({RecordBuilder::caption(f),
                          QStringLiteral("فقط %1 بايت جا دارد؛ «%2» ذخيره شد و «%3» حذف شد.")
                              .arg(width)
                              .arg(Cp1256Codec::decode(QByteArrayView(bytes).first(width)),
                                   Cp1256Codec::decode(lost))});
    }
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

ContactRecord RecordBuilder::build(const ContactDraft &draft, qint16 proposedId,
                                   QList<DraftNote> &notes)
{
    ContactRecord record;
    setField(record, ContactRecord::Name, draft.name, notes);
    setField(record, ContactRecord::Family, draft.family, notes);
    setField(record, ContactRecord::Phone, draft.phone, notes);
    setField(record, ContactRecord::Mobile, draft.mobile, notes);
    setField(record, ContactRecord::Address, draft.address, notes);

    qint16 id = proposedId;
    if (draft.id) {
        qint16 parsed = 0;
        const IdNumber::Result r = IdNumber::parse(*draft.id, parsed);
        if (r == IdNumber::Ok) {
            id = parsed;
            if (hasFraction(*draft.id))
                notes.append({idCaption(), QStringLiteral("«%1» گرد شد و %2 ذخيره شد.")
                                               .arg(draft.id->trimmed())
                                               .arg(parsed)});
        } else if (r != IdNumber::Empty) {
            notes.append({idCaption(), QStringLiteral("«%1»: %2 به جاي آن شماره پيشنهادي %3 "
                                                      "ذخيره شد.")
                                           .arg(draft.id->left(40), IdNumber::message(r))
                                           .arg(proposedId)});
        }
    }
    record.setID(id);
    return record;
}
