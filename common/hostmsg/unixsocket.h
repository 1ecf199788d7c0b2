#pragma once

#include "uniquefd.h"

#include <QByteArray>

#include <optional>

#include <sys/socket.h>
#include <sys/un.h>

// The few Unix stream socket calls this module makes, with their error cases
// sorted into what the callers need to tell apart.
namespace hostmsg {

struct SocketAddress
{
    sockaddr_un address{};
    socklen_t length = 0;
};

// The longest file path a socket address can hold (sun_path less its NUL).
inline constexpr qsizetype MaxSocketPath = sizeof(sockaddr_un::sun_path) - 1;

// The address of the socket file at `path`, or nothing when the path is too
// long for one.
std::optional<SocketAddress> socketAddress(const QByteArray &path);

// A new non-blocking, close-on-exec stream socket; invalid with errno set on failure.
UniqueFd newStreamSocket();

enum class ConnectResult {
    Connected,
    InProgress, // wait for POLLOUT, then read SO_ERROR
    Busy,       // the listener's backlog is full: it is alive, try again
    NoListener, // no socket file, or nobody listening on it
    Failed,     // anything else; errno tells
};

ConnectResult connectSocket(int fd, const SocketAddress &address);

enum class Liveness { Live, Dead, Unknown };

// Whether an endpoint listens at `path`: connects once and closes at once.
Liveness probeEndpoint(const QByteArray &path);

} // namespace hostmsg
