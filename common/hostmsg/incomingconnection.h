#pragma once

#include "frame.h"
#include "uniquefd.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>

namespace hostmsg {

// One accepted connection until its frame is whole: the socket, what has
// arrived of the frame so far, and the time limit after which a peer that
// stalls is dropped, so that it cannot pin a descriptor and a buffer for good.
class IncomingConnection : public QObject
{
    Q_OBJECT
public:
    enum class Progress { Reading, Complete, Dropped };

    IncomingConnection(UniqueFd socket, std::chrono::milliseconds timeLimit,
                       QObject *parent = nullptr);

    int socket() const { return m_socket.get(); }

    // Reads what the socket holds, never past the frame and never blocking.
    // Dropped: the peer closed early, failed, or sent a frame that is refused;
    // the connection is then closed at once, without an answer.
    Progress readAvailable();

    // After Complete: the message, and the socket to answer on.
    Message takeMessage() { return m_reader.takeMessage(); }
    UniqueFd takeSocket();

    // Stops watching and closes the socket.
    void close();

Q_SIGNALS:
    void readyRead();
    void timedOut();

private:
    UniqueFd m_socket;
    QSocketNotifier m_notifier; // after m_socket: it must go before the socket closes
    QTimer m_timeLimit;
    FrameReader m_reader;
};

} // namespace hostmsg
