#include "contacts/DuplicateIndex.h"

#include "store/Cp1256Codec.h"

namespace {

struct Letters
{
    char arabicKaf, persianKaf, zwnj;
};

const Letters &letters()
{
    static const Letters l{Cp1256Codec::encode(u"\u0643").at(0),
                           Cp1256Codec::encode(u"\u06A9").at(0),
                           Cp1256Codec::encode(u"\u200C").at(0)};
    return l;
}

QByteArrayView trimmed(QByteArrayView v)
{
    while (!v.isEmpty() && (v.front() == ' ' || v.front() == '\t'))
        v = v.sliced(1);
    while (!v.isEmpty() && (v.back() == ' ' || v.back() == '\t'))
        v.chop(1);
    return v;
}

// The store keeps both yehs as the Arabic one, so the yeh is one byte already.
void appendFolded(QByteArray &key, QByteArrayView field)
{
    const Letters &l = letters();
    char out[ContactRecord::Size];
    qsizetype n = 0;
    for (const char c : field)
        if (c != l.zwnj)
            out[n++] = c == l.arabicKaf ? l.persianKaf : c;
    DuplicateIndex::appendPiece(key, trimmed(QByteArrayView(out, n)));
}

QByteArray key(char kind, const QByteArray &name, QByteArrayView phone, QByteArrayView mobile)
{
    QByteArray k;
    k.reserve(name.size() + phone.size() + mobile.size() + 3);
    k += kind;
    k += name;
    DuplicateIndex::appendPiece(k, phone);
    DuplicateIndex::appendPiece(k, mobile);
    return k;
}

} // namespace

void DuplicateIndex::appendPiece(QByteArray &key, QByteArrayView piece)
{
    key += char(piece.size());
    key += piece;
}

QByteArrayView DuplicateIndex::value(const ContactRecord &record, ContactRecord::Field field)
{
    return trimmed(record.fieldBytes(field));
}

QByteArray DuplicateIndex::nameKey(const ContactRecord &record)
{
    QByteArray k;
    k.reserve(40);
    appendFolded(k, record.fieldBytes(ContactRecord::Name));
    appendFolded(k, record.fieldBytes(ContactRecord::Family));
    return k;
}

// Keys: any record of the name; of the name with this phone (any mobile); with
// this mobile (any phone); with exactly this pair. An empty number is a value
// like any other in them.
void DuplicateIndex::add(const ContactRecord &record)
{
    const QByteArray name = nameKey(record);
    const QByteArrayView phone = value(record, ContactRecord::Phone);
    const QByteArrayView mobile = value(record, ContactRecord::Mobile);
    m_keys.insert(key('A', name, {}, {}));
    m_keys.insert(key('P', name, phone, {}));
    m_keys.insert(key('M', name, {}, mobile));
    m_keys.insert(key('X', name, phone, mobile));
}

bool DuplicateIndex::contains(const ContactRecord &record) const
{
    if (m_keys.isEmpty())
        return false;
    const QByteArray name = nameKey(record);
    const QByteArrayView phone = value(record, ContactRecord::Phone);
    const QByteArrayView mobile = value(record, ContactRecord::Mobile);
    const auto has = [&](char kind, QByteArrayView p, QByteArrayView m) {
        return m_keys.contains(key(kind, name, p, m));
    };
    if (phone.isEmpty() && mobile.isEmpty())
        return has('A', {}, {});
    if (mobile.isEmpty())
        return has('P', phone, {}) || has('P', {}, {});
    if (phone.isEmpty())
        return has('M', {}, mobile) || has('M', {}, {});
    return has('X', phone, mobile) || has('X', phone, {}) || has('X', {}, mobile) ||
           has('X', {}, {});
}
