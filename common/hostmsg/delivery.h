#pragma once

#include "hostmsg.h"
#include "unixsocket.h"

#include <QDeadlineTimer>

#include <chrono>
#include <optional>

namespace hostmsg {

class LocalReceivers;

// Carries one message to an endpoint's socket over a connection of its own and
// waits, within a time limit, for the answer to a send or, after a post, for
// the receiver to close (which it does once it holds the message). Everything
// happens in one poll() loop that also serves this process's own windows:
// sends that arrive meanwhile are answered at once, posts are taken and wait
// in their window's queue. The Qt event loop does not run in between.
class Delivery
{
public:
    Delivery(LocalReceivers &localReceivers, std::chrono::milliseconds timeLimit);

    // The answer to a send, or 0 once the receiver has taken a post; nothing
    // when the endpoint is gone, refuses, drops the frame or is too slow.
    std::optional<qint64> run(const SocketAddress &address, const Message &message);

private:
    enum class Phase { Connecting, WaitingToConnect, Writing, AwaitingReply, Done, Failed };

    void connectToEndpoint();
    short socketEvents() const;
    void advance();
    void finishConnecting();
    void writeFrame();
    void readReply();
    void fail(const char *reason, int error = 0);

    LocalReceivers &m_localReceivers;
    QDeadlineTimer m_deadline;
    const SocketAddress *m_address = nullptr;
    const Message *m_message = nullptr;
    UniqueFd m_socket;
    Phase m_phase = Phase::Connecting;
    QByteArray m_header;
    qsizetype m_written = 0;
    QByteArray m_reply;
};

} // namespace hostmsg
