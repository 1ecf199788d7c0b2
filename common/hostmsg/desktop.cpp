#include "desktop.h"

#include "delivery.h"
#include "endpointfiles.h"
#include "localreceivers.h"
#include "logging.h"
#include "runtimefolder.h"
#include "unixsocket.h"
#include "window_p.h"

#include <QDir>
#include <QFile>

#include <limits>

#include <sys/stat.h>
#include <unistd.h>

namespace hostmsg {

namespace {

// A handle is pid << 20 | counter: unique among the live endpoints of every
// process, and it tells at a glance which process holds a window.
constexpr int CounterBits = 20;
constexpr quint32 LastCounter = (1u << CounterBits) - 1;

void removeStaleSocketFile(const QByteArray &path)
{
    struct stat status;
    if (::lstat(path.constData(), &status) == 0 && S_ISSOCK(status.st_mode))
        ::unlink(path.constData());
}

} // namespace

struct Desktop::Private
{
    enum class State { Unchecked, Open, Refused };

    explicit Private(QString folder) : folder(std::move(folder)) {}

    bool open();
    bool ensureOpen() { return state == State::Open || (state == State::Unchecked && open()); }
    Handle nextHandle();
    QByteArray pathOf(const QByteArray &fileName) const;
    std::optional<qint64> deliver(Handle window, const Message &message,
                                  std::chrono::milliseconds timeLimit);

    QString folder;
    State state = State::Unchecked;
    QString errorString;
    quint32 counter = 1;
    // Shared with the windows, which may outlive the Desktop.
    std::shared_ptr<LocalReceivers> localReceivers = std::make_shared<LocalReceivers>();
};

bool Desktop::Private::open()
{
    state = State::Refused;
    if (folder.isEmpty()) {
        errorString = QStringLiteral("no hostmsg folder given");
    } else if (const qsizetype longest =
                   pathOf(socketFileName(std::numeric_limits<Handle>::max())).size();
               longest > MaxSocketPath) {
        errorString = QStringLiteral("hostmsg folder %1 is too long: its socket paths need up to "
                                     "%2 bytes, a socket address holds %3")
                          .arg(folder)
                          .arg(longest)
                          .arg(MaxSocketPath);
    } else if (preparePrivateFolder(folder, &errorString)) {
        state = State::Open;
        errorString.clear();
        return true;
    }
    qCWarning(lcHostmsg).noquote() << errorString;
    return false;
}

Handle Desktop::Private::nextHandle()
{
    const Handle handle = (Handle(::getpid()) << CounterBits) | counter;
    counter = counter % LastCounter + 1; // 1 .. LastCounter, never 0
    return handle;
}

QByteArray Desktop::Private::pathOf(const QByteArray &fileName) const
{
    return QFile::encodeName(folder) + '/' + fileName;
}

std::optional<qint64> Desktop::Private::deliver(Handle window, const Message &message,
                                                std::chrono::milliseconds timeLimit)
{
    if (!ensureOpen() || window == 0)
        return std::nullopt;
    if (quint64(message.payload.size()) > MaxPayload) {
        qCWarning(lcHostmsg) << "not sending a payload of" << message.payload.size()
                             << "bytes: the limit is" << MaxPayload;
        return std::nullopt;
    }
    const std::optional<SocketAddress> address = socketAddress(pathOf(socketFileName(window)));
    if (!address)
        return std::nullopt;
    // Held here: a handler served while waiting may destroy this Desktop.
    const std::shared_ptr<LocalReceivers> receivers = localReceivers;
    return Delivery(*receivers, timeLimit).run(*address, message);
}

Desktop::Desktop(QObject *parent) : Desktop(defaultFolder(), parent) {}

Desktop::Desktop(const QString &folder, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>(
          folder.isEmpty() ? QString() : QDir::cleanPath(QDir::current().absoluteFilePath(folder))))
{}

Desktop::~Desktop() = default;

bool Desktop::open()
{
    return d->open();
}

bool Desktop::isOpen() const
{
    return d->state == Private::State::Open;
}

QString Desktop::folder() const
{
    return d->folder;
}

QString Desktop::errorString() const
{
    return d->errorString;
}

QString Desktop::defaultFolder()
{
    return defaultRuntimeFolder();
}

std::unique_ptr<Window> Desktop::createWindow(const QString &title)
{
    if (!d->ensureOpen())
        return nullptr;
    std::optional<EndpointFiles::Created> created = EndpointFiles::create(
        d->folder, title, [this] { return d->nextHandle(); }, &d->errorString);
    if (!created) {
        qCWarning(lcHostmsg).noquote()
            << "cannot register window" << title << ":" << d->errorString;
        return nullptr;
    }
    return std::unique_ptr<Window>(new Window(std::make_unique<Window::Private>(
        d->localReceivers, title, std::move(created->files), std::move(created->listener))));
}

Handle Desktop::findWindow(const QString &title)
{
    if (!d->ensureOpen())
        return 0;
    const QByteArray linkPath = d->pathOf(QFile::encodeName(titleLinkName(title)));
    const QByteArray target = readLinkTarget(linkPath);
    const Handle handle = handleFromSocketFileName(target);
    if (handle == 0)
        return 0; // no window of that title (or a link this module did not make)

    const QByteArray socketPath = d->pathOf(target);
    switch (probeEndpoint(socketPath)) {
    case Liveness::Live:
        return handle;
    case Liveness::Dead:
        // Left by a process that died without cleaning up.
        qCDebug(lcHostmsg) << "removing the stale title link of" << title;
        removeTitleLinkIfPointsTo(linkPath, target);
        removeStaleSocketFile(socketPath);
        return 0;
    case Liveness::Unknown:
        return 0;
    }
    return 0;
}

qint64 Desktop::sendMessage(Handle window, quint32 msg, quint64 wParam, qint64 lParam,
                            quint64 dwData, const QByteArray &payload,
                            std::chrono::milliseconds timeout)
{
    const Message message{Kind::Send, msg, wParam, lParam, dwData, payload};
    return d->deliver(window, message, timeout).value_or(0);
}

bool Desktop::postMessage(Handle window, quint32 msg, quint64 wParam, qint64 lParam, quint64 dwData,
                          const QByteArray &payload)
{
    const Message message{Kind::Post, msg, wParam, lParam, dwData, payload};
    return d->deliver(window, message, DefaultSendTimeout).has_value();
}

} // namespace hostmsg
