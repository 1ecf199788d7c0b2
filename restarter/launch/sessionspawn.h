#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

// A program started as a direct child in a session of its own: it keeps
// running when restarter and the terminal or desktop that started restarter
// go. Standard input is /dev/null, signal mask and dispositions are the
// defaults, the environment is restarter's.
struct SpawnedProcess
{
    pid_t pid = -1;
    int error = 0; // errno of the failed start; 0 when started

    bool started() const { return pid > 0; }

    static SpawnedProcess inNewSession(const QString &program, const QStringList &arguments);
};
