#pragma once
// The Winsock error number that a socket error corresponds to, as the
// sender's "Winsock Error number" box promises: 10061 refused, 11001 host
// not found, 10060 timed out, 10054 reset, 10053 aborted, and so on.

#include <QAbstractSocket>

namespace WinsockError
{
int number(QAbstractSocket::SocketError error);
} // namespace WinsockError
