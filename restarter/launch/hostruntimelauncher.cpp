#include "hostruntimelauncher.h"

#include "hostruntimelocation.h"
#include "sessionspawn.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <utility>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcLaunch, "restarter.launch", QtInfoMsg)

namespace {

// pkexec's own failures; any other end is the started program's.
constexpr int PkexecNotAuthorized = 126;
constexpr int PkexecError = 127;
constexpr std::chrono::milliseconds WatchPeriod{50};
// The kernel keeps at most 15 bytes of a process's name.
constexpr qsizetype ProcessNameLength = 15;

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Asks a child to end, and makes it end if it does not within two seconds.
void endChild(pid_t pid)
{
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 40; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) != 0)
            return;
        ::usleep(50 * 1000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

QByteArray processName(pid_t pid)
{
    QFile file(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readLine().trimmed();
}

} // namespace

HostRuntimeLauncher::HostRuntimeLauncher(LaunchPlan plan, QObject *parent)
    : QObject(parent), m_plan(std::move(plan))
{
    m_watchTimer.setInterval(WatchPeriod);
    connect(&m_watchTimer, &QTimer::timeout, this, &HostRuntimeLauncher::watchPkexec);
}

HostRuntimeLauncher::~HostRuntimeLauncher()
{
    // Only reached busy when the program ends while pkexec still asks: without
    // its parent pkexec could not go on anyway.
    if (m_pkexec > 0)
        endChild(m_pkexec);
}

void HostRuntimeLauncher::start()
{
    if (m_startedOnce)
        return;
    m_startedOnce = true;
    m_busy = true;
    const HostRuntimeLocation location =
        HostRuntimeLocation::besideProgram(m_plan.programFilePath, ::geteuid());
    if (!location.isUsable()) {
        finish(QStringLiteral("cannot start the host runtime: %1").arg(location.problem));
        return;
    }
    if (m_plan.route == ElevationRoute::ThroughPkexec) {
        startThroughPkexec(location.path);
        return;
    }
    const SpawnedProcess process = SpawnedProcess::inNewSession(location.path, m_plan.arguments);
    if (!process.started()) {
        finish(QStringLiteral("cannot start %1: %2").arg(location.path, errorText(process.error)));
        return;
    }
    qCInfo(lcLaunch) << "started" << location.path << "as process" << process.pid;
    finish({});
}

void HostRuntimeLauncher::startThroughPkexec(const QString &hostRuntime)
{
    const QString pkexec = m_plan.pkexecProgram.isEmpty()
                               ? QStandardPaths::findExecutable(QStringLiteral("pkexec"))
                               : m_plan.pkexecProgram;
    if (pkexec.isEmpty()) {
        finish(QStringLiteral("cannot start %1 with administrator rights: pkexec is not installed")
                   .arg(hostRuntime));
        return;
    }
    const SpawnedProcess process =
        SpawnedProcess::inNewSession(pkexec, QStringList{hostRuntime} + m_plan.arguments);
    if (!process.started()) {
        finish(QStringLiteral("cannot start %1: %2").arg(pkexec, errorText(process.error)));
        return;
    }
    qCInfo(lcLaunch) << "asked" << pkexec << "to start" << hostRuntime << "as process"
                     << process.pid;
    m_pkexec = process.pid;
    m_runtimeName = QFileInfo(hostRuntime).fileName().left(ProcessNameLength);
    m_waiting.start();
    m_watchTimer.start();
}

// pkexec execs the program in its own process once authorised, so the child's
// name tells when that happened; its exit status tells why it gave up.
void HostRuntimeLauncher::watchPkexec()
{
    int status = 0;
    const pid_t ended = ::waitpid(m_pkexec, &status, WNOHANG);
    if (ended == m_pkexec) {
        m_pkexec = -1;
        if (WIFSIGNALED(status)) {
            finish(QStringLiteral("pkexec ended by signal %1 before the host runtime started")
                       .arg(WTERMSIG(status)));
            return;
        }
        const int code = WEXITSTATUS(status);
        if (code == PkexecNotAuthorized) {
            finish(QStringLiteral("pkexec did not start the host runtime: authentication was "
                                  "declined or failed (exit status %1)")
                       .arg(code));
        } else if (code == PkexecError) {
            finish(QStringLiteral("pkexec could not start the host runtime (exit status %1)")
                       .arg(code));
        } else {
            qCInfo(lcLaunch) << "the host runtime ran and ended with status" << code;
            finish({});
        }
        return;
    }
    if (ended < 0) {
        m_pkexec = -1;
        finish(QStringLiteral("lost pkexec: %1").arg(errorText(errno)));
        return;
    }
    if (processName(m_pkexec) == m_runtimeName.toLocal8Bit()) {
        qCInfo(lcLaunch) << "pkexec started the host runtime as process" << m_pkexec;
        m_pkexec = -1; // it is the host runtime now, and lives on without restarter
        finish({});
        return;
    }
    if (m_waiting.elapsed() >= m_plan.authenticationLimit.count()) {
        endChild(m_pkexec);
        m_pkexec = -1;
        finish(QStringLiteral("pkexec did not start the host runtime within %1 s; gave up")
                   .arg(std::chrono::duration_cast<std::chrono::seconds>(m_plan.authenticationLimit)
                            .count()));
    }
}

void HostRuntimeLauncher::finish(const QString &failure)
{
    m_watchTimer.stop();
    QMetaObject::invokeMethod(
        this,
        [this, failure] {
            m_busy = false;
            Q_EMIT finished(LaunchOutcome{failure});
        },
        Qt::QueuedConnection);
}
