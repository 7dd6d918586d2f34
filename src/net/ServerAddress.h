#pragma once
// The text of a server box: "host", "host:port" or "[IPv6]:port", with
// surrounding spaces ignored. A bare IPv6 address ("::1") is a host without
// a port. Without a port the protocol's own port applies.

#include <QString>

#include <optional>

struct ServerAddress {
    QString host;
    quint16 port = 0;
    bool portGiven = false;

    // The address, or nothing with *problem set to a message that names the
    // bad text (a port that is not a number or outside 1 to 65535, an empty
    // host, an unclosed bracket).
    static std::optional<ServerAddress> parse(const QString& text, quint16 defaultPort,
                                              QString* problem);

    // "host:port", or "[v6]:port": the key a server's certificate is kept by.
    QString key() const;
};
