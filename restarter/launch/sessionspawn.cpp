#include "sessionspawn.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <vector>

extern char **environ;

namespace {

// Owns the attribute and file action records of one posix_spawn call.
class SpawnSetup
{
public:
    SpawnSetup()
    {
        m_attributesReady = ::posix_spawnattr_init(&m_attributes) == 0;
        m_actionsReady = ::posix_spawn_file_actions_init(&m_actions) == 0;
    }
    ~SpawnSetup()
    {
        if (m_attributesReady)
            ::posix_spawnattr_destroy(&m_attributes);
        if (m_actionsReady)
            ::posix_spawn_file_actions_destroy(&m_actions);
    }
    SpawnSetup(const SpawnSetup &) = delete;
    SpawnSetup &operator=(const SpawnSetup &) = delete;

    // 0 or the errno of the step that failed.
    int prepare()
    {
        if (!m_attributesReady || !m_actionsReady)
            return ENOMEM;
        sigset_t noSignals;
        sigemptyset(&noSignals);
        sigset_t allSignals;
        sigfillset(&allSignals);
        const short flags = POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        if (int error = ::posix_spawnattr_setflags(&m_attributes, flags))
            return error;
        if (int error = ::posix_spawnattr_setsigmask(&m_attributes, &noSignals))
            return error;
        if (int error = ::posix_spawnattr_setsigdefault(&m_attributes, &allSignals))
            return error;
        // Nothing may wait on a terminal the new session does not own.
        return ::posix_spawn_file_actions_addopen(&m_actions, STDIN_FILENO, "/dev/null", O_RDONLY,
                                                  0);
    }

    const posix_spawnattr_t *attributes() const { return &m_attributes; }
    const posix_spawn_file_actions_t *actions() const { return &m_actions; }

private:
    posix_spawnattr_t m_attributes{};
    posix_spawn_file_actions_t m_actions{};
    bool m_attributesReady = false;
    bool m_actionsReady = false;
};

} // namespace

SpawnedProcess SpawnedProcess::inNewSession(const QString &program, const QStringList &arguments)
{
    SpawnedProcess process;
    SpawnSetup setup;
    if ((process.error = setup.prepare()) != 0)
        return process;

    std::vector<QByteArray> words;
    words.reserve(size_t(arguments.size()) + 1);
    words.push_back(QFile::encodeName(program));
    for (const QString &argument : arguments)
        words.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    // glibc's posix_spawn reports a failed exec as its result, so a missing
    // or refused program is known here and not only from the child's exit.
    pid_t pid = -1;
    process.error = ::posix_spawn(&pid, words.front().constData(), setup.actions(),
                                  setup.attributes(), argv.data(), environ);
    if (process.error == 0)
        process.pid = pid;
    return process;
}
