#pragma once

#include "mailprovider.h"
#include "mailrecords.h"

#include <QObject>

#include <chrono>
#include <deque>
#include <mutex>
#include <optional>

// An email waiting for its provider, with the attempts spent on it.
struct QueuedEmail
{
    CMailDetails email;
    int attempts = 0;
    std::chrono::steady_clock::time_point queuedAt{};
};

// The two provider queues, oldest first, shared by the intake (GUI thread) and
// the sender thread under one lock that is never held while mail travels.
// lengthShown carries the number a provider's counter is to show; it may be
// emitted from either thread.
class MailQueues : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxLength = 100;

    using QObject::QObject;

    int length(MailProvider provider) const;
    // The length after the append, or nothing when the queue is full.
    std::optional<int> append(MailProvider provider, QueuedEmail email);

    struct Taken
    {
        QueuedEmail email;
        int lengthBefore = 0;
    };
    std::optional<Taken> takeFirst(MailProvider provider);
    // Behind the others: a failed send waits its turn again.
    void putBack(MailProvider provider, QueuedEmail email);
    // In front: an email that never reached the server keeps its place.
    void putFront(MailProvider provider, QueuedEmail email);
    // Empties both queues; returns how many emails they held.
    int clear();

    // Shows `length` in the provider's counter; -1 reads the current length.
    void showLength(MailProvider provider, int length = -1);

Q_SIGNALS:
    void lengthShown(MailProvider provider, int length);

private:
    mutable std::mutex m_mutex;
    std::deque<QueuedEmail> m_queues[2];
};
