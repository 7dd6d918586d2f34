#include "net/PeerHangUp.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <cerrno>
#include <sys/socket.h>
#include <sys/types.h>
#endif

namespace PeerHangUp
{

bool seen(qintptr descriptor)
{
    if (descriptor < 0)
        return false;
    char byte = 0;
    // Qt's sockets do not block: the look returns at once.
#ifdef Q_OS_WIN
    const int got = ::recv(SOCKET(descriptor), &byte, 1, MSG_PEEK);
    if (got == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAENETRESET;
    }
#else
    const ssize_t got = ::recv(int(descriptor), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got < 0)
        return errno == ECONNRESET || errno == EPIPE || errno == ETIMEDOUT;
#endif
    return got == 0;
}

} // namespace PeerHangUp
