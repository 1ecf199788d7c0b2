#include "receiver.h"

#include "incomingconnection.h"
#include "logging.h"

#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/socket.h>

using namespace std::chrono_literals;

namespace hostmsg {

namespace {

// A sender writes its whole frame at once; one that has not done so by now has
// stalled or means harm.
constexpr auto FrameTimeLimit = 10s;
// How long to stop accepting when the process is out of descriptors: the
// connection stays queued and the listener readable, so retrying at once
// would only spin.
constexpr auto AcceptPause = 100ms;

} // namespace

Receiver::Receiver(UniqueFd listener, QObject *parent)
    : QObject(parent)
    , m_listener(std::move(listener))
    , m_listenerNotifier(m_listener.get(), QSocketNotifier::Read)
{
    connect(&m_listenerNotifier, &QSocketNotifier::activated, this, &Receiver::acceptPending);
}

Receiver::~Receiver()
{
    // The connections are children: they close with the receiver, unanswered.
    m_listenerNotifier.setEnabled(false);
}

void Receiver::appendWatchedSockets(std::vector<pollfd> &sockets) const
{
    if (m_accepting)
        sockets.push_back({m_listener.get(), POLLIN, 0});
    for (const IncomingConnection *connection : m_connections)
        sockets.push_back({connection->socket(), POLLIN, 0});
}

bool Receiver::owns(int socket) const
{
    return socket == m_listener.get() ||
           std::any_of(m_connections.begin(), m_connections.end(),
                       [socket](const IncomingConnection *c) { return c->socket() == socket; });
}

void Receiver::serveSocket(int socket)
{
    if (socket == m_listener.get()) {
        if (m_accepting)
            acceptPending();
        return;
    }
    const auto found =
        std::find_if(m_connections.begin(), m_connections.end(),
                     [socket](const IncomingConnection *c) { return c->socket() == socket; });
    if (found != m_connections.end())
        readFrom(*found);
}

void Receiver::acceptPending()
{
    for (;;) {
        UniqueFd socket(
            ::accept4(m_listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!socket.isValid()) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                qCWarning(lcHostmsg) << "cannot accept a connection:" << std::strerror(errno);
                pauseAccepting();
            }
            return;
        }
        auto *connection = new IncomingConnection(std::move(socket), FrameTimeLimit, this);
        connect(connection, &IncomingConnection::readyRead, this,
                [this, connection] { readFrom(connection); });
        connect(connection, &IncomingConnection::timedOut, this, [this, connection] {
            qCWarning(lcHostmsg) << "dropping a connection that sent no whole frame in time";
            connection->close();
            retire(connection);
        });
        m_connections.push_back(connection);
    }
}

void Receiver::pauseAccepting()
{
    m_accepting = false;
    m_listenerNotifier.setEnabled(false);
    QTimer::singleShot(AcceptPause, this, [this] {
        m_accepting = true;
        m_listenerNotifier.setEnabled(true);
    });
}

void Receiver::readFrom(IncomingConnection *connection)
{
    switch (connection->readAvailable()) {
    case IncomingConnection::Progress::Reading:
        return;
    case IncomingConnection::Progress::Dropped:
        retire(connection);
        return;
    case IncomingConnection::Progress::Complete:
        break;
    }
    Message message = connection->takeMessage();
    UniqueFd socket = connection->takeSocket();
    retire(connection);
    // A copy: the handler may destroy this receiver, and the function with it.
    const FrameHandler handler = m_frameHandler;
    if (handler)
        handler(std::move(message), std::move(socket));
    // Nothing of this receiver may be touched from here on.
}

void Receiver::retire(IncomingConnection *connection)
{
    m_connections.erase(std::find(m_connections.begin(), m_connections.end(), connection));
    // Later, not now: we may be inside the connection's own notifier signal.
    connection->deleteLater();
}

} // namespace hostmsg
