#pragma once

#include "sqlpayload.h"
#include "sqlrecords.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <chrono>
#include <ctime>
#include <functional>
#include <memory>

// Record makers and waiting for the bridge's threads, shared by the tests.
namespace bridgetesting {

// 2017-04-05 14:03:07 UTC; the tests run with TZ=UTC.
inline std::chrono::sys_seconds sampleTime()
{
    using namespace std::chrono;
    return sys_days{year{2017} / April / 5} + hours{14} + minutes{3} + seconds{7};
}

inline void useUtc()
{
    qputenv("TZ", "UTC");
    tzset();
}

inline std::shared_ptr<CSqlTag> numericTag(const QString &group, const QString &name, double value,
                                           std::chrono::sys_seconds time = sampleTime())
{
    auto tag = std::make_shared<CSqlTag>();
    tag->valueKind = 0;
    tag->time = time;
    tag->numericValue = value;
    tag->groupName = group;
    tag->tagName = name;
    return tag;
}

inline std::shared_ptr<CSqlTag> textTag(const QString &group, const QString &name,
                                        const QString &text,
                                        std::chrono::sys_seconds time = sampleTime())
{
    auto tag = numericTag(group, name, 0, time);
    tag->valueKind = CSqlTag::TextValueKind;
    tag->textValue = text;
    return tag;
}

inline std::shared_ptr<CSqlAlarm> alarm(const QString &group, const QString &name, double value,
                                        quint8 event = 0, quint8 type = 4, quint8 severity = 3,
                                        const QString &user = QStringLiteral("operator"),
                                        const QString &comment = QStringLiteral("check it"))
{
    auto a = std::make_shared<CSqlAlarm>();
    a->eventCode = event;
    a->alarmType = type;
    a->severity = severity;
    a->value = value;
    a->time = sampleTime();
    a->groupName = group;
    a->tagName = name;
    a->user = user;
    a->comment = comment;
    return a;
}

inline SqlTagList numericTags(int count, const QString &prefix = QStringLiteral("T"))
{
    SqlTagList tags;
    for (int i = 0; i < count; ++i)
        tags.push_back(numericTag(QStringLiteral("G"), prefix + QString::number(i), i));
    return tags;
}

inline SqlAlarmList alarms(int count)
{
    SqlAlarmList list;
    for (int i = 0; i < count; ++i)
        list.push_back(alarm(QStringLiteral("G"), QStringLiteral("A") + QString::number(i), i));
    return list;
}

// Runs the event loop until `condition` holds or `timeout` passes.
inline bool waitUntil(const std::function<bool()> &condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(60))
{
    const QDeadlineTimer deadline(timeout);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

} // namespace bridgetesting
