#pragma once

#include "eventlog.h"

#include <QLatin1StringView>

class QSettings;

// The driver's per-user settings store:
//     QSettings settings(DriverSettingsOrganization, DriverSettingsApplication);
// with the sections and value names the Windows versions kept in the registry,
// so that installers and support staff find the settings under the same names.
inline constexpr QLatin1StringView DriverSettingsOrganization{"Quenlor"};
inline constexpr QLatin1StringView DriverSettingsApplication{"Orvala Modbus Driver"};

// The "Settings" section: set by whoever installs or configures the driver,
// read once at start and never written by the driver.
struct DriverSettings
{
    static constexpr int DefaultErrorFileDurationMinutes = 15;

    // "EvtMsgLevel", 0 to 3: 3 adds the verbose messages to the event log.
    int eventMessageLevel = 0;
    // "ShowDiagno": offer the diagnostics window and the tag write command.
    bool showDiagnostics = false;
    // "GenFrmDetails": write each device's read planning to files.
    bool generateFrameDetails = false;
    // "GenErrFile": channel engines write their error files.
    bool generateErrorFiles = false;
    // "ErrFileDuration", 1 to 600: minutes after which an error file stops growing.
    int errorFileDurationMinutes = DefaultErrorFileDurationMinutes;
    // "HonourScanRates": frames are read at the shortest scan rate of their
    // tags instead of back to back.
    bool honourScanRates = false;
    // "MsgsToKeep", 10 to 100000, anything else 200: messages saved at close.
    int messagesToKeep = EventLog::DefaultMessagesToKeep;

    // Every value with its default when missing, clamped into its range; the
    // flags are on for any non-zero number.
    static DriverSettings read(const QSettings &settings);
};
