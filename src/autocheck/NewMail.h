#pragma once
// What an automatic check counts as new: a message whose unique id was not
// on the server at the last completed check of the account. Numbers change
// when another client deletes a message; ids do not, so only ids decide.

#include <QByteArray>
#include <QList>
#include <QSet>

#include <optional>

namespace NewMail
{

struct Listed {
    int number = 0; // 1..count, as in "RETR number"
    QByteArray id;
};

struct Choice {
    QList<int> fetch;          // the newest new ones, ascending, at most `limit`
    int newCount = 0;          // every new one, fetched or not
    QSet<QByteArray> onServer; // what the next check compares with
};

// `seen` is empty (no value) on the first check of an account: everything
// is recorded and nothing is new. An id listed twice counts once, for its
// highest number.
Choice choose(const QList<Listed>& listing, const std::optional<QSet<QByteArray>>& seen, int limit);

} // namespace NewMail
