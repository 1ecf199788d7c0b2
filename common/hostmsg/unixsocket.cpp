#include "unixsocket.h"

#include "logging.h"

#include <cerrno>
#include <cstring>

namespace hostmsg {

std::optional<SocketAddress> socketAddress(const QByteArray &path)
{
    if (path.isEmpty() || path.size() > MaxSocketPath)
        return std::nullopt;
    SocketAddress result;
    result.address.sun_family = AF_UNIX;
    std::memcpy(result.address.sun_path, path.constData(), size_t(path.size()));
    result.length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(path.size()) + 1);
    return result;
}

UniqueFd newStreamSocket()
{
    return UniqueFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
}

ConnectResult connectSocket(int fd, const SocketAddress &address)
{
    for (;;) {
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address.address), address.length) ==
            0)
            return ConnectResult::Connected;
        switch (errno) {
        case EINTR:
            continue;
        case EINPROGRESS:
            return ConnectResult::InProgress;
        case EAGAIN:
            return ConnectResult::Busy;
        case ECONNREFUSED:
        case ENOENT:
            return ConnectResult::NoListener;
        default:
            return ConnectResult::Failed;
        }
    }
}

Liveness probeEndpoint(const QByteArray &path)
{
    const std::optional<SocketAddress> address = socketAddress(path);
    if (!address)
        return Liveness::Unknown;
    const UniqueFd socket = newStreamSocket();
    if (!socket.isValid()) {
        qCWarning(lcHostmsg) << "cannot create a socket:" << std::strerror(errno);
        return Liveness::Unknown;
    }
    switch (connectSocket(socket.get(), *address)) {
    case ConnectResult::Connected:
    case ConnectResult::InProgress:
    case ConnectResult::Busy:
        return Liveness::Live;
    case ConnectResult::NoListener:
        return Liveness::Dead;
    case ConnectResult::Failed:
        qCWarning(lcHostmsg) << "cannot reach" << path << ":" << std::strerror(errno);
        return Liveness::Unknown;
    }
    return Liveness::Unknown;
}

} // namespace hostmsg
