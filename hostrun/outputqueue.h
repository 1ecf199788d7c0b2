#pragma once

#include <QByteArray>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

namespace hostrun {

// Standard output written by a thread of its own. The driver waits in its
// send for our answer to each delivery, and a reader that falls behind (a
// full pipe, a paused terminal) must not hold that answer back: the driver
// would take the late answer for a host that is gone and shut down. Lines
// are queued here and the session answers at once.
//
// The queue holds at most `limitBytes`; lines beyond it are dropped and
// counted, and the count is said on standard error once the reader catches up
// (or at the end).
class OutputQueue
{
public:
    static constexpr qsizetype DefaultLimitBytes = 64 * 1024 * 1024;

    explicit OutputQueue(std::FILE *stream, qsizetype limitBytes = DefaultLimitBytes);
    // Writes out what is queued, then ends the thread.
    ~OutputQueue();
    OutputQueue(const OutputQueue &) = delete;
    OutputQueue &operator=(const OutputQueue &) = delete;

    // Never waits for the reader. False when the text was dropped.
    bool write(QByteArray text);

    qsizetype queuedBytes() const;
    quint64 droppedWrites() const;

private:
    void run();

    std::FILE *m_stream;
    const qsizetype m_limitBytes;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<QByteArray> m_queue;
    qsizetype m_queuedBytes = 0;
    quint64 m_dropped = 0;       // since the start
    quint64 m_droppedToTell = 0; // not yet said on standard error
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace hostrun
