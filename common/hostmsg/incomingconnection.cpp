#include "incomingconnection.h"

#include "logging.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/socket.h>

namespace hostmsg {

namespace {

constexpr qsizetype ReadChunk = 64 * 1024;
// One wake-up reads at most this much, so that one large frame does not keep
// every other connection waiting; the socket stays readable for the rest.
constexpr qsizetype ReadBudget = 1024 * 1024;

} // namespace

IncomingConnection::IncomingConnection(UniqueFd socket, std::chrono::milliseconds timeLimit,
                                       QObject *parent)
    : QObject(parent)
    , m_socket(std::move(socket))
    , m_notifier(m_socket.get(), QSocketNotifier::Read)
{
    connect(&m_notifier, &QSocketNotifier::activated, this, &IncomingConnection::readyRead);
    m_timeLimit.setSingleShot(true);
    connect(&m_timeLimit, &QTimer::timeout, this, &IncomingConnection::timedOut);
    m_timeLimit.start(timeLimit);
}

IncomingConnection::Progress IncomingConnection::readAvailable()
{
    char chunk[ReadChunk];
    qsizetype budget = ReadBudget;
    while (m_socket.isValid() && budget > 0) {
        const qsizetype wanted = std::min(m_reader.bytesWanted(), ReadChunk);
        const ssize_t received = ::recv(m_socket.get(), chunk, size_t(wanted), 0);
        if (received > 0) {
            budget -= received;
            m_reader.append(QByteArrayView(chunk, received));
            if (m_reader.state() == FrameReader::State::Complete)
                return Progress::Complete;
            if (m_reader.state() == FrameReader::State::Invalid) {
                qCWarning(lcHostmsg) << "dropping a frame:" << m_reader.errorString();
                close();
                return Progress::Dropped;
            }
            continue;
        }
        if (received == 0) {
            // A connection that closes before sending anything is how
            // findWindow checks that a window is alive: nothing to report.
            if (m_reader.hasStarted())
                qCWarning(lcHostmsg) << "dropping a frame cut short by its sender";
            close();
            return Progress::Dropped;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return Progress::Reading;
        qCWarning(lcHostmsg) << "dropping a connection:" << std::strerror(errno);
        close();
        return Progress::Dropped;
    }
    return m_socket.isValid() ? Progress::Reading : Progress::Dropped;
}

UniqueFd IncomingConnection::takeSocket()
{
    m_notifier.setEnabled(false);
    m_timeLimit.stop();
    return std::move(m_socket);
}

void IncomingConnection::close()
{
    takeSocket().reset();
}

} // namespace hostmsg
