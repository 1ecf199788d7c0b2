#include "rawclient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace mbsim::testing {

RawClient::RawClient(std::uint16_t port)
{
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(socket.get(), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return;
    // Each send() of the test is one segment, so split requests really are split.
    const int enable = 1;
    ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &enable, sizeof enable);
    m_socket = std::move(socket);
}

bool RawClient::send(const Bytes &bytes)
{
    return ::send(m_socket.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
}

std::optional<Bytes> RawClient::receiveOnce(int waitMs)
{
    pollfd pollFd{m_socket.get(), POLLIN, 0};
    if (::poll(&pollFd, 1, waitMs) <= 0)
        return Bytes{};
    Bytes buffer(1024);
    const ssize_t count = ::recv(m_socket.get(), buffer.data(), buffer.size(), 0);
    if (count <= 0)
        return std::nullopt;
    buffer.resize(static_cast<std::size_t>(count));
    return buffer;
}

Bytes RawClient::receiveExactly(std::size_t count)
{
    Bytes received;
    for (int attempt = 0; attempt < 50 && received.size() < count; ++attempt) {
        const std::optional<Bytes> chunk = receiveOnce(100);
        if (!chunk)
            break;
        received.insert(received.end(), chunk->begin(), chunk->end());
    }
    return received;
}

bool RawClient::waitForClose()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (!receiveOnce(100))
            return true;
    }
    return false;
}

Bytes readRequest(std::uint16_t transactionId, std::uint8_t unit, std::uint8_t function,
                  std::uint16_t address, std::uint16_t quantity)
{
    return {static_cast<std::uint8_t>(transactionId >> 8),
            static_cast<std::uint8_t>(transactionId & 0xFF),
            0x00,
            0x00,
            0x00,
            0x06,
            unit,
            function,
            static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address & 0xFF),
            static_cast<std::uint8_t>(quantity >> 8),
            static_cast<std::uint8_t>(quantity & 0xFF)};
}

} // namespace mbsim::testing
