#pragma once

#include "hostmsg.h"

#include <QLockFile>
#include <QStringList>

#include <memory>

namespace hostmsg {
class Desktop;
}

// What the command line asks for: only "OPEN_LAST", as the first plain
// argument, means anything (the host runtime's launch). Options before it are
// passed over; any other plain argument first makes it a user's start.
struct StartOptions
{
    bool openLast = false;
    static StartOptions parse(const QStringList &arguments);
};

// One driver per user session: the first process holds a lock in the hostmsg
// folder for as long as it runs. A later process finds the first one's main
// window by its title and asks it to come to the front.
class SingleInstance
{
public:
    explicit SingleInstance(hostmsg::Desktop &desktop);

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
