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
           DuplicateIndex::sameName(a, b);
}

namespace {

// Connects every pair of duplicates without comparing every pair of one
// name: a record with no numbers joins its whole name; one with only a
// phone joins every record with that phone, and every record with only
// one number when both kinds are there; two equal pairs join. Keys are
// hashes; a record found by one is checked, so a collision joins nothing.
class DuplicateLinker
{
public:
    explicit DuplicateLinker(const std::vector<ContactRecord> &records)
        : m_records(records), m_keys(records.size()), m_sets(records.size())
    {
        m_names.reserve(qsizetype(records.size()));
        m_numbers.reserve(qsizetype(2 * records.size()));
        m_pairs.reserve(qsizetype(records.size()));
    }

    std::vector<DuplicateGroup> groups()
    {
        for (size_t i = 0; i < m_records.size(); ++i)
            index(i);
        for (size_t i = 0; i < m_records.size(); ++i)
            link(i);
        return collect();
    }

private:
    struct Name
    {
        qint64 first = -1, bothEmpty = -1, phoneOnly = -1, mobileOnly = -1;
    };
    struct Number
    {
        qint64 first = -1;
        bool alone = false; // a record has it and no other number
    };
    struct Keys
    {
        quint64 name, phone, mobile;
    };

    QByteArrayView phoneOf(size_t i) const { return value(m_records[i], ContactRecord::Phone); }
    QByteArrayView mobileOf(size_t i) const { return value(m_records[i], ContactRecord::Mobile); }
    bool same(qint64 a, size_t b, bool phone, bool mobile) const
    {
        const size_t i = size_t(a);
        return (!phone || phoneOf(i) == phoneOf(b)) && (!mobile || mobileOf(i) == mobileOf(b)) &&
               DuplicateIndex::sameName(m_records[i], m_records[b]);
    }

    // Records a number of record i; alone when the other kind is empty.
    void noteNumber(size_t i, quint64 key, bool alone, bool phone, qint64 &onlyOfName)
    {
        Number &num = m_numbers[key];
        if (num.first < 0)
            num.first = qint64(i);
        if (alone && same(num.first, i, phone, !phone)) {
            num.alone = true;
            if (onlyOfName < 0)
                onlyOfName = qint64(i);
        }
    }

    void index(size_t i)
    {
        char folded[DuplicateIndex::NameRoom];
        const QByteArrayView name(folded, DuplicateIndex::foldName(m_records[i], folded));
        const QByteArrayView phone = phoneOf(i);
        const QByteArrayView mobile = mobileOf(i);
        m_keys[i] = {DuplicateIndex::hash('A', name, {}, {}),
                     DuplicateIndex::hash('P', name, phone, {}),
                     DuplicateIndex::hash('M', name, {}, mobile)};
        Name &nm = m_names[m_keys[i].name];
        if (nm.first < 0)
            nm.first = qint64(i);
        if (!same(nm.first, i, false, false))
            return; // another name of the same hash: left alone
        if (phone.isEmpty() && mobile.isEmpty() && nm.bothEmpty < 0)
            nm.bothEmpty = qint64(i);
        if (!phone.isEmpty())
            noteNumber(i, m_keys[i].phone, mobile.isEmpty(), true, nm.phoneOnly);
        if (!mobile.isEmpty())
            noteNumber(i, m_keys[i].mobile, phone.isEmpty(), false, nm.mobileOnly);
        const quint64 pair = DuplicateIndex::hash('X', name, phone, mobile);
        if (const auto it = m_pairs.constFind(pair); it == m_pairs.cend())
            m_pairs.insert(pair, qint64(i));
        else if (same(*it, i, true, true))
            m_sets.join(qint64(i), *it);
    }

    void link(size_t i)
    {
        const QByteArrayView phone = phoneOf(i);
        const QByteArrayView mobile = mobileOf(i);
        const Name &name = *m_names.constFind(m_keys[i].name);
        if (!same(name.first, i, false, false))
            return;
        if (name.bothEmpty >= 0) {
            m_sets.join(qint64(i), name.first);
            return;
        }
        if (!phone.isEmpty())
            if (const Number &p = *m_numbers.constFind(m_keys[i].phone);
                p.alone && same(p.first, i, true, false))
                m_sets.join(qint64(i), p.first);
        if (!mobile.isEmpty())
            if (const Number &m = *m_numbers.constFind(m_keys[i].mobile);
                m.alone && same(m.first, i, false, true))
                m_sets.join(qint64(i), m.first);
        if (name.phoneOnly >= 0 && name.mobileOnly >= 0 && (phone.isEmpty() || mobile.isEmpty()))
            m_sets.join(qint64(i), name.phoneOnly);
    }

    std::vector<DuplicateGroup> collect()
    {
        const size_t n = m_records.size();
        std::vector<DuplicateGroup> groups;
        std::vector<qint64> groupOf(n, -1);
        for (size_t i = 0; i < n; ++i) {
            const qint64 root = m_sets.root(qint64(i));
            if (groupOf[size_t(root)] < 0) {
                groupOf[size_t(root)] = qint64(groups.size());
                groups.push_back({});
            }
            groups[size_t(groupOf[size_t(root)])].positions.push_back(qint64(i));
        }
        std::erase_if(groups, [](const DuplicateGroup &g) { return g.positions.size() < 2; });
        for (DuplicateGroup &g : groups)
            g.mergeable = !conflicts(m_records, g);
        return groups;
    }

    const std::vector<ContactRecord> &m_records;
    std::vector<Keys> m_keys;
    QHash<quint64, Name> m_names;
    QHash<quint64, Number> m_numbers;
    QHash<quint64, qint64> m_pairs;
    UnionFind m_sets;
};

} // namespace

std::vector<DuplicateGroup> Duplicates::find(const std::vector<ContactRecord> &records)
{
    return DuplicateLinker(records).groups();
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
