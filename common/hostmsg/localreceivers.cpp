#include "localreceivers.h"

#include "receiver.h"

#include <algorithm>

namespace hostmsg {

void LocalReceivers::remove(Receiver *receiver)
{
    m_receivers.erase(std::remove(m_receivers.begin(), m_receivers.end(), receiver),
                      m_receivers.end());
}

void LocalReceivers::appendWatchedSockets(std::vector<pollfd> &sockets) const
{
    for (const Receiver *receiver : m_receivers)
        receiver->appendWatchedSockets(sockets);
}

void LocalReceivers::serveSocket(int socket)
{
    const auto owner = std::find_if(m_receivers.begin(), m_receivers.end(),
                                    [socket](const Receiver *r) { return r->owns(socket); });
    // Served outside the search: a handler may add or remove windows.
    if (owner != m_receivers.end())
        (*owner)->serveSocket(socket);
}

} // namespace hostmsg
