#pragma once

#include "desktop.h"

// What the test peer (hostmsg_peer) does with the messages it gets. Every one
// carries the caller's window handle in wParam, as the host link does.
namespace peer {

// lParam = depth: sends Ping(depth - 1) back to the caller before answering,
// and answers that answer + 1; depth 0 answers 1.
inline constexpr quint32 Ping = hostmsg::WM_USER + 10;
// lParam = count: posts Posted with wParam 1..count to the caller, then
// answers how many the caller took.
inline constexpr quint32 PostBack = hostmsg::WM_USER + 11;
inline constexpr quint32 Posted = hostmsg::WM_USER + 12;
// Sends the payload and code back to the caller as a WM_COPYDATA, then answers
// with the caller's answer.
inline constexpr quint32 Echo = hostmsg::WM_COPYDATA;
// The window destroys itself inside its own handler, answers 1, and the peer
// exits with status 0.
inline constexpr quint32 CloseWindow = hostmsg::WM_USER + 13;

// Both sides of a ping: a ping of depth n comes back as n + 1 only if every
// nested send, on both sides, was answered while its sender waited.
inline qint64 answerPing(hostmsg::Desktop &desktop, hostmsg::Handle self,
                         const hostmsg::Message &message)
{
    if (message.lParam <= 0)
        return 1;
    const qint64 answer = desktop.sendMessage(message.wParam, Ping, self, message.lParam - 1);
    return answer == 0 ? 0 : answer + 1;
}

} // namespace peer
