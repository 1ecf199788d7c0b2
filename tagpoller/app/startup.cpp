#include "startup.h"

#include "desktop.h"

#include <QDir>

StartOptions StartOptions::parse(const QStringList &arguments)
{
    StartOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument.startsWith(u'-'))
            continue;
        // The first plain argument decides; it must be exactly this word.
        options.openLast = argument == QStringLiteral("OPEN_LAST");
        break;
    }
    return options;
}

SingleInstance::SingleInstance(hostmsg::Desktop &desktop) : m_desktop(desktop)
{
    if (!m_desktop.open())
        return;
    m_lock = std::make_unique<QLockFile>(
        QDir(m_desktop.folder()).filePath(QStringLiteral("_TAGPOLLER_INSTANCE_CHECK_.lock")));
    // A running driver keeps its lock however long it runs; a lock whose
    // process has died is taken over.
    m_lock->setStaleLockTime(0);
    m_lock->tryLock(0);
}

hostmsg::Handle SingleInstance::findFirstWindow(const QString &title) const
{
    return m_desktop.FindWindow(title);
}

bool SingleInstance::raise(hostmsg::Handle window) const
{
    return m_desktop.PostMessage(window, hostmsg::WM_ACTIVATE);
}
