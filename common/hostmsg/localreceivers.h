#pragma once

#include <vector>

#include <poll.h>

namespace hostmsg {

class Receiver;

// The receivers of one Desktop's windows. A sender of this process that waits
// for an answer keeps serving them, so that two processes that send to each
// other at the same time both get their answers.
class LocalReceivers
{
public:
    void add(Receiver *receiver) { m_receivers.push_back(receiver); }
    void remove(Receiver *receiver);

    void appendWatchedSockets(std::vector<pollfd> &sockets) const;
    // Serves the receiver that owns `socket`, if one still does: a handler run
    // since poll() returned may have closed it, or its number been reused.
    void serveSocket(int socket);

private:
    std::vector<Receiver *> m_receivers;
};

} // namespace hostmsg
