#pragma once
// Whether the far end of a TCP connection has hung up, without taking
// anything from the connection: a look at what the socket could read.
// Qt reads nothing from a socket whose TLS handshake is paused (while its
// certificate is in question), so it does not notice that on its own.

#include <QtGlobal>

namespace PeerHangUp
{
// True once the peer has closed or reset the connection; false while it is
// open, with or without data waiting, and for a descriptor that is no
// socket.
bool seen(qintptr descriptor);
} // namespace PeerHangUp
