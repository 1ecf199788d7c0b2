#include "simulatorserver.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mbsim {

namespace {

// More clients than any test or user session needs; further ones are refused.
constexpr std::size_t kMaxConnections = 256;
// Accepting is bounded per loop turn so a connect storm cannot starve the clients.
constexpr int kMaxAcceptsPerTurn = 32;
// The loop looks at its schedule at least this often even when nothing happens.
constexpr int kMaxPollTimeoutMs = 500;

std::string systemError(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

SimulatorServer::SimulatorServer(SimulatorState &state) : m_state(state) {}

SimulatorServer::~SimulatorServer()
{
    stop();
}

StartResult SimulatorServer::start(std::uint16_t port)
{
    if (isRunning())
        return {0, "already running"};

    UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!listener.isValid())
        return {0, systemError("socket")};
    const int enable = 1;
    ::setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &enable, sizeof enable);

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK); // loopback only, never exposed
    address.sin_port = htons(port);
    if (::bind(listener.get(), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return {0, systemError("bind")};
    if (::listen(listener.get(), SOMAXCONN) != 0)
        return {0, systemError("listen")};
    socklen_t length = sizeof address;
    if (::getsockname(listener.get(), reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return {0, systemError("getsockname")};

    int wakePipe[2];
    if (::pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) != 0)
        return {0, systemError("pipe")};
    m_wakeReader.reset(wakePipe[0]);
    m_wakeWriter.reset(wakePipe[1]);
    m_listener = std::move(listener);
    m_stopRequested = false;
    m_thread = std::thread([this] { run(); });
    return {ntohs(address.sin_port), {}};
}

void SimulatorServer::stop()
{
    if (!m_thread.joinable())
        return;
    m_stopRequested = true;
    wake();
    m_thread.join();
    m_connections.clear();
    m_listener.reset();
    m_wakeReader.reset();
    m_wakeWriter.reset();
}

void SimulatorServer::wake()
{
    if (m_wakeWriter.isValid()) {
        const char byte = 1;
        // A full pipe already means "wake up"; the result does not matter.
        [[maybe_unused]] const ssize_t written = ::write(m_wakeWriter.get(), &byte, 1);
    }
}

void SimulatorServer::run()
{
    std::vector<pollfd> pollFds;
    while (!m_stopRequested) {
        const Clock::time_point now = Clock::now();
        const std::optional<Clock::time_point> nextTask = m_state.runDueTasks(now);

        std::erase_if(m_connections, [&](const std::unique_ptr<ClientConnection> &connection) {
            if (connection->sendDue(now))
                return false;
            m_state.countConnectionClosed();
            return true;
        });

        pollFds.clear();
        pollFds.push_back({m_wakeReader.get(), POLLIN, 0});
        pollFds.push_back({m_listener.get(), POLLIN, 0});
        for (const auto &connection : m_connections) {
            short events = connection->isClosing() ? 0 : POLLIN;
            if (connection->waitsForWritable())
                events |= POLLOUT;
            pollFds.push_back({connection->fd(), events, 0});
        }
        const int ready = ::poll(pollFds.data(), pollFds.size(), pollTimeoutMs(now, nextTask));
        if (ready <= 0)
            continue; // timeout, or EINTR: the loop re-reads its schedule

        if (pollFds[0].revents & POLLIN) {
            char drain[64];
            while (::read(m_wakeReader.get(), drain, sizeof drain) > 0) {
            }
        }
        // Connections first: the indexes below match the connections polled.
        std::vector<bool> closeConnection(m_connections.size(), false);
        for (std::size_t i = 0; i < m_connections.size(); ++i) {
            const short revents = pollFds[i + 2].revents;
            if (revents & (POLLIN | POLLHUP | POLLERR))
                closeConnection[i] = !serveReadable(*m_connections[i]);
        }
        for (std::size_t i = m_connections.size(); i-- > 0;) {
            if (closeConnection[i]) {
                m_connections.erase(m_connections.begin() + static_cast<std::ptrdiff_t>(i));
                m_state.countConnectionClosed();
            }
        }
        if (pollFds[1].revents & POLLIN)
            acceptConnections();
    }
}

void SimulatorServer::acceptConnections()
{
    for (int turn = 0; turn < kMaxAcceptsPerTurn; ++turn) {
        UniqueFd socket(
            ::accept4(m_listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!socket.isValid())
            return;
        if (m_connections.size() >= kMaxConnections)
            continue; // closed at once by UniqueFd
        // Without Nagle, one send() is one segment: split and merge faults put on
        // the wire exactly what the rule says.
        const int enable = 1;
        ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &enable, sizeof enable);
        m_connections.push_back(std::make_unique<ClientConnection>(std::move(socket)));
        m_state.countConnectionAccepted();
    }
}

bool SimulatorServer::serveReadable(ClientConnection &connection)
{
    if (connection.isClosing())
        return true;
    if (!connection.receive())
        return false;
    std::vector<std::uint8_t> frame;
    // Every complete request in the buffer is served; the buffer only shrinks here.
    for (;;) {
        switch (connection.takeFrame(frame)) {
        case ClientConnection::Extraction::NeedMoreBytes:
            return true;
        case ClientConnection::Extraction::Invalid:
            m_state.countFramingError();
            return false;
        case ClientConnection::Extraction::Frame:
            connection.queueReply(m_state.handleRequest(frame), Clock::now());
            if (connection.isClosing())
                return true;
            break;
        }
    }
}

int SimulatorServer::pollTimeoutMs(Clock::time_point now,
                                   std::optional<Clock::time_point> nextTask) const
{
    std::optional<Clock::time_point> deadline = nextTask;
    for (const auto &connection : m_connections) {
        const std::optional<Clock::time_point> due = connection->nextDue();
        if (due && (!deadline || *due < *deadline))
            deadline = due;
    }
    if (!deadline)
        return kMaxPollTimeoutMs;
    if (*deadline <= now)
        return 0;
    // Round up: waking a millisecond early would only spin once more.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now).count();
    return static_cast<int>(std::min<std::int64_t>(wait, kMaxPollTimeoutMs));
}

} // namespace mbsim
