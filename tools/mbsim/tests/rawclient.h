#pragma once

#include "uniquefd.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace mbsim::testing {

using Bytes = std::vector<std::uint8_t>;

// A plain TCP client on loopback that shows exactly which bytes arrive in which
// read. Every wait is bounded so a broken server fails the test instead of hanging it.
class RawClient
{
public:
    explicit RawClient(std::uint16_t port);

    bool isConnected() const { return m_socket.isValid(); }
    bool send(const Bytes &bytes);
    // One recv() after waiting up to `waitMs` for data: what one read delivers.
    // Empty when nothing came; std::nullopt when the server closed the connection.
    std::optional<Bytes> receiveOnce(int waitMs = 5000);
    // Reads until `count` bytes came, the server closed, or 5 s passed.
    Bytes receiveExactly(std::size_t count);
    // True when the server closes the connection within 5 s.
    bool waitForClose();

private:
    UniqueFd m_socket;
};

// Request ADU builders, big-endian as on the wire.
Bytes readRequest(std::uint16_t transactionId, std::uint8_t unit, std::uint8_t function,
                  std::uint16_t address, std::uint16_t quantity);

} // namespace mbsim::testing
