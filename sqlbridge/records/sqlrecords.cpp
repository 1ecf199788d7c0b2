#include "sqlrecords.h"

void CSqlTag::serialize(Archive &ar)
{
    ar.uint8(valueKind);
    ar.time(time);
    ar.float64(numericValue);
    ar.string(groupName);
    ar.string(tagName);
    ar.string(textValue);
}

void CSqlAlarm::serialize(Archive &ar)
{
    ar.uint8(eventCode);
    ar.uint8(alarmType);
    ar.uint8(severity);
    ar.float64(value);
    ar.time(time);
    ar.string(groupName);
    ar.string(tagName);
    ar.string(user);
    ar.string(comment);
}
