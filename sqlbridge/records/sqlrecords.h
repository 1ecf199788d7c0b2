#pragma once

#include "archive.h"

#include <QString>

#include <chrono>
#include <memory>
#include <vector>

// The two records the host runtime hands the SQL bridge. Their class names and
// field order are the wire format shared with the host runtime.

// One tag value: numeric, or text when `valueKind` is TextValueKind.
class CSqlTag : public Record
{
    // The class name is written into tag value payloads: never rename it.
    ORVALA_RECORD(CSqlTag)
public:
    static constexpr quint8 TextValueKind = 1;

    quint8 valueKind = 0;
    std::chrono::sys_seconds time{};
    double numericValue = 0;
    QString groupName;
    QString tagName;
    QString textValue;

    bool isText() const { return valueKind == TextValueKind; }
    void serialize(Archive &ar) override;
};

// One alarm event of a tag.
class CSqlAlarm : public Record
{
    // The class name is written into alarm payloads: never rename it.
    ORVALA_RECORD(CSqlAlarm)
public:
    quint8 eventCode = 0; // 0 Active, 1 Change, 2 Ack, 3 Inactive
    quint8 alarmType = 0; // 0 Discrete ... 6 Lo Lo
    quint8 severity = 0;
    double value = 0;
    std::chrono::sys_seconds time{};
    QString groupName;
    QString tagName;
    QString user;
    QString comment;

    void serialize(Archive &ar) override;
};

using SqlTagList = std::vector<std::shared_ptr<CSqlTag>>;
using SqlAlarmList = std::vector<std::shared_ptr<CSqlAlarm>>;
