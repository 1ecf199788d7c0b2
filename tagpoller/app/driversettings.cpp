#include "driversettings.h"

#include "errorfilewriter.h"
#include "settingsvalue.h"

#include <algorithm>

DriverSettings DriverSettings::read(const QSettings &settings)
{
    const auto integer = [&settings](const char *name, int defaultValue) {
        return readSettingsInteger(settings, QStringLiteral("Settings/") + QLatin1StringView(name),
                                   defaultValue);
    };

    DriverSettings read;
    read.eventMessageLevel =
        std::clamp(integer("EvtMsgLevel", 0), 0, EventLog::VerboseEventMessageLevel);
    read.showDiagnostics = integer("ShowDiagno", 0) != 0;
    read.generateFrameDetails = integer("GenFrmDetails", 0) != 0;
    read.generateErrorFiles = integer("GenErrFile", 0) != 0;
    read.errorFileDurationMinutes = std::clamp(
        integer("ErrFileDuration", DefaultErrorFileDurationMinutes),
        ErrorFileWriter::MinimumDurationMinutes, ErrorFileWriter::MaximumDurationMinutes);
    read.honourScanRates = integer("HonourScanRates", 0) != 0;
    read.messagesToKeep = EventLog::readMessagesToKeep(settings);
    return read;
}
