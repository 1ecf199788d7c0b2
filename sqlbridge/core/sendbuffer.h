#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

// Records waiting to be written, oldest first, shared by the GUI thread (which
// appends) and the writer pass (which takes from the front). The GUI thread
// never waits longer than LockWait for it, since the host runtime's send waits
// for the intake's answer; the writer may wait, because the GUI thread holds
// the lock only to move pointers.
template<class T> class SendBuffer
{
public:
    using Pointer = std::shared_ptr<T>;
    using List = std::vector<Pointer>;
    static constexpr std::chrono::milliseconds LockWait{20};

    // Appends every record in order, or none when the lock is not had in time.
    bool tryAppend(List &records)
    {
        std::unique_lock lock(m_mutex, std::defer_lock);
        if (!lock.try_lock_for(LockWait))
            return false;
        for (Pointer &record : records)
            m_records.push_back(std::move(record));
        records.clear();
        m_size = m_records.size();
        return true;
    }

    // Up to `maximum` records from the front; nothing when the lock is not had
    // in time.
    List tryTakeFront(std::size_t maximum)
    {
        std::unique_lock lock(m_mutex, std::defer_lock);
        if (!lock.try_lock_for(LockWait))
            return {};
        return takeFrontLocked(maximum);
    }

    // Records that were taken and not written go back in front of those that
    // came later, in their order.
    void putBackFront(List &records)
    {
        std::lock_guard lock(m_mutex);
        m_records.insert(m_records.begin(), std::make_move_iterator(records.begin()),
                         std::make_move_iterator(records.end()));
        records.clear();
        m_size = m_records.size();
    }

    List takeAll()
    {
        std::lock_guard lock(m_mutex);
        return takeFrontLocked(m_records.size());
    }

    // A snapshot: the other thread may change it the moment after.
    std::size_t size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }

    // For tests that need to see the GUI thread find the buffer busy.
    std::timed_mutex &mutexForTests() { return m_mutex; }

private:
    List takeFrontLocked(std::size_t maximum)
    {
        const std::size_t n = std::min(maximum, m_records.size());
        List taken(std::make_move_iterator(m_records.begin()),
                   std::make_move_iterator(m_records.begin() + std::ptrdiff_t(n)));
        m_records.erase(m_records.begin(), m_records.begin() + std::ptrdiff_t(n));
        m_size = m_records.size();
        return taken;
    }

    std::timed_mutex m_mutex;
    std::deque<Pointer> m_records;
    std::atomic<std::size_t> m_size{0};
};
