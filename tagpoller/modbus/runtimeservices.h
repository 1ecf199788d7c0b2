#pragma once

#include "eventlog.h"

#include <QString>

class Notifier;
class TagValueSink;

// What the Modbus runtime needs from the rest of the driver during a run: the
// event message log, the host link's value sink, the user's message boxes, and
// the settings that decide which trace files are written. Every pointer may be
// null; the runtime then does without.
struct RuntimeServices
{
    EventLog *eventLog = nullptr;
    TagValueSink *valueSink = nullptr;
    Notifier *notifier = nullptr;
    QString projectFolder;             // where planning files and error files go
    bool generateFrameDetails = false; // "GenFrmDetails"
    bool generateErrorFiles = false;   // "GenErrFile"
    int errorFileMinutes = 15;         // "ErrFileDuration"
    // "HonourScanRates": a frame is read again only once the shortest scan
    // rate of its tags has passed; off, frames are read back to back.
    bool honourScanRates = false;

    void log(const QString &text, EventLog::Level level = EventLog::Level::Normal) const
    {
        if (eventLog)
            eventLog->addMessage(text, level);
    }
    // Verbose messages cost nothing to skip; callers check before formatting.
    bool verbose() const
    {
        return eventLog && eventLog->eventMessageLevel() >= EventLog::VerboseEventMessageLevel;
    }
};
