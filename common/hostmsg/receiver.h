#pragma once

#include "hostmsg.h"
#include "uniquefd.h"

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <vector>

#include <poll.h>

namespace hostmsg {

class IncomingConnection;

// Serves one listening socket: accepts its connections and reads each one's
// frame without blocking, then hands the message, with the connection to
// answer on, to the frame handler. Sockets become ready either in the Qt event
// loop or, while this process waits for an answer of its own, in that wait's
// poll() (watchedSockets() and serveSocket()); both take the same path.
class Receiver : public QObject
{
    Q_OBJECT
public:
    // May destroy the receiver (a window closed by its own message).
    using FrameHandler = std::function<void(Message message, UniqueFd connection)>;

    explicit Receiver(UniqueFd listener, QObject *parent = nullptr);
    ~Receiver() override;

    void setFrameHandler(FrameHandler handler) { m_frameHandler = std::move(handler); }

    // The listening socket and the connections whose frames are still arriving.
    void appendWatchedSockets(std::vector<pollfd> &sockets) const;
    bool owns(int socket) const;
    // Serves `socket`, one of ours, which poll() reported ready. Like the
    // frame handler, this may destroy the receiver.
    void serveSocket(int socket);

private:
    void acceptPending();
    void pauseAccepting();
    void readFrom(IncomingConnection *connection);
    void retire(IncomingConnection *connection);

    UniqueFd m_listener;
    QSocketNotifier m_listenerNotifier; // after m_listener: it must go first
    bool m_accepting = true;
    std::vector<IncomingConnection *> m_connections; // children of this receiver
    FrameHandler m_frameHandler;
};

} // namespace hostmsg
