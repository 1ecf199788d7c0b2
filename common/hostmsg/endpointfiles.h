#pragma once

#include "hostmsg.h"
#include "uniquefd.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace hostmsg {

// The two files that make a window reachable: its listening socket <H>.sock
// and the title link that points to it. Removes both when it goes (the link
// only while it still points to this socket, since a newer window of the same
// title may have taken it over).
class EndpointFiles
{
public:
    struct Created;

    // Binds a listening socket at the first handle from `nextHandle` that no
    // live endpoint holds, then points the title link at it.
    static std::optional<Created> create(const QString &folder, const QString &title,
                                         const std::function<Handle()> &nextHandle,
                                         QString *errorString);

    EndpointFiles(EndpointFiles &&other) noexcept;
    EndpointFiles &operator=(EndpointFiles &&) = delete;
    EndpointFiles(const EndpointFiles &) = delete;
    EndpointFiles &operator=(const EndpointFiles &) = delete;
    ~EndpointFiles();

    Handle handle() const { return m_handle; }

private:
    EndpointFiles(Handle handle, QByteArray socketPath);
    bool linkTitle(const QString &folder, const QString &title, QString *errorString);

    Handle m_handle = 0;
    QByteArray m_socketPath;
    QByteArray m_titlePath; // empty until the link is made
};

struct EndpointFiles::Created
{
    EndpointFiles files;
    UniqueFd listener; // non-blocking, listening
};

// Removes the title link at `linkPath` only while it still points to `target`.
// Another process may replace the link between the check and the unlink; a
// symbolic link offers no compare-and-delete, and the newer endpoint then
// simply has to be registered again, which is the rarer evil.
void removeTitleLinkIfPointsTo(const QByteArray &linkPath, const QByteArray &target);

// The target of the symbolic link at `path`, or an empty array.
QByteArray readLinkTarget(const QByteArray &path);

} // namespace hostmsg
