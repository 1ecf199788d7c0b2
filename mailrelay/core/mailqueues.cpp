#include "mailqueues.h"

int MailQueues::length(MailProvider provider) const
{
    std::lock_guard lock(m_mutex);
    return int(m_queues[channelOf(provider)].size());
}

std::optional<int> MailQueues::append(MailProvider provider, QueuedEmail email)
{
    std::lock_guard lock(m_mutex);
    auto &queue = m_queues[channelOf(provider)];
    if (queue.size() >= std::size_t(MaxLength))
        return std::nullopt;
    queue.push_back(std::move(email));
    return int(queue.size());
}

std::optional<MailQueues::Taken> MailQueues::takeFirst(MailProvider provider)
{
    std::lock_guard lock(m_mutex);
    auto &queue = m_queues[channelOf(provider)];
    if (queue.empty())
        return std::nullopt;
    Taken taken{std::move(queue.front()), int(queue.size())};
    queue.pop_front();
    return taken;
}

void MailQueues::putBack(MailProvider provider, QueuedEmail email)
{
    std::lock_guard lock(m_mutex);
    m_queues[channelOf(provider)].push_back(std::move(email));
}

void MailQueues::putFront(MailProvider provider, QueuedEmail email)
{
    std::lock_guard lock(m_mutex);
    m_queues[channelOf(provider)].push_front(std::move(email));
}

int MailQueues::clear()
{
    std::lock_guard lock(m_mutex);
    const int count = int(m_queues[0].size() + m_queues[1].size());
    m_queues[0].clear();
    m_queues[1].clear();
    return count;
}

void MailQueues::showLength(MailProvider provider, int length)
{
    Q_EMIT lengthShown(provider, length < 0 ? this->length(provider) : length);
}
