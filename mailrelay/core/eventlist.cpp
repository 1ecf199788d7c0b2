#include "eventlist.h"

#include "mailprovider.h"

#include <QStringList>

Q_LOGGING_CATEGORY(mailEventsLog, "mailrelay.events")

EventList::EventList(WallClock clock, QObject *parent) : QObject(parent), m_clock(std::move(clock))
{
    qRegisterMetaType<MailEvent>();
}

void EventList::append(int channel, const QString &text)
{
    std::vector<MailEvent> added;
    {
        std::lock_guard lock(m_mutex);
        appendLocked(channel, text, added);
    }
    // Announced outside the lock: a receiver may read the list.
    for (const MailEvent &event : added)
        Q_EMIT entryAppended(event);
}

void EventList::appendLocked(int channel, const QString &text, std::vector<MailEvent> &added)
{
    if (m_entries.size() >= MaxEntries) {
        m_entries.pop_front();
        if (!m_dropReported) {
            m_dropReported = true;
            // Said once, as the newest entry, so the reader knows the top of
            // the list is not the start of the run.
            appendLocked(CommonChannel,
                         QStringLiteral("The event list keeps the newest %1 "
                                        "entries; older ones are dropped.")
                             .arg(MaxEntries),
                         added);
            if (m_entries.size() >= MaxEntries)
                m_entries.pop_front();
        }
    }
    MailEvent event{m_clock(), channel, text};
    qCInfo(mailEventsLog).noquote() << channelText(channel) << text;
    m_entries.push_back(event);
    added.push_back(std::move(event));
}

std::vector<MailEvent> EventList::entries() const
{
    std::lock_guard lock(m_mutex);
    return {m_entries.begin(), m_entries.end()};
}

std::size_t EventList::size() const
{
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

QStringList EventList::texts() const
{
    std::lock_guard lock(m_mutex);
    QStringList result;
    for (const MailEvent &e : m_entries)
        result << e.text;
    return result;
}

QString eventDateText(std::chrono::sys_seconds time)
{
    const std::optional<std::tm> local = toLocalTime(time);
    if (!local)
        return QStringLiteral("00/00/0000");
    return QString::asprintf("%02d/%02d/%04d", local->tm_mon + 1, local->tm_mday,
                             local->tm_year + 1900);
}

QString eventTimeText(std::chrono::sys_seconds time)
{
    const std::optional<std::tm> local = toLocalTime(time);
    if (!local)
        return QStringLiteral("-1:-1:-1");
    return QString::asprintf("%02d:%02d:%02d", local->tm_hour, local->tm_min, local->tm_sec);
}
