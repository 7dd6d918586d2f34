#include "autocheck/NewMail.h"

#include <QHash>

#include <algorithm>

namespace NewMail
{

bool isValidId(QByteArrayView id)
{
    if (id.isEmpty() || id.size() > MaxIdLength)
        return false;
    return std::all_of(id.begin(), id.end(), [](char c) { return c >= '!' && c <= '~'; });
}

Choice choose(const QList<Listed>& listing, const std::optional<QSet<QByteArray>>& seen, int limit,
              Ids ids)
{
    Choice choice;
    QHash<QByteArray, int> newest; // id -> its highest number
    int newestKnown = 0;
    for (const Listed& entry : listing) {
        choice.onServer.insert(entry.id);
        int& number = newest[entry.id];
        number = std::max(number, entry.number);
        if (ids == Ids::NewestDigests && seen && seen->contains(entry.id))
            newestKnown = std::max(newestKnown, entry.number);
    }
    if (!seen)
        return choice;
    QList<int> fresh;
    for (auto it = newest.cbegin(); it != newest.cend(); ++it) {
        if (!seen->contains(it.key()) && it.value() > newestKnown)
            fresh << it.value();
    }
    std::sort(fresh.begin(), fresh.end());
    choice.newCount = int(fresh.size());
    const qsizetype first = std::max<qsizetype>(0, fresh.size() - std::max(limit, 0));
    choice.fetch = fresh.mid(first);
    return choice;
}

} // namespace NewMail
