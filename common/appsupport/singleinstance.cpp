#include "singleinstance.h"

#include "desktop.h"

#include <QDir>

SingleInstance::SingleInstance(hostmsg::Desktop &desktop, const QString &lockName)
    : m_desktop(desktop)
{
    if (!m_desktop.open())
        return;
    m_lock = std::make_unique<QLockFile>(QDir(m_desktop.folder()).filePath(lockName));
    // A running program keeps its lock however long it runs; a lock whose
    // process has died is taken over.
    m_lock->setStaleLockTime(0);
    m_lock->tryLock(0);
}

hostmsg::Handle SingleInstance::findFirstWindow(const QString &title) const
{
    return m_desktop.findWindow(title);
}

bool SingleInstance::raise(hostmsg::Handle window) const
{
    return m_desktop.postMessage(window, hostmsg::WM_ACTIVATE);
}
