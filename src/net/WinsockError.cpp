#include "net/WinsockError.h"

namespace WinsockError
{

int number(QAbstractSocket::SocketError error)
{
    using E = QAbstractSocket::SocketError;
    switch (error) {
    case E::ConnectionRefusedError:
        return 10061; // WSAECONNREFUSED
    case E::RemoteHostClosedError:
        return 10054; // WSAECONNRESET
    case E::HostNotFoundError:
        return 11001; // WSAHOST_NOT_FOUND
    case E::SocketAccessError:
        return 10013; // WSAEACCES
    case E::SocketResourceError:
        return 10055; // WSAENOBUFS
    case E::SocketTimeoutError:
        return 10060; // WSAETIMEDOUT
    case E::DatagramTooLargeError:
        return 10040; // WSAEMSGSIZE
    case E::NetworkError:
        return 10050; // WSAENETDOWN
    case E::AddressInUseError:
        return 10048; // WSAEADDRINUSE
    case E::SocketAddressNotAvailableError:
        return 10049; // WSAEADDRNOTAVAIL
    case E::UnsupportedSocketOperationError:
        return 10045; // WSAEOPNOTSUPP
    case E::ProxyAuthenticationRequiredError:
    case E::ProxyConnectionRefusedError:
    case E::ProxyConnectionClosedError:
    case E::ProxyConnectionTimeoutError:
    case E::ProxyNotFoundError:
    case E::ProxyProtocolError:
        return 10051; // WSAENETUNREACH: the way out is not there
    case E::SslHandshakeFailedError:
    case E::SslInternalError:
    case E::SslInvalidUserDataError:
        return 10053; // WSAECONNABORTED: the secure connection was given up
    case E::OperationError:
        return 10022; // WSAEINVAL
    case E::TemporaryError:
        return 10035; // WSAEWOULDBLOCK
    case E::UnfinishedSocketOperationError:
        return 10036; // WSAEINPROGRESS
    case E::UnknownSocketError:
        break;
    }
    return 10053; // WSAECONNABORTED
}

} // namespace WinsockError
