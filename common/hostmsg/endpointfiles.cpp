#include "endpointfiles.h"

#include "logging.h"
#include "runtimefolder.h"
#include "unixsocket.h"

#include <QFile>

#include <cerrno>
#include <climits>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hostmsg {

namespace {

// Every handle has 20 bits of counter: at most this many tries before the
// counter has gone round once.
constexpr int MaxBindAttempts = 1 << 20;

enum class BindResult { Bound, Taken, Failed };

BindResult bindListener(const SocketAddress &address, UniqueFd *listener, QString *errorString)
{
    const QByteArray path(address.address.sun_path);
    UniqueFd socket = newStreamSocket();
    if (!socket.isValid()) {
        *errorString = QStringLiteral("cannot create a socket: %1").arg(systemErrorString(errno));
        return BindResult::Failed;
    }
    const auto *socketAddress = reinterpret_cast<const sockaddr *>(&address.address);
    bool staleRemoved = false;
    while (::bind(socket.get(), socketAddress, address.length) != 0) {
        if (errno != EADDRINUSE) {
            *errorString = QStringLiteral("cannot bind %1: %2")
                               .arg(QFile::decodeName(path), systemErrorString(errno));
            return BindResult::Failed;
        }
        // The file is left over by a process that died, or belongs to a live
        // endpoint (another Desktop of this process counts from 1 as well).
        if (staleRemoved || probeEndpoint(path) != Liveness::Dead)
            return BindResult::Taken;
        qCDebug(lcHostmsg) << "removing stale socket" << path;
        ::unlink(path.constData());
        staleRemoved = true;
    }
    if (::listen(socket.get(), SOMAXCONN) != 0) {
        *errorString = QStringLiteral("cannot listen on %1: %2")
                           .arg(QFile::decodeName(path), systemErrorString(errno));
        ::unlink(path.constData());
        return BindResult::Failed;
    }
    *listener = std::move(socket);
    return BindResult::Bound;
}

} // namespace

QByteArray readLinkTarget(const QByteArray &path)
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(path.constData(), buffer, sizeof buffer);
    if (length <= 0 || size_t(length) == sizeof buffer)
        return {};
    return QByteArray(buffer, length);
}

void removeTitleLinkIfPointsTo(const QByteArray &linkPath, const QByteArray &target)
{
    if (readLinkTarget(linkPath) == target)
        ::unlink(linkPath.constData());
}

std::optional<EndpointFiles::Created>
EndpointFiles::create(const QString &folder, const QString &title,
                      const std::function<Handle()> &nextHandle, QString *errorString)
{
    const qsizetype titleBytes = title.toUtf8().size();
    if (titleBytes > MaxTitleBytes) {
        *errorString = QStringLiteral("window title is too long (%1 UTF-8 bytes, at most %2)")
                           .arg(titleBytes)
                           .arg(MaxTitleBytes);
        return std::nullopt;
    }

    const QByteArray folderPath = QFile::encodeName(folder) + '/';
    for (int attempt = 0; attempt < MaxBindAttempts; ++attempt) {
        const Handle handle = nextHandle();
        const QByteArray socketPath = folderPath + socketFileName(handle);
        const std::optional<SocketAddress> address = socketAddress(socketPath);
        if (!address) {
            *errorString = QStringLiteral("socket path %1 is longer than %2 bytes")
                               .arg(QFile::decodeName(socketPath))
                               .arg(MaxSocketPath);
            return std::nullopt;
        }
        UniqueFd listener;
        switch (bindListener(*address, &listener, errorString)) {
        case BindResult::Taken:
            continue;
        case BindResult::Failed:
            return std::nullopt;
        case BindResult::Bound:
            break;
        }
        EndpointFiles files(handle, socketPath);
        if (!files.linkTitle(folder, title, errorString))
            return std::nullopt;
        return Created{std::move(files), std::move(listener)};
    }
    *errorString = QStringLiteral("no free window handle left in %1").arg(folder);
    return std::nullopt;
}

EndpointFiles::EndpointFiles(Handle handle, QByteArray socketPath)
    : m_handle(handle), m_socketPath(std::move(socketPath))
{}

EndpointFiles::EndpointFiles(EndpointFiles &&other) noexcept
    : m_handle(std::exchange(other.m_handle, 0))
    , m_socketPath(std::exchange(other.m_socketPath, {}))
    , m_titlePath(std::exchange(other.m_titlePath, {}))
{}

EndpointFiles::~EndpointFiles()
{
    if (!m_socketPath.isEmpty())
        ::unlink(m_socketPath.constData());
    if (!m_titlePath.isEmpty())
        removeTitleLinkIfPointsTo(m_titlePath, socketFileName(m_handle));
}

bool EndpointFiles::linkTitle(const QString &folder, const QString &title, QString *errorString)
{
    const QByteArray folderPath = QFile::encodeName(folder) + '/';
    const QByteArray target = socketFileName(m_handle);
    const QByteArray linkPath = folderPath + QFile::encodeName(titleLinkName(title));
    // Made under a name of its own, then renamed over the old link: a finder
    // sees either the old endpoint or the new one, never no link at all.
    const QByteArray temporaryPath = folderPath + ".new-" + target;
    ::unlink(temporaryPath.constData()); // left behind by a crash, if at all
    if (::symlink(target.constData(), temporaryPath.constData()) != 0) {
        *errorString = QStringLiteral("cannot create title link %1: %2")
                           .arg(QFile::decodeName(temporaryPath), systemErrorString(errno));
        return false;
    }
    if (::rename(temporaryPath.constData(), linkPath.constData()) != 0) {
        *errorString = QStringLiteral("cannot create title link %1: %2")
                           .arg(QFile::decodeName(linkPath), systemErrorString(errno));
        ::unlink(temporaryPath.constData());
        return false;
    }
    m_titlePath = linkPath;
    return true;
}

} // namespace hostmsg
