#pragma once

#include <QString>

#include <optional>

// Where `DbServer` points: "host" (the client's default port, or its default
// socket for "localhost"), "host:port" and "[v6]:port" (TCP, always: an
// explicit port must never land on the default socket's server), or an
// absolute Unix socket path.
struct ServerAddress
{
    enum class Kind { Host, HostAndPort, UnixSocket };

    Kind kind = Kind::Host;
    QString host;       // Host, HostAndPort
    quint16 port = 0;   // HostAndPort
    QString socketPath; // UnixSocket

    // Nothing, with `error` saying why, for an empty or malformed text.
    static std::optional<ServerAddress> parse(const QString &text, QString *error);
};
