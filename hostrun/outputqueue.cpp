#include "outputqueue.h"

namespace hostrun {

OutputQueue::OutputQueue(std::FILE *stream, qsizetype limitBytes)
    : m_stream(stream), m_limitBytes(limitBytes), m_thread([this] { run(); })
{}

OutputQueue::~OutputQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

bool OutputQueue::write(QByteArray text)
{
    if (text.isEmpty())
        return true;
    {
        std::lock_guard lock(m_mutex);
        if (m_queuedBytes + text.size() > m_limitBytes) {
            ++m_dropped;
            ++m_droppedToTell;
            return false;
        }
        m_queuedBytes += text.size();
        m_queue.push_back(std::move(text));
    }
    m_wake.notify_one();
    return true;
}

qsizetype OutputQueue::queuedBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_queuedBytes;
}

quint64 OutputQueue::droppedWrites() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

void OutputQueue::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty() || m_droppedToTell; });
        if (!m_queue.empty()) {
            QByteArray text = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            // May block for as long as the reader pauses; only this thread waits.
            std::fwrite(text.constData(), 1, size_t(text.size()), m_stream);
            std::fflush(m_stream);
            lock.lock();
            m_queuedBytes -= text.size();
            continue;
        }
        if (m_droppedToTell) {
            const quint64 dropped = m_droppedToTell;
            m_droppedToTell = 0;
            lock.unlock();
            std::fprintf(stderr,
                         "hostrun: %llu deliveries not printed: standard output was not read "
                         "fast enough\n",
                         static_cast<unsigned long long>(dropped));
            std::fflush(stderr);
            lock.lock();
            continue;
        }
        if (m_stopping)
            return;
    }
}

} // namespace hostrun
