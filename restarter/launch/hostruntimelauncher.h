#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>

#include <sys/types.h>

// How the host runtime gets its rights: root starts it directly, anyone else
// through pkexec, which asks for an administrator's authentication.
enum class ElevationRoute { Direct, ThroughPkexec };

// What one launch is to do.
struct LaunchPlan
{
    QString programFilePath; // restarter's own file: hostrun is looked for beside it
    QStringList arguments;   // passed on to hostrun
    ElevationRoute route = ElevationRoute::ThroughPkexec;
    QString pkexecProgram; // empty: "pkexec" on PATH
    // How long pkexec may take to start the program, authentication prompt
    // included.
    std::chrono::milliseconds authenticationLimit = std::chrono::minutes(5);

    // The route for a process with this effective user id.
    static ElevationRoute routeFor(uid_t effectiveUser)
    {
        return effectiveUser == 0 ? ElevationRoute::Direct : ElevationRoute::ThroughPkexec;
    }
};

struct LaunchOutcome
{
    QString failure; // one line; empty when the host runtime was started
    bool started() const { return failure.isEmpty(); }
};

// Starts the host runtime in a session of its own, once. Directly, the start is
// over when the program runs. Through pkexec, pkexec must be restarter's own
// child (it authenticates against its parent and refuses an orphaned caller),
// so restarter stays until pkexec has either become the host runtime or given
// up; finished() then says which.
class HostRuntimeLauncher : public QObject
{
    Q_OBJECT
public:
    explicit HostRuntimeLauncher(LaunchPlan plan, QObject *parent = nullptr);
    ~HostRuntimeLauncher() override;

    // Starts at most once; finished() follows, always from the event loop.
    void start();
    bool isBusy() const { return m_busy; }

Q_SIGNALS:
    void finished(const LaunchOutcome &outcome);

private:
    void startThroughPkexec(const QString &hostRuntime);
    void watchPkexec();
    void finish(const QString &failure);

    LaunchPlan m_plan;
    bool m_startedOnce = false;
    bool m_busy = false;
    pid_t m_pkexec = -1;
    QString m_runtimeName; // the process name pkexec takes on when it starts the program
    QTimer m_watchTimer;
    QElapsedTimer m_waiting;
};
