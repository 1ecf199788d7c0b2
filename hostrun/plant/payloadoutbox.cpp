#include "payloadoutbox.h"

using namespace std::chrono_literals;

namespace hostrun {

namespace {

constexpr auto FirstBackoff = 250ms;
constexpr auto LongestBackoff = 8s;
constexpr qint64 Taken = 1;

} // namespace

PayloadOutbox::PayloadOutbox(hostmsg::Desktop &desktop, QString windowTitle, QString name,
                             qsizetype rowLimit)
    : m_desktop(desktop)
    , m_windowTitle(std::move(windowTitle))
    , m_name(std::move(name))
    , m_rowLimit(rowLimit)
    , m_backoff(FirstBackoff)
{
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &PayloadOutbox::retry);
}

bool PayloadOutbox::send(quint64 code, QByteArray payload, qsizetype rows, QString what)
{
    Pending pending{code, std::move(payload), rows, std::move(what)};
    if (m_queue.empty() && trySend(pending))
        return true;
    if (m_waitingRows + rows > m_rowLimit && !m_queue.empty()) {
        m_counts.dropped += rows;
        if (!m_fullNoted) {
            m_fullNoted = true;
            Q_EMIT note(QStringLiteral("%1: %2 rows wait already, the most kept; dropping new "
                                       "ones until %1 takes some (each counted)")
                            .arg(m_name)
                            .arg(m_waitingRows));
        }
        return false;
    }
    const bool first = m_queue.empty();
    m_waitingRows += pending.rows;
    m_queue.push_back(std::move(pending));
    if (first) {
        m_backoff = FirstBackoff;
        m_retryTimer.start(m_backoff);
    }
    return true;
}

bool PayloadOutbox::trySend(const Pending &pending)
{
    if (m_window == 0 || m_desktop.findWindow(m_windowTitle) != m_window)
        m_window = m_desktop.findWindow(m_windowTitle);
    const qint64 answer = m_window == 0 ? 0
                                        : m_desktop.sendMessage(m_window, hostmsg::WM_COPYDATA, 0,
                                                                0, pending.code, pending.payload);
    if (answer == Taken) {
        ++m_counts.sent;
        m_counts.rows += pending.rows;
        return true;
    }
    ++m_counts.refused;
    // One line when a run of refusals starts; the count goes on in the status line.
    if (m_queue.empty())
        Q_EMIT note(QStringLiteral("%1 refused %2 (answer %3); retrying")
                        .arg(m_name, pending.what)
                        .arg(answer));
    return false;
}

void PayloadOutbox::retry()
{
    while (!m_queue.empty()) {
        // trySend notes only the first refusal of a run: the queue is not empty here.
        if (!trySend(m_queue.front())) {
            m_backoff = std::min<std::chrono::milliseconds>(m_backoff * 2, LongestBackoff);
            m_retryTimer.start(m_backoff);
            return;
        }
        m_waitingRows -= m_queue.front().rows;
        m_queue.pop_front();
    }
    m_fullNoted = false;
    m_backoff = FirstBackoff;
    Q_EMIT note(QStringLiteral("%1 takes payloads again; nothing waits").arg(m_name));
}

} // namespace hostrun
