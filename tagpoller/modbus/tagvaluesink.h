#pragma once

#include <QtGlobal>

class CModData;

// Where a tag hands over a changed value or quality: the host link queues it for
// the next delivery to the host runtime. Tags call it only for values that
// changed (report by exception) and for a full refresh.
class TagValueSink
{
public:
    virtual ~TagValueSink() = default;
    virtual void queueTagValue(qint32 requestId, const CModData &value, bool inError) = 0;
};
