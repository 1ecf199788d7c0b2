#pragma once

#include "desktop.h"

#include <QProcess>
#include <QStringList>

namespace testing_hostmsg {

// A program of this build, started for one test and stopped with it. Its
// standard error goes to the test's output; its standard output is read here.
class PeerProcess
{
public:
    // `program` is a path below the build tree, e.g. "hostrun/hostrun".
    PeerProcess(const QString &program, const QStringList &arguments);
    ~PeerProcess();

    QProcess &process() { return m_process; }

    // The handle of the live window titled `title` once the peer has made it,
    // or 0 when the peer exits first or does not make it in a long time.
    hostmsg::Handle waitForWindow(hostmsg::Desktop &desktop, const QString &title);

    // The next `count` lines of standard output (fewer when the peer stops
    // writing for a long time or exits).
    QStringList readLines(int count);

    // SIGTERM, then waits for the exit. True when the peer exited normally with status 0.
    bool terminate();
    // Waits for the peer to exit on its own. True when it exited normally with status 0.
    bool waitForExit();

private:
    QProcess m_process;
};

// Runs a program of this build to its end, serving this process's windows
// (the Qt event loop runs) meanwhile. Bounded.
struct Finished
{
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
};
Finished runToEnd(const QString &program, const QStringList &arguments);

} // namespace testing_hostmsg
