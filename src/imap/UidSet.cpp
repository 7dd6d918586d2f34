#include "imap/UidSet.h"

#include <algorithm>

namespace
{

// A number from 1 to 4294967295 in decimal digits, or 0.
quint32 uidOf(QByteArrayView digits)
{
    if (digits.isEmpty() || digits.size() > 10)
        return 0;
    quint64 value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + quint64(c - '0');
    }
    return value <= 0xffffffffu ? quint32(value) : 0;
}

} // namespace

// Sorted first and merged in one pass, so that a long set in any order
// costs no more than sorting it.
std::optional<UidSet> UidSet::parse(QByteArrayView text)
{
    if (text.isEmpty())
        return std::nullopt;
    QList<Range> ranges;
    qsizetype from = 0;
    while (from <= text.size()) {
        qsizetype comma = text.indexOf(',', from);
        if (comma < 0)
            comma = text.size();
        const QByteArrayView item = text.sliced(from, comma - from);
        const qsizetype colon = item.indexOf(':');
        const quint32 first = uidOf(colon < 0 ? item : item.first(colon));
        const quint32 last = colon < 0 ? first : uidOf(item.sliced(colon + 1));
        if (first == 0 || last == 0)
            return std::nullopt;
        ranges.append(Range{std::min(first, last), std::max(first, last)});
        from = comma + 1;
    }
    std::sort(ranges.begin(), ranges.end(),
              [](const Range& a, const Range& b) { return a.first < b.first; });
    UidSet set;
    for (const Range& r : ranges) {
        if (!set.m_ranges.isEmpty() && quint64(r.first) <= quint64(set.m_ranges.last().last) + 1)
            set.m_ranges.last().last = std::max(set.m_ranges.last().last, r.last);
        else
            set.m_ranges.append(r);
    }
    return set;
}

void UidSet::add(quint32 uid)
{
    add(uid, uid);
}

// Keeps the ranges sorted and merges those that touch or overlap.
void UidSet::add(quint32 first, quint32 last)
{
    if (first == 0 || last < first)
        return;
    auto at =
        std::lower_bound(m_ranges.begin(), m_ranges.end(), first,
                         [](const Range& r, quint32 uid) { return quint64(r.last) + 1 < uid; });
    auto end = at;
    while (end != m_ranges.end() && quint64(end->first) <= quint64(last) + 1) {
        first = std::min(first, end->first);
        last = std::max(last, end->last);
        ++end;
    }
    at = m_ranges.erase(at, end);
    m_ranges.insert(at, Range{first, last});
}

bool UidSet::contains(quint32 uid) const
{
    auto at = std::lower_bound(m_ranges.begin(), m_ranges.end(), uid,
                               [](const Range& r, quint32 u) { return r.last < u; });
    return at != m_ranges.end() && at->first <= uid;
}

quint64 UidSet::count() const
{
    quint64 total = 0;
    for (const Range& r : m_ranges)
        total += quint64(r.last) - r.first + 1;
    return total;
}

QByteArray UidSet::text() const
{
    QByteArray out;
    for (const Range& r : m_ranges) {
        if (!out.isEmpty())
            out += ',';
        out += QByteArray::number(r.first);
        if (r.last != r.first)
            out += ':' + QByteArray::number(r.last);
    }
    return out;
}
