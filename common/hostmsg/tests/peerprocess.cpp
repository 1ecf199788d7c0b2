#include "peerprocess.h"

#include "testenvironment.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

using namespace std::chrono_literals;

namespace testing_hostmsg {

namespace {

// Long enough for a sanitized build on a busy machine; only ever reached when
// something is broken.
constexpr auto Patience = 60s;

} // namespace

PeerProcess::PeerProcess(const QString &program, const QStringList &arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(testsupport::builtProgram(program), arguments);
    m_process.waitForStarted();
}

PeerProcess::~PeerProcess()
{
    if (m_process.state() != QProcess::NotRunning)
        terminate();
}

hostmsg::Handle PeerProcess::waitForWindow(hostmsg::Desktop &desktop, const QString &title)
{
    const QDeadlineTimer deadline(Patience);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        if (const hostmsg::Handle handle = desktop.findWindow(title))
            return handle;
        m_process.waitForFinished(20); // a short pause that also notices an early exit
    }
    return 0;
}

QStringList PeerProcess::readLines(int count)
{
    QStringList lines;
    const QDeadlineTimer deadline(Patience);
    while (lines.size() < count && !deadline.hasExpired()) {
        if (m_process.canReadLine()) {
            lines.append(QString::fromUtf8(m_process.readLine()).trimmed());
            continue;
        }
        if (!m_process.waitForReadyRead(100) && m_process.state() == QProcess::NotRunning &&
            !m_process.canReadLine()) {
            break;
        }
    }
    return lines;
}

bool PeerProcess::terminate()
{
    m_process.terminate();
    if (!m_process.waitForFinished(int(std::chrono::milliseconds(Patience).count()))) {
        m_process.kill();
        m_process.waitForFinished();
        return false;
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

bool PeerProcess::waitForExit()
{
    if (!m_process.waitForFinished(int(std::chrono::milliseconds(Patience).count())))
        return false;
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

Finished runToEnd(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(Patience, &loop, &QEventLoop::quit);
    process.start(testsupport::builtProgram(program), arguments);
    if (process.waitForStarted())
        loop.exec();
    Finished finished;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return finished;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        finished.exitCode = process.exitCode();
    finished.standardOutput = process.readAllStandardOutput();
    finished.standardError = process.readAllStandardError();
    return finished;
}

} // namespace testing_hostmsg
