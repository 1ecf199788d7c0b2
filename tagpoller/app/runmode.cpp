#include "runmode.h"

#include "cmodchnl.h"
#include "driverstate.h"
#include "driverstrings.h"
#include "eventlog.h"
#include "hostlink.h"
#include "notifier.h"
#include "runtimeclock.h"

#include <QFileInfo>

RunMode::RunMode(DriverState &state, EventLog &log, Notifier &notifier, HostLink &link,
                 QObject *parent)
    : QObject(parent), m_state(state), m_log(log), m_notifier(notifier), m_link(link)
{
    m_runLoop.setInterval(RunLoopPeriodMs);
    connect(&m_runLoop, &QTimer::timeout, this, &RunMode::runLoopTick);
}

RunMode::~RunMode()
{
    // Engines and their timers must never outlive the project they poll.
    releaseNow();
}

bool RunMode::anyRtuChannel() const
{
    for (const auto &channel : m_state.project.channels()) {
        if (channel->kind() == CModChnl::RtuKind)
            return true;
    }
    return false;
}

bool RunMode::switchToRuntime()
{
    if (m_state.running || m_runtime)
        return false;
    if (m_state.project.isModified()) {
        m_notifier.showMessage(DriverString::text(DriverString::SaveBeforeRunning),
                               Notifier::Icon::Stop);
        return false;
    }

    RuntimeServices services;
    services.eventLog = &m_log;
    services.valueSink = &m_link;
    services.notifier = &m_notifier;
    const QString path = m_state.project.path();
    services.projectFolder = path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
    services.generateFrameDetails = m_state.settings.generateFrameDetails;
    services.honourScanRates = m_state.settings.honourScanRates;
    services.generateErrorFiles = m_state.settings.generateErrorFiles;
    services.errorFileMinutes = m_state.settings.errorFileDurationMinutes;

    std::vector<CModChnl *> channels;
    for (const auto &channel : m_state.project.channels())
        channels.push_back(channel.get());

    auto runtime = std::make_unique<ModbusRuntime>(services);
    switch (runtime->check(channels)) {
    case ModbusRuntime::StartResult::BadDeviceId: // each device is named in the log
        return false;
    case ModbusRuntime::StartResult::DuplicateDeviceIds:
        m_log.addMessage(DriverString::text(DriverString::DuplicateDeviceIdsCannotRun));
        return false;
    case ModbusRuntime::StartResult::NoTags:
        m_log.addMessage(DriverString::text(DriverString::NoTagsDefined));
        return false;
    case ModbusRuntime::StartResult::EngineCreationFailed:
    case ModbusRuntime::StartResult::Started:
        break;
    }

    if (!m_state.launchedByHost && anyRtuChannel()) {
        const QString warning = DriverString::text(DriverString::RtuChannelsFound);
        m_log.addMessage(warning);
        m_notifier.showTimedMessage(warning, RtuWarningSeconds);
    }
    m_runtime = std::move(runtime);
    return createEngines();
}

bool RunMode::createEngines()
{
    m_state.running = false;
    m_state.configurationMode = false;
    m_log.addMessage(DriverString::text(DriverString::SwitchingToRunMode));

    if (!m_runtime->createEngines()) {
        // Neither mode: nothing runs, nothing can be edited until New.
        m_runtime.reset();
        m_notifier.showMessage(QStringLiteral("Failed to create Controls"), Notifier::Icon::None);
        Q_EMIT modeChanged();
        return false;
    }
    m_link.setRuntime(m_runtime.get());
    m_runLoop.start();
    m_state.running = true;
    m_state.refreshAll = false;
    if (!m_state.launchedByHost) {
        m_runtime->setActive(true);
        m_state.linkState = LinkState::Delivering;
    }
    Q_EMIT modeChanged();
    return true;
}

void RunMode::runLoopTick()
{
    if (!m_state.running)
        return;
    switch (m_state.linkState) {
    case LinkState::Delivering: {
        if (!m_state.launchedByHost)
            return;
        const qint64 now = RuntimeClock::now();
        if (m_state.lastFlushTick == 0) {
            m_state.lastFlushTick = now;
            if (anyRtuChannel())
                m_log.addMessage(DriverString::text(DriverString::RtuChannelsFound));
            return;
        }
        if (m_state.refreshAll) {
            m_link.sendAllTagValues();
            m_state.lastFlushTick = now;
            m_state.refreshAll = false;
            return;
        }
        if (RuntimeClock::elapsed(m_state.lastFlushTick, now) > FlushIntervalMs) {
            m_state.lastFlushTick = now;
            m_link.flushTagValues();
        }
        return;
    }
    case LinkState::Stopping:
        stopChannels();
        m_state.linkState = LinkState::Releasing;
        return;
    case LinkState::Releasing:
        releaseEngines();
        return;
    case LinkState::Idle:
        return;
    }
}

void RunMode::stopChannels()
{
    if (m_runtime)
        m_runtime->stopChannels();
}

void RunMode::destroyEngines()
{
    Q_EMIT diagnosticsMustClose();
    m_runLoop.stop();
    m_link.setRuntime(nullptr);
    if (m_runtime) {
        m_runtime->stop();
        m_runtime.reset();
    }
    m_link.discardPending();
    m_state.lastFlushTick = 0;
    m_state.linkState = LinkState::Idle;
}

void RunMode::releaseEngines()
{
    destroyEngines();
    if (m_state.launchedByHost || m_state.closePending)
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT closeRequested(); }, Qt::QueuedConnection);
    else
        m_state.configurationMode = true;
    m_state.running = false;
    Q_EMIT modeChanged();
}

void RunMode::releaseNow()
{
    if (!m_runtime && !m_state.running)
        return;
    destroyEngines();
    m_state.running = false;
    Q_EMIT modeChanged();
}

void RunMode::switchToConfigurationMode()
{
    if (!m_state.running)
        return;
    Q_EMIT diagnosticsMustClose();
    m_state.refreshAll = false;
    m_state.hostWindow = 0;
    m_log.addMessage(DriverString::text(DriverString::SwitchingToConfigMode));
    m_state.linkState = LinkState::Stopping;
}

void RunMode::handleStopRequest()
{
    if (!m_state.launchedByHost)
        return;
    m_log.addMessage(DriverString::text(DriverString::StopRequestFromParent));
    m_stopRequested = true;
    m_state.hostWindow = 0;
    m_state.linkState = LinkState::Stopping;
}

bool RunMode::deferCloseWhileRunning()
{
    if (!m_state.running)
        return false;
    m_state.linkState = LinkState::Stopping;
    m_state.closePending = true;
    return true;
}
