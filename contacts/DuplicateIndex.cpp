#include "contacts/DuplicateIndex.h"

#include <cstring>

#include <QHashFunctions>

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

// The length first, so that no two different lists of pieces read the same.
char *putFolded(char *out, QByteArrayView field)
{
    const Letters &l = letters();
    char buffer[ContactRecord::Size];
    qsizetype n = 0;
    for (const char c : field)
        if (c != l.zwnj)
            buffer[n++] = c == l.arabicKaf ? l.persianKaf : c;
    const QByteArrayView t = trimmed(QByteArrayView(buffer, n));
    *out++ = char(t.size());
    std::memcpy(out, t.data(), size_t(t.size()));
    return out + t.size();
}

char *putPiece(char *out, QByteArrayView piece)
{
    *out++ = char(piece.size());
    if (!piece.isEmpty()) // an empty view may have no data at all
        std::memcpy(out, piece.data(), size_t(piece.size()));
    return out + piece.size();
}

bool compatible(QByteArrayView a, QByteArrayView b)
{
    return a.isEmpty() || b.isEmpty() || a == b;
}

} // namespace

int DuplicateIndex::foldName(const ContactRecord &record, char *out)
{
    char *end = putFolded(out, record.fieldBytes(ContactRecord::Name));
    end = putFolded(end, record.fieldBytes(ContactRecord::Family));
    return int(end - out);
}

bool DuplicateIndex::sameName(const ContactRecord &a, const ContactRecord &b)
{
    char x[NameRoom], y[NameRoom];
    const int n = foldName(a, x);
    return n == foldName(b, y) && std::memcmp(x, y, size_t(n)) == 0;
}

QByteArrayView DuplicateIndex::value(const ContactRecord &record, ContactRecord::Field field)
{
    return trimmed(record.fieldBytes(field));
}

quint64 DuplicateIndex::hash(char kind, QByteArrayView name, QByteArrayView phone,
                             QByteArrayView mobile)
{
    char key[1 + NameRoom + 2 + 8 + 11];
    char *p = key;
    *p++ = kind;
    std::memcpy(p, name.data(), size_t(name.size()));
    p = putPiece(p + name.size(), phone);
    p = putPiece(p, mobile);
    return qHashBits(key, size_t(p - key), 0x48616c76);
}

void DuplicateIndex::reserve(qsizetype records)
{
    m_first.reserve(records);
    m_records.reserve(size_t(records));
    m_alone.reserve(size_t(records));
}

// Keys: any record of the name; of the name with this phone (any mobile); with
// this mobile (any phone); with exactly this pair. An empty number is a value
// like any other in them.
bool DuplicateIndex::addIfNew(const ContactRecord &record, bool force)
{
    char name[NameRoom];
    const QByteArrayView n(name, foldName(record, name));
    const quint64 any = hash('A', n, {}, {});
    // Most names are new: one look-up.
    const bool nameKnown = m_first.contains(any);
    if (!force && nameKnown && found(record, n, true))
        return false;
    const auto at = qint32(m_records.size());
    m_records.push_back(record);
    m_alone.push_back(!nameKnown);
    if (!nameKnown) {
        m_first.insert(any, at);
        return true;
    }
    if (const qint32 first = m_first.value(any); m_alone[size_t(first)]) {
        m_alone[size_t(first)] = false;
        addNumberKeys(first, n);
    }
    addNumberKeys(at, n);
    return true;
}

void DuplicateIndex::addNumberKeys(qint32 at, QByteArrayView n)
{
    const ContactRecord &record = m_records[size_t(at)];
    const QByteArrayView phone = value(record, ContactRecord::Phone);
    const QByteArrayView mobile = value(record, ContactRecord::Mobile);
    for (const quint64 h :
         {hash('P', n, phone, {}), hash('M', n, {}, mobile), hash('X', n, phone, mobile)})
        if (!m_first.contains(h))
            m_first.insert(h, at);
}

bool DuplicateIndex::contains(const ContactRecord &record) const
{
    if (m_records.empty())
        return false;
    char name[NameRoom];
    const QByteArrayView n(name, foldName(record, name));
    return found(record, n, m_first.contains(hash('A', n, {}, {})));
}

bool DuplicateIndex::found(const ContactRecord &record, QByteArrayView n, bool nameKnown) const
{
    if (!nameKnown)
        return false;
    const QByteArrayView phone = value(record, ContactRecord::Phone);
    const QByteArrayView mobile = value(record, ContactRecord::Mobile);
    // A name met once is that record alone.
    if (const qint32 first = m_first.value(hash('A', n, {}, {})); m_alone[size_t(first)]) {
        const ContactRecord &other = m_records[size_t(first)];
        return compatible(phone, value(other, ContactRecord::Phone)) &&
               compatible(mobile, value(other, ContactRecord::Mobile)) && sameName(record, other);
    }
    const auto has = [&](char kind, QByteArrayView p, QByteArrayView m) {
        const auto it = m_first.constFind(hash(kind, n, p, m));
        if (it == m_first.cend())
            return false;
        const ContactRecord &other = m_records[size_t(*it)];
        return compatible(phone, value(other, ContactRecord::Phone)) &&
               compatible(mobile, value(other, ContactRecord::Mobile)) && sameName(record, other);
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
