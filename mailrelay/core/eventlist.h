#pragma once

#include "localclock.h"

#include <QLoggingCategory>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <chrono>
#include <deque>
#include <mutex>
#include <vector>

Q_DECLARE_LOGGING_CATEGORY(mailEventsLog)

// One line of the relay's event list.
struct MailEvent
{
    std::chrono::sys_seconds time{};
    int channel = 0; // 0 Gmail, 1 Yahoo, anything else Common
    QString text;
};
Q_DECLARE_METATYPE(MailEvent)

// The event list both the intake and the sender write to. Appends come from
// the GUI thread and from the sender thread; they are serialized here, echoed
// to the error stream through the "mailrelay.events" category and announced
// with entryAppended (a view connects queued and keeps its own rows).
//
// The list keeps the newest MaxEntries entries: a relay that runs for months
// must not grow without bound. The first time it drops old entries it says so.
class EventList : public QObject
{
    Q_OBJECT
public:
    static constexpr std::size_t MaxEntries = 10000;

    explicit EventList(WallClock clock = systemWallClockNow, QObject *parent = nullptr);

    // Thread-safe.
    void append(int channel, const QString &text);

    std::vector<MailEvent> entries() const;
    std::size_t size() const;
    // The texts of every entry, in order (for tests and the command line).
    QStringList texts() const;

Q_SIGNALS:
    void entryAppended(const MailEvent &event);

private:
    void appendLocked(int channel, const QString &text, std::vector<MailEvent> &added);

    WallClock m_clock;
    mutable std::mutex m_mutex;
    std::deque<MailEvent> m_entries;
    bool m_dropReported = false;
};

// The Date and Time columns: "%02d/%02d/%04d" (month, day, year) and
// "%02d:%02d:%02d"; 0 and -1 when the time has no local form.
QString eventDateText(std::chrono::sys_seconds time);
QString eventTimeText(std::chrono::sys_seconds time);
