#include "clientconnection.h"

#include "modbusframe.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <sys/socket.h>

namespace mbsim {

namespace {

// Garbage is a fixed pattern so that tests can check the exact bytes.
constexpr std::uint8_t kGarbageByte = 0xA5;

} // namespace

ClientConnection::ClientConnection(UniqueFd socket) : m_socket(std::move(socket)) {}

bool ClientConnection::receive()
{
    std::array<std::uint8_t, 4096> chunk;
    const ssize_t count = ::recv(m_socket.get(), chunk.data(), chunk.size(), 0);
    if (count > 0) {
        m_received.insert(m_received.end(), chunk.begin(), chunk.begin() + count);
        return true;
    }
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return true;
    return false;
}

ClientConnection::Extraction ClientConnection::takeFrame(std::vector<std::uint8_t> &frame)
{
    const FrameScan scan = scanFrame(m_received);
    switch (scan.status) {
    case FrameStatus::NeedMoreBytes:
        return Extraction::NeedMoreBytes;
    case FrameStatus::Invalid:
        return Extraction::Invalid;
    case FrameStatus::Complete:
        break;
    }
    frame.assign(m_received.begin(), m_received.begin() + static_cast<std::ptrdiff_t>(scan.length));
    m_received.erase(m_received.begin(),
                     m_received.begin() + static_cast<std::ptrdiff_t>(scan.length));
    return Extraction::Frame;
}

void ClientConnection::queueReply(const ReplyPlan &plan, Clock::time_point now)
{
    std::vector<std::uint8_t> bytes = plan.adu;
    if (!plan.fault) {
        if (!bytes.empty())
            enqueue(now, std::move(bytes));
        return;
    }
    const FaultRule &fault = *plan.fault;
    switch (fault.kind) {
    case FaultKind::Exception:
        // A pause makes a late refusal, as a slow gateway gives one.
        enqueue(now + fault.pause, std::move(bytes));
        break;
    case FaultKind::Delay:
        enqueue(now + fault.pause, std::move(bytes));
        break;
    case FaultKind::Drop:
        m_closing = true;
        enqueue(now, {}, true);
        break;
    case FaultKind::Split: {
        const std::size_t first = std::min(fault.byteCount, bytes.size());
        std::vector<std::uint8_t> rest(bytes.begin() + static_cast<std::ptrdiff_t>(first),
                                       bytes.end());
        bytes.resize(first);
        enqueue(now, std::move(bytes));
        if (!rest.empty())
            enqueue(now + fault.pause, std::move(rest));
        break;
    }
    case FaultKind::Merge:
        m_heldForMerge.insert(m_heldForMerge.end(), bytes.begin(), bytes.end());
        break;
    case FaultKind::WrongTransactionId:
        if (bytes.size() >= 2) {
            const auto wrongId = static_cast<std::uint16_t>((bytes[0] << 8 | bytes[1]) + 1);
            bytes[0] = static_cast<std::uint8_t>(wrongId >> 8);
            bytes[1] = static_cast<std::uint8_t>(wrongId & 0xFF);
        }
        enqueue(now, std::move(bytes));
        break;
    case FaultKind::Garbage:
        std::fill(bytes.begin(), bytes.end(), kGarbageByte);
        enqueue(now, std::move(bytes));
        break;
    case FaultKind::Truncate:
        bytes.resize(std::min(fault.byteCount, bytes.size()));
        enqueue(now, std::move(bytes));
        break;
    }
}

void ClientConnection::enqueue(Clock::time_point due, std::vector<std::uint8_t> bytes,
                               bool closeAfter)
{
    // A held (merged) reply rides in front of the next thing this client is sent,
    // in the same send() call, so both arrive in one segment.
    if (!m_heldForMerge.empty()) {
        bytes.insert(bytes.begin(), m_heldForMerge.begin(), m_heldForMerge.end());
        m_heldForMerge.clear();
    }
    if (bytes.empty() && !closeAfter)
        return;
    m_outgoing.push_back({due, std::move(bytes), closeAfter, 0});
}

bool ClientConnection::sendDue(Clock::time_point now)
{
    m_socketFull = false;
    // Replies leave in order: a delayed reply holds back the ones queued after it,
    // as on a device that answers one request at a time.
    while (!m_outgoing.empty() && m_outgoing.front().due <= now) {
        Transmission &next = m_outgoing.front();
        if (next.sent < next.bytes.size()) {
            const ssize_t count = ::send(m_socket.get(), next.bytes.data() + next.sent,
                                         next.bytes.size() - next.sent, MSG_NOSIGNAL);
            if (count < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                    m_socketFull = true;
                    return true;
                }
                return false;
            }
            next.sent += static_cast<std::size_t>(count);
            if (next.sent < next.bytes.size()) {
                m_socketFull = true;
                return true;
            }
        }
        if (next.closeAfter)
            return false;
        m_outgoing.pop_front();
    }
    return true;
}

std::optional<Clock::time_point> ClientConnection::nextDue() const
{
    if (m_outgoing.empty() || m_socketFull)
        return std::nullopt;
    return m_outgoing.front().due;
}

} // namespace mbsim
