#include "delivery.h"

#include "frame.h"
#include "localreceivers.h"
#include "logging.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>

using namespace std::chrono_literals;

namespace hostmsg {

namespace {

// A full backlog cannot be waited for with poll(): the connect is simply tried again.
constexpr auto ConnectRetryInterval = 10ms;
constexpr std::chrono::milliseconds LongestPoll{std::numeric_limits<int>::max()};

int pollTimeout(const QDeadlineTimer &deadline, std::chrono::milliseconds cap)
{
    const auto remaining =
        std::chrono::ceil<std::chrono::milliseconds>(deadline.remainingTimeAsDuration());
    return int(std::clamp(remaining, 0ms, cap).count());
}

} // namespace

Delivery::Delivery(LocalReceivers &localReceivers, std::chrono::milliseconds timeLimit)
    : m_localReceivers(localReceivers), m_deadline(timeLimit, Qt::PreciseTimer)
{}

std::optional<qint64> Delivery::run(const SocketAddress &address, const Message &message)
{
    m_address = &address;
    m_message = &message;
    m_header = encodeFrameHeader(message);
    m_socket = newStreamSocket();
    if (!m_socket.isValid()) {
        qCWarning(lcHostmsg) << "cannot create a socket:" << std::strerror(errno);
        return std::nullopt;
    }
    connectToEndpoint();

    std::vector<pollfd> sockets;
    while (m_phase != Phase::Done && m_phase != Phase::Failed) {
        if (m_deadline.hasExpired()) {
            qCDebug(lcHostmsg) << "no answer in time from" << m_address->address.sun_path;
            return std::nullopt;
        }
        const bool waitingToConnect = m_phase == Phase::WaitingToConnect;
        sockets.clear();
        // A negative descriptor is skipped by poll(): then it only waits and serves.
        sockets.push_back({waitingToConnect ? -1 : m_socket.get(), socketEvents(), 0});
        m_localReceivers.appendWatchedSockets(sockets);

        const auto cap = waitingToConnect ? ConnectRetryInterval : LongestPoll;
        if (::poll(sockets.data(), nfds_t(sockets.size()), pollTimeout(m_deadline, cap)) < 0) {
            if (errno == EINTR)
                continue;
            qCWarning(lcHostmsg) << "poll failed:" << std::strerror(errno);
            return std::nullopt;
        }
        if (waitingToConnect)
            connectToEndpoint();
        else if (sockets.front().revents != 0)
            advance();
        if (m_phase == Phase::Done || m_phase == Phase::Failed)
            break;
        for (auto it = sockets.begin() + 1; it != sockets.end(); ++it) {
            if (it->revents != 0)
                m_localReceivers.serveSocket(it->fd);
        }
    }
    if (m_phase == Phase::Failed)
        return std::nullopt;
    return m_message->kind == Kind::Send ? decodeAnswer(m_reply) : 0;
}

void Delivery::connectToEndpoint()
{
    switch (connectSocket(m_socket.get(), *m_address)) {
    case ConnectResult::Connected:
        m_phase = Phase::Writing;
        return;
    case ConnectResult::InProgress:
        m_phase = Phase::Connecting;
        return;
    case ConnectResult::Busy:
        m_phase = Phase::WaitingToConnect;
        return;
    case ConnectResult::NoListener:
        return fail("no window listens", errno);
    case ConnectResult::Failed:
        qCWarning(lcHostmsg) << "cannot connect to" << m_address->address.sun_path << ":"
                             << std::strerror(errno);
        m_phase = Phase::Failed;
        return;
    }
}

short Delivery::socketEvents() const
{
    return m_phase == Phase::AwaitingReply ? POLLIN : POLLOUT;
}

void Delivery::advance()
{
    switch (m_phase) {
    case Phase::Connecting:
        return finishConnecting();
    case Phase::Writing:
        return writeFrame();
    case Phase::AwaitingReply:
        return readReply();
    case Phase::WaitingToConnect:
    case Phase::Done:
    case Phase::Failed:
        return;
    }
}

void Delivery::finishConnecting()
{
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(m_socket.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error != 0)
        return fail("cannot connect", error);
    m_phase = Phase::Writing;
    writeFrame();
}

void Delivery::writeFrame()
{
    const QByteArray &payload = m_message->payload;
    const qsizetype total = m_header.size() + payload.size();
    while (m_written < total) {
        iovec parts[2];
        int count = 0;
        if (m_written < m_header.size()) {
            parts[count++] = {const_cast<char *>(m_header.constData()) + m_written,
                              size_t(m_header.size() - m_written)};
        }
        const qsizetype payloadWritten = std::max<qsizetype>(0, m_written - m_header.size());
        if (payloadWritten < payload.size()) {
            parts[count++] = {const_cast<char *>(payload.constData()) + payloadWritten,
                              size_t(payload.size() - payloadWritten)};
        }
        msghdr frame{};
        frame.msg_iov = parts;
        frame.msg_iovlen = size_t(count);
        // MSG_NOSIGNAL: a receiver that has gone must not kill this process with SIGPIPE.
        const ssize_t written = ::sendmsg(m_socket.get(), &frame, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            return fail("the receiver closed before taking the frame", errno);
        }
        m_written += written;
    }
    m_phase = Phase::AwaitingReply;
}

void Delivery::readReply()
{
    const bool isSend = m_message->kind == Kind::Send;
    for (;;) {
        char buffer[AnswerSize];
        // After a post nothing but the close may come; one byte shows any mistake.
        const size_t wanted = isSend ? size_t(AnswerSize - m_reply.size()) : 1;
        const ssize_t received = ::recv(m_socket.get(), buffer, wanted, 0);
        if (received > 0) {
            if (!isSend)
                return fail("the receiver answered a post");
            m_reply.append(buffer, received);
            if (m_reply.size() == AnswerSize) {
                m_phase = Phase::Done;
                return;
            }
            continue;
        }
        if (received == 0) {
            if (isSend)
                return fail("the receiver closed without an answer");
            m_phase = Phase::Done;
            return;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return;
        return fail("the receiver dropped the frame", errno);
    }
}

void Delivery::fail(const char *reason, int error)
{
    // Expected whenever a window has gone, so not worth a warning.
    if (error != 0)
        qCDebug(lcHostmsg) << m_address->address.sun_path << ":" << reason << ":"
                           << std::strerror(error);
    else
        qCDebug(lcHostmsg) << m_address->address.sun_path << ":" << reason;
    m_phase = Phase::Failed;
}

} // namespace hostmsg
