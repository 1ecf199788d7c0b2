#pragma once

#include "desktop.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <deque>

namespace hostrun {

// The payloads for one program's window, sent in order. A payload the
// program refuses (answer 0, or no answer) waits here and is offered again
// with a growing pause; later payloads wait behind it so that rows keep their
// order. The queue holds a bounded number of rows; a payload that finds it
// full is dropped, and said so, never silently.
class PayloadOutbox : public QObject
{
    Q_OBJECT
public:
    struct Counts
    {
        qint64 sent = 0;    // payloads taken
        qint64 rows = 0;    // rows (or emails) in them
        qint64 refused = 0; // answers other than "taken", each followed by a retry
        qint64 dropped = 0; // rows that found the queue full
    };

    static constexpr qsizetype DefaultRowLimit = 50000;

    PayloadOutbox(hostmsg::Desktop &desktop, QString windowTitle, QString name,
                  qsizetype rowLimit = DefaultRowLimit);

    // Sends now when nothing waits, else queues behind what waits. False when
    // the payload was dropped because the queue is full.
    bool send(quint64 code, QByteArray payload, qsizetype rows, QString what);

    const Counts &counts() const { return m_counts; }
    qsizetype waitingRows() const { return m_waitingRows; }
    bool isEmpty() const { return m_queue.empty(); }

Q_SIGNALS:
    // A line for the operator: a refusal, a recovery, a drop.
    void note(const QString &text);

private:
    struct Pending
    {
        quint64 code = 0;
        QByteArray payload;
        qsizetype rows = 0;
        QString what;
    };

    bool trySend(const Pending &pending);
    void retry();

    hostmsg::Desktop &m_desktop;
    const QString m_windowTitle;
    const QString m_name;
    const qsizetype m_rowLimit;
    hostmsg::Handle m_window = 0;
    std::deque<Pending> m_queue;
    qsizetype m_waitingRows = 0;
    std::chrono::milliseconds m_backoff;
    QTimer m_retryTimer;
    bool m_fullNoted = false;
    Counts m_counts;
};

} // namespace hostrun
