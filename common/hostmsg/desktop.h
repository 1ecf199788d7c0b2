#pragma once

#include "hostmsg.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace hostmsg {

class Window;

// The message folder of the current user and the endpoints this process has
// registered in it. Every program makes one Desktop at start and reaches the
// other processes' windows through it. A Desktop and its windows belong to the
// thread of the event loop that serves them.
//
// Folder: $ORVALA_RUNTIME_DIR, else $XDG_RUNTIME_DIR/orvala, else
// /tmp/orvala-<uid>; created 0700 and refused when another user owns it or
// group or others may use it.
class Desktop : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds DefaultSendTimeout{10000};

    explicit Desktop(QObject *parent = nullptr);
    explicit Desktop(const QString &folder, QObject *parent = nullptr);
    ~Desktop() override;

    // Creates and checks the folder. False with errorString() when refused;
    // every later call then fails (findWindow 0, createWindow nullptr,
    // sendMessage 0, postMessage false). The other calls open a Desktop that
    // has not been opened yet.
    bool open();
    bool isOpen() const;
    QString folder() const;
    // Why open() or the last createWindow() failed.
    QString errorString() const;

    static QString defaultFolder();

    // Registers an endpoint under `title`. The title link is replaced
    // atomically, so the newest endpoint of a title is the one found.
    // Nullptr with errorString() when that fails.
    std::unique_ptr<Window> createWindow(const QString &title);

    // The live endpoint registered under `title`, or 0 (a stale title link
    // is removed on the way).
    Handle findWindow(const QString &title);

    // Delivers the message and waits for its answer. No answer within
    // `timeout`, a refused connection or a dead endpoint give 0. While waiting,
    // sends that arrive at this Desktop's own windows are answered (a handler
    // may send again); posts, timers and socket events wait until this returns.
    qint64 sendMessage(Handle window, quint32 msg, quint64 wParam = 0, qint64 lParam = 0,
                       quint64 dwData = 0, const QByteArray &payload = {},
                       std::chrono::milliseconds timeout = DefaultSendTimeout);

    // Delivers the message to the receiver's queue and returns once it holds
    // it, so that the posts of one sender arrive in order. False when the
    // endpoint is dead or does not take it within DefaultSendTimeout. Waits
    // like sendMessage does.
    bool postMessage(Handle window, quint32 msg, quint64 wParam = 0, qint64 lParam = 0,
                     quint64 dwData = 0, const QByteArray &payload = {});

private:
    friend class Window;
    struct Private;
    std::unique_ptr<Private> d;
};

// One registered endpoint. Messages are handled on the thread of the Qt event
// loop that owns it; sends are answered with the handler's result (0 without a
// handler), posts are queued and handled in order from the event loop. The
// handler may destroy the window. Destroying it removes its files; messages
// still queued are dropped.
class Window : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<qint64(const Message &)>;

    ~Window() override;

    Handle handle() const;
    QString title() const;

    void setHandler(Handler handler);

private:
    friend class Desktop;
    struct Private;
    explicit Window(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};

} // namespace hostmsg
