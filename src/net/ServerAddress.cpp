#include "net/ServerAddress.h"

namespace
{

std::optional<quint16> portNumber(const QString& digits)
{
    if (digits.isEmpty() || digits.size() > 5)
        return std::nullopt;
    for (const QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    const int value = digits.toInt();
    if (value < 1 || value > 65535)
        return std::nullopt;
    return quint16(value);
}

} // namespace

std::optional<ServerAddress> ServerAddress::parse(const QString& text, quint16 defaultPort,
                                                  QString* problem)
{
    const QString trimmed = text.trimmed();
    const auto refuse = [&](const QString& why) -> std::optional<ServerAddress> {
        *problem = why;
        return std::nullopt;
    };
    const auto badPort = [&](const QString& port) {
        return refuse(QStringLiteral("\"%1\" is not a valid port in \"%2\": give a number "
                                     "from 1 to 65535.")
                          .arg(port, trimmed));
    };

    ServerAddress address;
    address.port = defaultPort;
    QString portText;
    if (trimmed.startsWith(QLatin1Char('['))) {
        const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
        if (close < 0)
            return refuse(QStringLiteral("\"%1\" opens a bracket it does not close.").arg(trimmed));
        address.host = trimmed.mid(1, close - 1);
        const QString rest = trimmed.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                return refuse(QStringLiteral("\"%1\" has text after the bracket that is not "
                                             "\":port\".")
                                  .arg(trimmed));
            portText = rest.mid(1);
            address.portGiven = true;
        }
    } else if (trimmed.count(QLatin1Char(':')) == 1) {
        const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
        address.host = trimmed.left(colon);
        portText = trimmed.mid(colon + 1);
        address.portGiven = true;
    } else {
        address.host = trimmed; // a name, an IPv4 address or a bare IPv6 address
    }

    if (address.host.trimmed().isEmpty() || address.host != address.host.trimmed())
        return refuse(QStringLiteral("\"%1\" names no server.").arg(trimmed));
    if (address.portGiven) {
        const std::optional<quint16> port = portNumber(portText);
        if (!port)
            return badPort(portText);
        address.port = *port;
    }
    return address;
}

QString ServerAddress::key() const
{
    const QString shown =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return shown + QLatin1Char(':') + QString::number(port);
}
