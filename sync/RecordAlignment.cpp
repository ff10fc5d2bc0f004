#include "sync/RecordAlignment.h"

#include <algorithm>

#include <QHash>

#include "contacts/FieldText.h"

namespace {

constexpr int kSame = 16;                      // beats any number of shared fields
constexpr qint64 kMostCells = 4 * 1024 * 1024; // for the table of the exact way

// Best order-keeping pairing of a[0..n) and b[0..m): equal records count kSame,
// records that share a field count the fields, others do not pair.
void best(const ContactRecord *a, int n, const ContactRecord *b, int m, std::vector<int> &out,
          int aAt, int bAt)
{
    std::vector<int> score(size_t(n + 1) * size_t(m + 1), 0);
    const auto at = [&](int i, int j) -> int & { return score[size_t(i) * size_t(m + 1) + j]; };
    const auto gain = [&](int i, int j) {
        return a[i] == b[j] ? kSame : RecordAlignment::likeness(a[i], b[j]);
    };
    for (int i = n - 1; i >= 0; --i)
        for (int j = m - 1; j >= 0; --j) {
            const int g = gain(i, j);
            at(i, j) = std::max({at(i + 1, j), at(i, j + 1), g > 0 ? g + at(i + 1, j + 1) : 0});
        }
    for (int i = 0, j = 0; i < n && j < m;) {
        const int g = gain(i, j);
        if (g > 0 && at(i, j) == g + at(i + 1, j + 1)) {
            out[size_t(aAt + i)] = bAt + j;
            ++i;
            ++j;
        } else if (at(i, j) == at(i + 1, j)) {
            ++i;
        } else {
            ++j;
        }
    }
}

// For large changes: equal records in order, then neighbours that share a field.
void quick(const ContactRecord *a, int n, const ContactRecord *b, int m, std::vector<int> &out,
           int aAt, int bAt)
{
    QHash<QByteArray, std::vector<int>> where;
    for (int j = m - 1; j >= 0; --j)
        where[b[j].toByteArray()].push_back(j); // last pushed is the first
    std::vector<int> pairOf(size_t(n), -1);
    int last = -1;
    for (int i = 0; i < n; ++i) {
        auto it = where.find(a[i].toByteArray());
        if (it == where.end())
            continue;
        auto &js = it.value();
        while (!js.empty() && js.back() <= last)
            js.pop_back();
        if (!js.empty()) {
            pairOf[size_t(i)] = last = js.back();
            js.pop_back();
        }
    }
    std::vector<char> taken(size_t(m), 0);
    for (int i = 0; i < n; ++i)
        if (pairOf[size_t(i)] >= 0)
            taken[size_t(pairOf[size_t(i)])] = 1;
    // A record between two pairs takes the first free one there that shares a field.
    int from = 0;
    for (int i = 0; i < n; ++i) {
        if (pairOf[size_t(i)] >= 0) {
            from = pairOf[size_t(i)] + 1;
            continue;
        }
        int until = m;
        for (int k = i + 1; k < n; ++k)
            if (pairOf[size_t(k)] >= 0) {
                until = pairOf[size_t(k)];
                break;
            }
        for (int j = from; j < until; ++j)
            if (!taken[size_t(j)] && RecordAlignment::likeness(a[i], b[j]) > 0) {
                pairOf[size_t(i)] = j;
                taken[size_t(j)] = 1;
                from = j + 1;
                break;
            }
    }
    for (int i = 0; i < n; ++i)
        if (pairOf[size_t(i)] >= 0)
            out[size_t(aAt + i)] = bAt + pairOf[size_t(i)];
}

} // namespace

int RecordAlignment::likeness(const ContactRecord &a, const ContactRecord &b)
{
    int shared = 0;
    for (const auto f : {ContactRecord::Name, ContactRecord::Family, ContactRecord::Phone,
                         ContactRecord::Mobile, ContactRecord::Address})
        if (a.fieldBytes(f) == b.fieldBytes(f) && !FieldText::unpadded(a.fieldBytes(f)).isEmpty())
            ++shared;
    if (a.ID() == b.ID() && a.ID() != 0)
        ++shared;
    return shared;
}

std::vector<int> RecordAlignment::align(const std::vector<ContactRecord> &before,
                                        const std::vector<ContactRecord> &now)
{
    std::vector<int> out(before.size(), -1);
    const int n = int(before.size());
    const int m = int(now.size());
    // The common head and tail first: usually that is nearly everything.
    int head = 0;
    while (head < n && head < m && before[size_t(head)] == now[size_t(head)]) {
        out[size_t(head)] = head;
        ++head;
    }
    int tail = 0;
    while (tail < n - head && tail < m - head &&
           before[size_t(n - 1 - tail)] == now[size_t(m - 1 - tail)]) {
        out[size_t(n - 1 - tail)] = m - 1 - tail;
        ++tail;
    }
    const int a = n - head - tail;
    const int b = m - head - tail;
    if (a == 0 || b == 0)
        return out;
    if (qint64(a) * qint64(b) <= kMostCells)
        best(before.data() + head, a, now.data() + head, b, out, head, head);
    else
        quick(before.data() + head, a, now.data() + head, b, out, head, head);
    return out;
}
