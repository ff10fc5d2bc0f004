#include "contacts/Duplicates.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include <QByteArray>
#include <QHash>

#include "contacts/DuplicateIndex.h"
#include "store/ContactStore.h"

namespace {

QByteArrayView value(const ContactRecord &r, ContactRecord::Field f)
{
    return DuplicateIndex::value(r, f);
}

QByteArray nameKey(const ContactRecord &r)
{
    return DuplicateIndex::nameKey(r);
}

void appendPiece(QByteArray &key, QByteArrayView piece)
{
    DuplicateIndex::appendPiece(key, piece);
}

bool compatible(QByteArrayView a, QByteArrayView b)
{
    return a.isEmpty() || b.isEmpty() || a == b;
}

struct UnionFind
{
    std::vector<qint64> parent;
    explicit UnionFind(size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
    qint64 root(qint64 i)
    {
        while (parent[i] != i)
            i = parent[i] = parent[parent[i]];
        return i;
    }
    void join(qint64 a, qint64 b)
    {
        a = root(a), b = root(b);
        if (a != b)
            parent[std::max(a, b)] = std::min(a, b);
    }
};

constexpr ContactRecord::Field kFields[] = {ContactRecord::Name, ContactRecord::Family,
                                            ContactRecord::Phone, ContactRecord::Mobile,
                                            ContactRecord::Address};

bool conflicts(const std::vector<ContactRecord> &records, const DuplicateGroup &g)
{
    // Name and family are one after folding; the first record's spelling stays.
    for (const ContactRecord::Field f :
         {ContactRecord::Phone, ContactRecord::Mobile, ContactRecord::Address}) {
        QByteArrayView seen;
        for (const qint64 p : g.positions) {
            const QByteArrayView v = value(records[size_t(p)], f);
            if (v.isEmpty())
                continue;
            if (!seen.isEmpty() && v != seen)
                return true;
            seen = v;
        }
    }
    return false;
}

} // namespace

bool Duplicates::isDuplicate(const ContactRecord &a, const ContactRecord &b)
{
    return compatible(value(a, ContactRecord::Phone), value(b, ContactRecord::Phone)) &&
           compatible(value(a, ContactRecord::Mobile), value(b, ContactRecord::Mobile)) &&
           nameKey(a) == nameKey(b);
}

std::vector<DuplicateGroup> Duplicates::find(const std::vector<ContactRecord> &records)
{
    // Connects every pair of duplicates without comparing every pair of one
    // name: a record with no numbers joins its whole name; one with only a
    // phone joins every record with that phone, and every record with only
    // one number when both kinds are there; two equal pairs join.
    struct Name
    {
        qint64 first = -1, bothEmpty = -1, phoneOnly = -1, mobileOnly = -1;
    };
    struct Number
    {
        qint64 first = -1;
        bool alone = false; // a record has it and no other number
    };
    const size_t n = records.size();
    std::vector<QByteArray> keys(n);
    QHash<QByteArray, Name> names;
    QHash<QByteArray, Number> numbers;
    QHash<QByteArray, qint64> pairs;
    names.reserve(qsizetype(n));
    numbers.reserve(qsizetype(2 * n));
    pairs.reserve(qsizetype(n));
    UnionFind sets(n);

    const auto numberKey = [](const QByteArray &name, char kind, QByteArrayView number) {
        QByteArray k = name;
        k += kind;
        appendPiece(k, number);
        return k;
    };
    for (size_t i = 0; i < n; ++i) {
        const ContactRecord &r = records[i];
        keys[i] = nameKey(r);
        const QByteArrayView phone = value(r, ContactRecord::Phone);
        const QByteArrayView mobile = value(r, ContactRecord::Mobile);
        Name &name = names[keys[i]];
        if (name.first < 0)
            name.first = qint64(i);
        if (phone.isEmpty() && mobile.isEmpty() && name.bothEmpty < 0)
            name.bothEmpty = qint64(i);
        if (!phone.isEmpty()) {
            Number &p = numbers[numberKey(keys[i], 'p', phone)];
            if (p.first < 0)
                p.first = qint64(i);
            if (mobile.isEmpty()) {
                p.alone = true;
                if (name.phoneOnly < 0)
                    name.phoneOnly = qint64(i);
            }
        }
        if (!mobile.isEmpty()) {
            Number &m = numbers[numberKey(keys[i], 'm', mobile)];
            if (m.first < 0)
                m.first = qint64(i);
            if (phone.isEmpty()) {
                m.alone = true;
                if (name.mobileOnly < 0)
                    name.mobileOnly = qint64(i);
            }
        }
        QByteArray pair = numberKey(keys[i], 'p', phone);
        appendPiece(pair, mobile);
        if (const auto it = pairs.constFind(pair); it != pairs.cend())
            sets.join(qint64(i), *it);
        else
            pairs.insert(pair, qint64(i));
    }
    for (size_t i = 0; i < n; ++i) {
        const ContactRecord &r = records[i];
        const QByteArrayView phone = value(r, ContactRecord::Phone);
        const QByteArrayView mobile = value(r, ContactRecord::Mobile);
        const Name &name = names[keys[i]];
        if (name.bothEmpty >= 0) {
            sets.join(qint64(i), name.first);
            continue;
        }
        if (!phone.isEmpty())
            if (const Number &p = numbers[numberKey(keys[i], 'p', phone)]; p.alone)
                sets.join(qint64(i), p.first);
        if (!mobile.isEmpty())
            if (const Number &m = numbers[numberKey(keys[i], 'm', mobile)]; m.alone)
                sets.join(qint64(i), m.first);
        if (name.phoneOnly >= 0 && name.mobileOnly >= 0 && (phone.isEmpty() || mobile.isEmpty()))
            sets.join(qint64(i), name.phoneOnly);
    }

    std::vector<DuplicateGroup> groups;
    std::vector<qint64> groupOf(n, -1);
    for (size_t i = 0; i < n; ++i) {
        const qint64 root = sets.root(qint64(i));
        if (groupOf[size_t(root)] < 0) {
            groupOf[size_t(root)] = qint64(groups.size());
            groups.push_back({});
        }
        groups[size_t(groupOf[size_t(root)])].positions.push_back(qint64(i));
    }
    std::erase_if(groups, [](const DuplicateGroup &g) { return g.positions.size() < 2; });
    for (DuplicateGroup &g : groups)
        g.mergeable = !conflicts(records, g);
    return groups;
}

ContactRecord Duplicates::merged(const std::vector<ContactRecord> &records, const DuplicateGroup &g)
{
    if (g.positions.empty())
        return {};
    ContactRecord out = records[size_t(g.positions.front())];
    for (size_t k = 1; k < g.positions.size(); ++k) {
        const ContactRecord &other = records[size_t(g.positions[k])];
        for (const ContactRecord::Field f : kFields)
            if (value(out, f).isEmpty() && !value(other, f).isEmpty())
                std::memcpy(out.data() + ContactRecord::offset(f),
                            other.data() + ContactRecord::offset(f),
                            size_t(ContactRecord::width(f)));
    }
    return out;
}

std::vector<ContactRecord> Duplicates::afterMerge(const std::vector<ContactRecord> &records,
                                                  const std::vector<DuplicateGroup> &chosen)
{
    std::vector<ContactRecord> out = records;
    std::vector<bool> gone(records.size(), false);
    for (const DuplicateGroup &g : chosen) {
        if (!g.mergeable || g.positions.size() < 2)
            continue;
        out[size_t(g.positions.front())] = merged(records, g);
        for (size_t k = 1; k < g.positions.size(); ++k)
            gone[size_t(g.positions[k])] = true;
    }
    size_t kept = 0;
    for (size_t i = 0; i < out.size(); ++i)
        if (!gone[i])
            out[kept++] = out[i];
    out.resize(kept);
    return out;
}

StoreError Duplicates::merge(ContactStore &store, const std::vector<ContactRecord> &asRead,
                             const std::vector<DuplicateGroup> &chosen)
{
    const std::vector<ContactRecord> after = afterMerge(asRead, chosen);
    if (after.size() == asRead.size())
        return {};
    StoreError e = store.ReplaceAllRecords(after, asRead);
    if (e.kind() == StoreError::RecordChanged)
        return StoreError(StoreError::RecordChanged, e.path(),
                          QStringLiteral("فایل داده پس از خواندن تغییر کرد؛ چیزی ادغام نشد"));
    return e;
}
