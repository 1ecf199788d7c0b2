#include "desktop.h"

#include "frame.h"
#include "logging.h"
#include "window_p.h"

#include <QPointer>

#include <sys/socket.h>

namespace hostmsg {

namespace {

void writeAnswer(int connection, qint64 result)
{
    const QByteArray answer = encodeAnswer(result);
    // Nothing has been written on this connection yet, so its buffer takes the
    // eight bytes at once. The sender may have given up meanwhile: MSG_NOSIGNAL.
    if (::send(connection, answer.constData(), size_t(answer.size()),
               MSG_NOSIGNAL | MSG_DONTWAIT) != answer.size()) {
        qCDebug(lcHostmsg) << "the sender left before its answer";
    }
}

} // namespace

Window::Private::Private(std::shared_ptr<LocalReceivers> localReceivers, QString title,
                         EndpointFiles files, UniqueFd listener)
    : localReceivers(std::move(localReceivers))
    , title(std::move(title))
    , files(std::move(files))
    , receiver(std::move(listener))
{}

void Window::Private::receive(Message message, UniqueFd connection)
{
    if (message.kind == Kind::Send) {
        // A copy: the handler may destroy this window, and the function with it.
        const Handler handle = handler;
        writeAnswer(connection.get(), handle ? handle(message) : 0);
        return;
    }
    // The close is the sender's receipt: from here on the window holds the post.
    connection.reset();
    posted.push_back(std::move(message));
    if (!dispatchScheduled) {
        dispatchScheduled = true;
        QMetaObject::invokeMethod(
            q, [this] { dispatchPosted(); }, Qt::QueuedConnection);
    }
}

void Window::Private::dispatchPosted()
{
    dispatchScheduled = false;
    const QPointer<Window> alive(q);
    while (alive && !posted.empty()) {
        const Message message = std::move(posted.front());
        posted.pop_front();
        const Handler handle = handler;
        if (handle)
            handle(message); // a post's result goes nowhere
    }
}

Window::Window(std::unique_ptr<Private> data) : d(std::move(data))
{
    d->q = this;
    d->receiver.setFrameHandler([priv = d.get()](Message message, UniqueFd connection) {
        priv->receive(std::move(message), std::move(connection));
    });
    d->localReceivers->add(&d->receiver);
}

Window::~Window()
{
    d->localReceivers->remove(&d->receiver);
}

Handle Window::handle() const
{
    return d->files.handle();
}

QString Window::title() const
{
    return d->title;
}

void Window::setHandler(Handler handler)
{
    d->handler = std::move(handler);
}

} // namespace hostmsg
