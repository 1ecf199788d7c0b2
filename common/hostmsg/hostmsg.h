#pragma once

#include <QByteArray>
#include <QtGlobal>

// Window messages between processes, as the host runtime and the programs
// exchange them: endpoints ("windows") registered by title in a private folder,
// found by title, and sent synchronous or posted messages with a copy-data
// payload. One Unix stream connection carries one message.
namespace hostmsg {

// A window handle: non-zero for a live endpoint, 0 for none.
using Handle = quint64;

// Window message numbers the system uses.
inline constexpr quint32 WM_ACTIVATE = 0x0006; // posted: raise your main window
inline constexpr quint32 WM_COPYDATA = 0x004A;
inline constexpr quint32 WM_USER = 0x0400;

enum class Kind : quint32 { Send = 1, Post = 2 };

struct Message
{
    Kind kind = Kind::Send;
    quint32 msg = 0;
    quint64 wParam = 0;
    qint64 lParam = 0;
    quint64 dwData = 0; // the copy-data code of a WM_COPYDATA
    QByteArray payload; // the copy-data bytes (lpData, cbData)
};

// Payloads above this size are dropped by the receiver without an answer.
inline constexpr quint32 MaxPayload = 64u * 1024 * 1024;

} // namespace hostmsg
