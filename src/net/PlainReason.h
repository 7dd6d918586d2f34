#pragma once
// Why a session with a mail server failed, in words a user can act on: the
// informative text under the error boxes. The protocol log keeps the
// technical text; this says what happened and what to check.

#include "net/ServerAddress.h"

#include <QByteArrayView>
#include <QString>

namespace PlainReason
{

// The connection failed: `winsock` and `tls` as MailConnection reports them,
// `reason` its own text, `refusedByUser` where the user answered No to its
// certificate. `place` says where the user typed the server, as in "Check
// the server and its port <place>": "in Options", say.
QString connectionFailed(const ServerAddress& server, const QString& place, int winsock, bool tls,
                         const QString& reason, bool refusedByUser);

// No reply came within the idle time.
QString timedOut();

// "The server said: <reply>", the reply on one line without its line end.
QString serverSaid(QByteArrayView reply);

} // namespace PlainReason
