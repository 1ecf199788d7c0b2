#pragma once

#include "simulatorstate.h"
#include "uniquefd.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace mbsim {

// One accepted client socket: the bytes received but not yet framed, and the
// replies waiting for their time to go on the wire. Used by the server thread only.
class ClientConnection
{
public:
    explicit ClientConnection(UniqueFd socket);

    int fd() const { return m_socket.get(); }

    // Reads what the socket holds. False when the peer closed or the socket failed.
    bool receive();

    enum class Extraction { Frame, NeedMoreBytes, Invalid };
    // Moves the first complete request ADU out of the receive buffer into `frame`.
    Extraction takeFrame(std::vector<std::uint8_t> &frame);

    // Turns a reply into what goes on the wire, shaped by its fault.
    void queueReply(const ReplyPlan &plan, Clock::time_point now);

    // Sends every queued piece that is due. False when the connection is to be closed.
    bool sendDue(Clock::time_point now);

    // When the next queued piece is due; none while nothing waits or the socket is full.
    std::optional<Clock::time_point> nextDue() const;
    bool waitsForWritable() const { return m_socketFull; }
    // A drop fault is queued: no further request is read from this client.
    bool isClosing() const { return m_closing; }

private:
    struct Transmission
    {
        Clock::time_point due;
        std::vector<std::uint8_t> bytes;
        bool closeAfter = false;
        std::size_t sent = 0;
    };

    void enqueue(Clock::time_point due, std::vector<std::uint8_t> bytes, bool closeAfter = false);

    UniqueFd m_socket;
    std::vector<std::uint8_t> m_received;
    std::deque<Transmission> m_outgoing;
    std::vector<std::uint8_t> m_heldForMerge;
    bool m_socketFull = false;
    bool m_closing = false;
};

} // namespace mbsim
