#pragma once

#include "modbusruntime.h"

#include <QObject>
#include <QTimer>

#include <memory>

class DriverState;
class EventLog;
class HostLink;
class Notifier;

// Switching a project between configuration mode and run mode: the checks
// before a run, the engines, the 50 ms run loop that paces deliveries to the
// host runtime, and the release of the engines over two ticks when a run ends
// (by the user, a stop request of the host runtime, a failed delivery or a
// close). It operates the run fields of the driver state.
class RunMode : public QObject
{
    Q_OBJECT
public:
    static constexpr int RunLoopPeriodMs = 50;
    static constexpr qint64 FlushIntervalMs = 250;
    static constexpr int RtuWarningSeconds = 10;

    RunMode(DriverState &state, EventLog &log, Notifier &notifier, HostLink &link,
            QObject *parent = nullptr);
    ~RunMode() override;

    // "Switch to Runtime": true when the project now runs.
    bool switchToRuntime();
    // "Switch to Configuration Mode": the run loop releases the engines.
    void switchToConfigurationMode();
    // The host runtime's stop request; the window closes once the engines
    // are released.
    void handleStopRequest();
    bool stopRequested() const { return m_stopRequested; }

    // Asked by the closing sequence of a user-launched driver: true when a
    // run is going on, in which case the close waits for the release and
    // closeRequested() asks again.
    bool deferCloseWhileRunning();
    // Stops and destroys the engines at once, for a close that does not wait.
    void releaseNow();

    ModbusRuntime *runtime() const { return m_runtime.get(); }

Q_SIGNALS:
    // Running or configuration mode changed: enable rules follow.
    void modeChanged();
    // The run has ended and the main window is to close (posted).
    void closeRequested();
    // The diagnostics window shows the engines' objects: it goes first.
    void diagnosticsMustClose();

private:
    bool createEngines();
    void runLoopTick();
    void stopChannels();
    void destroyEngines();
    void releaseEngines();
    bool anyRtuChannel() const;

    DriverState &m_state;
    EventLog &m_log;
    Notifier &m_notifier;
    HostLink &m_link;
    std::unique_ptr<ModbusRuntime> m_runtime;
    QTimer m_runLoop;
    bool m_stopRequested = false;
};
