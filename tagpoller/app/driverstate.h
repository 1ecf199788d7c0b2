#pragma once

#include "driversettings.h"
#include "hostmsg.h"
#include "linkstate.h"
#include "project.h"
#include "recentfilelist.h"

#include <QObject>

class Notifier;

// The one process-wide record of the driver: the open project (its channels,
// path and modified flag), the settings read at start, the recent-file list,
// the mode flags and the state of the link to the host runtime. Made once,
// before the main window, and handed to whoever needs it.
class DriverState : public QObject
{
    Q_OBJECT
public:
    DriverState(Notifier &notifier, const DriverSettings &settings, QObject *parent = nullptr);

    Project project;
    const DriverSettings settings;
    // Follows the project: every file opened, or saved under a new path, goes
    // to its top.
    RecentFileList recentFiles;

    bool running = false;           // engines exist and run mode is active
    bool configurationMode = true;  // the user interface is in configuration mode
    bool refreshAll = false;        // an item request was accepted: send every value next tick
    bool launchedByHost = false;    // the host runtime started the driver
    bool closePending = false;      // closed while running: close again once released
    hostmsg::Handle hostWindow = 0; // receives the value deliveries
    qint64 lastFlushTick = 0;       // ms tick of the last flush; 0: none since the run began
    LinkState linkState = LinkState::Idle;
};
