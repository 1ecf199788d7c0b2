#pragma once

#include "hostmsg.h"

#include <QLockFile>
#include <QString>

#include <memory>

namespace hostmsg {
class Desktop;
}

// One copy of a program per user session: the first process holds a lock in
// the hostmsg folder for as long as it runs. A later process finds the first
// one's main window by its title and asks it to come to the front.
class SingleInstance
{
public:
    // `lockName` names the lock file in the hostmsg folder; each program has
    // its own, kept as it is so that older and newer copies exclude each other.
    SingleInstance(hostmsg::Desktop &desktop, const QString &lockName);

    // True when another process holds the lock (or the lock cannot be had).
    bool anotherIsRunning() const { return !m_lock || !m_lock->isLocked(); }
    // The other process's main window, if it has one yet.
    hostmsg::Handle findFirstWindow(const QString &title) const;
    // Posts the request to come to the front.
    bool raise(hostmsg::Handle window) const;

private:
    hostmsg::Desktop &m_desktop;
    std::unique_ptr<QLockFile> m_lock;
};
