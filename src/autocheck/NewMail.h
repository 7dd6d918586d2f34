#pragma once
// What an automatic check counts as new: a message whose unique id was not
// on the server at the last completed check of the account. Numbers change
// when another client deletes a message; ids do not, so only ids decide.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSet>

#include <optional>

namespace NewMail
{

// An id is 1 to 70 characters from "!" to "~" (RFC 1939): one that is not
// comes from a broken or hostile server, or from a damaged file.
constexpr qsizetype MaxIdLength = 70;
bool isValidId(QByteArrayView id);

struct Listed {
    int number = 0; // 1..count, as in "RETR number"
    QByteArray id;
};

struct Choice {
    QList<int> fetch;          // the newest new ones, ascending, at most `limit`
    int newCount = 0;          // every new one, fetched or not
    QSet<QByteArray> onServer; // what the next check compares with
};

enum class Ids {
    Unique, // UIDL: an unknown id is new
    // Header digests of the newest messages only: an unknown one is new
    // when it is newer than every known one. An older message that moved
    // into the window because another client deleted one is not new.
    NewestDigests,
};

// `seen` is empty (no value) on the first check of an account: everything
// is recorded and nothing is new. An id listed twice counts once, for its
// highest number.
Choice choose(const QList<Listed>& listing, const std::optional<QSet<QByteArray>>& seen, int limit,
              Ids ids = Ids::Unique);

} // namespace NewMail
