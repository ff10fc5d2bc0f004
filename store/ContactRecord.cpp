#include "store/ContactRecord.h"

#include <algorithm>
#include <cstring>

#include "store/Cp1256Codec.h"

ContactRecord::ContactRecord()
{
    m_bytes.fill(' ');
    m_bytes[IdOffset] = 0;
    m_bytes[IdOffset + 1] = 0;
}

ContactRecord ContactRecord::fromBytes(QByteArrayView bytes)
{
    ContactRecord r;
    if (!bytes.isEmpty()) // an empty view may have no data at all
        std::memcpy(r.m_bytes.data(), bytes.data(), std::min<qsizetype>(bytes.size(), Size));
    return r;
}

QString ContactRecord::text(Field f) const
{
    return Cp1256Codec::decode(fieldBytes(f));
}

void ContactRecord::setText(Field f, QStringView value)
{
    const QByteArray bytes = Cp1256Codec::encodeField(value, width(f));
    std::memcpy(m_bytes.data() + offset(f), bytes.constData(), width(f));
}

QByteArray ContactRecord::key(Field f, QStringView typed)
{
    return Cp1256Codec::encodeField(typed, width(f));
}

qint16 ContactRecord::ID() const
{
    const auto lo = uchar(m_bytes[IdOffset]);
    const auto hi = uchar(m_bytes[IdOffset + 1]);
    return qint16(quint16(lo | (hi << 8)));
}

void ContactRecord::setID(qint16 id)
{
    const auto u = quint16(id);
    m_bytes[IdOffset] = char(u & 0xFF);
    m_bytes[IdOffset + 1] = char(u >> 8);
}
