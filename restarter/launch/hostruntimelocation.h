#pragma once

#include <QString>

#include <sys/types.h>

// Where the host runtime to start lies: the file "hostrun" in the folder that
// holds restarter itself. It may be started as root, so a file anyone but root
// or the user could have changed is refused.
struct HostRuntimeLocation
{
    QString path;    // canonical path of the program to start
    QString problem; // why nothing may be started; empty when path is usable

    bool isUsable() const { return problem.isEmpty(); }

    static constexpr char FileName[] = "hostrun";

    // programFilePath: restarter's own file (from the program's own location,
    // never argv[0]); trustedUser: the user besides root who may own the
    // files and folders involved.
    static HostRuntimeLocation besideProgram(const QString &programFilePath, uid_t trustedUser);

    // The file of the running program, as the kernel knows it; empty when it
    // cannot be read. Unlike argv[0] it cannot be made to point elsewhere.
    static QString runningProgramFile();
};
