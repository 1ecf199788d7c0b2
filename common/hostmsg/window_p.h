#pragma once

#include "desktop.h"
#include "endpointfiles.h"
#include "localreceivers.h"
#include "receiver.h"
#include "uniquefd.h"

#include <deque>
#include <memory>

namespace hostmsg {

struct Window::Private
{
    Private(std::shared_ptr<LocalReceivers> localReceivers, QString title, EndpointFiles files,
            UniqueFd listener);

    // What the receiver hands over: a send is answered here and now, a post
    // is acknowledged and queued for the event loop.
    void receive(Message message, UniqueFd connection);
    void dispatchPosted();

    Window *q = nullptr;
    std::shared_ptr<LocalReceivers> localReceivers;
    QString title;
    EndpointFiles files; // before the receiver: the socket closes before its file goes
    Receiver receiver;
    Handler handler;
    std::deque<Message> posted;
    bool dispatchScheduled = false;
};

} // namespace hostmsg
