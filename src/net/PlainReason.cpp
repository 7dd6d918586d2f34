#include "net/PlainReason.h"

namespace
{

// The socket's texts mostly come without a full stop.
QString sentence(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.endsWith(QLatin1Char('.')) ||
        trimmed.endsWith(QLatin1Char('!')))
        return trimmed;
    return trimmed + QLatin1Char('.');
}

} // namespace

namespace PlainReason
{

QString connectionFailed(const ServerAddress& server, const QString& place, int winsock, bool tls,
                         const QString& reason, bool refusedByUser)
{
    const QString where = server.key();
    if (tls) {
        if (refusedByUser)
            return QStringLiteral("You did not trust the certificate of %1, so the connection "
                                  "was closed.")
                .arg(where);
        return QStringLiteral("The secure connection to %1 could not be made: %2 Check the "
                              "server and its port %3.")
            .arg(where, sentence(reason), place);
    }
    switch (winsock) {
    case 11001: // host not found
        return QStringLiteral("The server %1 was not found. Check its name %2 for a typing "
                              "error, and that this computer is online.")
            .arg(server.host, place);
    case 10061: // refused
        return QStringLiteral("Nothing answered at %1. Check the server and its port %2, and "
                              "that the server is running.")
            .arg(where, place);
    case 10060: // timed out
        return timedOut();
    case 10054: // reset: the server closed the connection
    case 10053: // aborted
        return QStringLiteral("The server %1 closed the connection. Try again later.").arg(where);
    case 10050: // network down
    case 10051: // network unreachable
        return QStringLiteral("The network did not reach %1. Check that this computer is "
                              "online.")
            .arg(where);
    default:
        return QStringLiteral("The connection to %1 failed: %2").arg(where, sentence(reason));
    }
}

QString timedOut()
{
    return QStringLiteral("The connection timed out. Check that this computer is online, or "
                          "try again later.");
}

QString serverSaid(QByteArrayView reply)
{
    QString line = QString::fromUtf8(reply).trimmed();
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral("The server said: ") + line;
}

} // namespace PlainReason
