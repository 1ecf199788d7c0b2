#include "peerprogram.h"

#include "childprogram.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

namespace hostrun {

QString programBesideHostrun(const QString &name)
{
    const QString folder = QCoreApplication::applicationDirPath();
    for (const QString &candidate :
         {QDir::cleanPath(folder + QStringLiteral("/../%1/%1").arg(name)),
          folder + QLatin1Char('/') + name}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return candidate;
    }
    return QStandardPaths::findExecutable(name);
}

PeerProgram::PeerProgram(hostmsg::Desktop &desktop, QString windowTitle, QString name)
    : m_desktop(desktop), m_windowTitle(std::move(windowTitle)), m_name(std::move(name))
{}

PeerProgram::~PeerProgram()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000))
            m_process->kill();
        m_process->waitForFinished(5000);
    }
}

bool PeerProgram::findOrStart(const QString &program, const QString &defaultName,
                              std::chrono::milliseconds patience)
{
    m_window = m_desktop.findWindow(m_windowTitle);
    if (m_window != 0)
        return true;
    const QString path = program.isEmpty() ? programBesideHostrun(defaultName) : program;
    if (path.isEmpty()) {
        m_error = QStringLiteral("no %1 beside hostrun or on PATH; name it as \"program\"")
                      .arg(defaultName);
        return false;
    }
    m_process = makeChildProgram(path);
    m_process->start();
    if (!m_process->waitForStarted()) {
        m_error = QStringLiteral("cannot start %1: %2").arg(path, m_process->errorString());
        m_process.reset();
        return false;
    }
    const QDeadlineTimer deadline(patience);
    while (!deadline.hasExpired()) {
        m_window = m_desktop.findWindow(m_windowTitle);
        if (m_window != 0)
            return true;
        if (m_process->state() == QProcess::NotRunning || m_process->waitForFinished(100)) {
            m_error = QStringLiteral("%1 ended before its window \"%2\" appeared")
                          .arg(path, m_windowTitle);
            return false;
        }
    }
    m_error = QStringLiteral("the window \"%1\" did not appear within %2 s")
                  .arg(m_windowTitle)
                  .arg(patience.count() / 1000.0);
    return false;
}

bool PeerProgram::askToClose(quint32 closeMessage)
{
    if (m_window == 0 || m_desktop.findWindow(m_windowTitle) != m_window)
        return false;
    return m_desktop.postMessage(m_window, closeMessage, 0, 0);
}

bool PeerProgram::isGone()
{
    if (m_process)
        return m_process->state() == QProcess::NotRunning || m_process->waitForFinished(0);
    return m_window == 0 || m_desktop.findWindow(m_windowTitle) != m_window;
}

void PeerProgram::terminate()
{
    if (m_process && m_process->state() != QProcess::NotRunning)
        m_process->terminate();
}

} // namespace hostrun
