#include "childprogram.h"

#include <unistd.h>

namespace hostrun {

std::unique_ptr<QProcess> makeChildProgram(const QString &program, const QStringList &arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProgram(program);
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setChildProcessModifier([] {
        ::dup2(STDERR_FILENO, STDOUT_FILENO);
        ::setpgid(0, 0);
    });
    return process;
}

} // namespace hostrun
