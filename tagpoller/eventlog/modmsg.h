#pragma once

#include "archive.h"
#include "localclock.h"

#include <QString>

#include <chrono>

// One message of the event message log: its text and when it was written.
// Saved messages keep this archive form so that files written by earlier
// versions of the driver still load.
class CModMsg : public Record
{
    // The class name is written into the saved message file: part of the stored format.
    ORVALA_RECORD(CModMsg)
public:
    CModMsg() = default;
    CModMsg(QString text, std::chrono::sys_seconds time);

    const QString &text() const { return m_text; }
    std::chrono::sys_seconds time() const { return m_time; }

    // The texts of the "Date" and "Time" columns: month-day-year and
    // hour:minute:second in local time.
    QString dateText() const;
    QString timeText() const;

    void serialize(Archive &ar) override;

private:
    QString m_text;
    std::chrono::sys_seconds m_time{};
};
