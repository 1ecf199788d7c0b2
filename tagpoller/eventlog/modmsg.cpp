#include "modmsg.h"

CModMsg::CModMsg(QString text, std::chrono::sys_seconds time)
    : m_text(std::move(text)), m_time(time)
{}

// A time the C library cannot break down shows zeros for the date and -1 for
// the clock, which is what users of earlier versions saw for such a message.
QString CModMsg::dateText() const
{
    const auto local = toLocalTime(m_time);
    if (!local)
        return QString::asprintf("%02d-%02d-%02d", 0, 0, 0);
    // Widened: tm_year + 1900 overflows an int for the last years localtime_r accepts.
    return QString::asprintf("%02d-%02d-%02lld", local->tm_mon + 1, local->tm_mday,
                             static_cast<long long>(local->tm_year) + 1900);
}

QString CModMsg::timeText() const
{
    const auto local = toLocalTime(m_time);
    if (!local)
        return QString::asprintf("%02d:%02d:%02d", -1, -1, -1);
    return QString::asprintf("%02d:%02d:%02d", local->tm_hour, local->tm_min, local->tm_sec);
}

void CModMsg::serialize(Archive &ar)
{
    // The leading word was never used: written as 0, ignored when read.
    qint16 reserved = 0;
    ar.int16(reserved);
    ar.string(m_text);
    ar.time(m_time);
}
