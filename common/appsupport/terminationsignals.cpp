#include "terminationsignals.h"

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The one thing a signal handler can reach: where to write.
std::atomic<int> signalPipe{-1};
static_assert(std::atomic<int>::is_always_lock_free, "used from a signal handler");

void forwardSignal(int signalNumber)
{
    const int savedErrno = errno;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe.load(), &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    Q_ASSERT(signalPipe.load() == -1);
    int ends[2];
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
        return;
    m_readEnd.reset(ends[0]);
    m_writeEnd.reset(ends[1]);
    signalPipe.store(m_writeEnd.get());

    struct sigaction action
    {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGINT, &action, &m_previousInterrupt) != 0 ||
        ::sigaction(SIGTERM, &action, &m_previousTerminate) != 0) {
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_readEnd.get(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
}

TerminationSignals::~TerminationSignals()
{
    ::sigaction(SIGINT, &m_previousInterrupt, nullptr);
    ::sigaction(SIGTERM, &m_previousTerminate, nullptr);
    signalPipe.store(-1);
    m_notifier.reset(); // before the pipe closes
}

void TerminationSignals::readPipe()
{
    char byte = 0;
    while (::read(m_readEnd.get(), &byte, 1) == 1)
        Q_EMIT received(int(byte));
}
