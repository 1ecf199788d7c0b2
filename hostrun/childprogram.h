#pragma once

#include <QProcess>
#include <QStringList>

#include <memory>

namespace hostrun {

// A program hostrun starts and later stops in order: no standard input, its
// output on hostrun's error stream (standard output is hostrun's own lines),
// and a process group of its own, so that Ctrl+C in the terminal reaches
// hostrun only. Returns the process, not yet started.
std::unique_ptr<QProcess> makeChildProgram(const QString &program,
                                           const QStringList &arguments = {});

} // namespace hostrun
