#include "channelruntime.h"

#include "cmodchnl.h"
#include "driverstrings.h"

#include <algorithm>
#include <bitset>

QString DiagnosticsRow::text(int column) const
{
    if (device)
        return device->diagnosticText(column);
    if (frame)
        return frame->diagnosticText(column);
    if (channel)
        return channel->diagnosticText(column);
    return QString();
}

ChannelRuntime::ChannelRuntime(CModChnl &channel, const RuntimeServices &services)
    : m_channel(channel), m_services(services)
{
    m_dueTimer.setSingleShot(true);
    m_dueTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_dueTimer, &QTimer::timeout, &m_dueTimer, [this] { onNextTurn(); });
    m_devices.reserve(channel.devices.size());
    for (const auto &device : channel.devices)
        m_devices.push_back(std::make_unique<DeviceRuntime>(*device, channel, services));
}

ChannelRuntime::~ChannelRuntime()
{
    if (m_engine)
        m_engine->setOwner(nullptr);
}

bool ChannelRuntime::isTcp() const
{
    return m_channel.kind() == CModChnl::TcpKind;
}

QString ChannelRuntime::channelName() const
{
    return m_channel.name;
}

bool ChannelRuntime::hasDuplicateDeviceIds() const
{
    std::bitset<256> seen;
    for (const auto &device : m_devices) {
        const quint8 id = device->unitId();
        if (seen.test(id)) {
            m_services.log(
                DriverString::format(DriverString::DuplicateDeviceIdsOnChannel, {m_channel.name}));
            return true;
        }
        seen.set(id);
    }
    return false;
}

bool ChannelRuntime::checkHasTags()
{
    bool hasTags = false;
    for (const auto &device : m_devices) {
        if (device->checkHasTags())
            hasTags = true;
    }
    resetRuntime();
    return hasTags;
}

void ChannelRuntime::resetRuntime()
{
    m_abandoned = false;
    m_attemptFailed = false;
    m_connected = false;
    m_attemptCount = 0;
    m_lastFailure = 0;
    m_state = State::NotConnected;
    m_nextDevice = 0;
    m_nextTransactionId = 1;
    m_reconnectIntervalMs = qint64(m_channel.ReconnectAfter) * 1000;
    m_lastServe = RuntimeClock::now();
    for (const auto &device : m_devices)
        device->resetRuntime();
}

void ChannelRuntime::setEngine(ModbusTcpClient *engine)
{
    if (m_engine && m_engine != engine)
        m_engine->setOwner(nullptr);
    m_engine = engine;
    if (!engine) {
        for (const auto &device : m_devices)
            device->setEngine(nullptr);
        return;
    }
    engine->setOwner(this);
    engine->openTraceFile(m_channel.name);
    for (const auto &device : m_devices) {
        device->setEngine(engine);
        engine->addUnit(device->unitId(), device.get());
    }
}

// Connection

void ChannelRuntime::connectToDevice()
{
    if (!isTcp() || !m_engine)
        return;
    const auto &tcp = static_cast<const CModTCPChnl &>(m_channel);
    const auto &ip = tcp.IpAddress;
    m_services.log(
        QStringLiteral("Channel %1 : Attempting to connect : IP Address %2:%3:%4:%5, Port %6")
            .arg(m_channel.name)
            .arg(ip[0])
            .arg(ip[1])
            .arg(ip[2])
            .arg(ip[3])
            .arg(tcp.PortNumber));
    m_state = State::Connecting;
    const QString address =
        QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
    const int timeoutSeconds = std::clamp(m_channel.ConnectTimeout, 1, 1000);
    m_engine->openConnection(address, quint16(tcp.PortNumber),
                             std::chrono::seconds(timeoutSeconds));
}

void ChannelRuntime::onConnectFinished(bool success)
{
    if (m_state != State::Connecting)
        return;
    m_connected = success;
    if (success) {
        m_services.log(QStringLiteral("Channel %1, Connect success...").arg(m_channel.name));
        for (const auto &device : m_devices) {
            device->setEngine(m_engine);
            device->dropWritesQueuedBeforeConnect();
        }
        m_state = State::Connected;
        m_attemptFailed = false;
        m_attemptCount = 0;
    } else {
        m_services.log(
            QStringLiteral("Channel %1, Connection attempt Failed.").arg(m_channel.name));
        m_state = State::NotConnected;
        m_attemptFailed = true;
        m_lastFailure = RuntimeClock::now();
    }
}

void ChannelRuntime::disconnectFromDevice()
{
    m_connected = false;
    if (m_engine)
        m_engine->closeConnection();
    if (m_state == State::Connecting)
        m_state = State::NotConnected;
    m_services.log(QStringLiteral("Channel %1, disconnected.").arg(m_channel.name));
}

// Scheduling

void ChannelRuntime::onTick()
{
    if (m_abandoned || !isTcp() || !m_engine)
        return;
    const RuntimeClock::Tick now = RuntimeClock::now();

    switch (m_state) {
    case State::Polling:
        m_connected = m_engine->isConnected();
        if (m_connected) {
            for (const auto &device : m_devices)
                device->onTick();
            if (RuntimeClock::elapsed(m_lastServe, now) > ServeIntervalMs) {
                m_lastServe = now;
                serveNext();
            }
        } else {
            // A lost connection: no value read so far can be vouched for any
            // more. Start over with an immediate attempt.
            for (const auto &device : m_devices)
                device->markValuesNotCurrent();
            resetRuntime();
        }
        return;

    case State::NotConnected:
        if (m_attemptFailed) {
            if (RuntimeClock::elapsed(m_lastFailure, now) <= m_reconnectIntervalMs)
                return;
            ++m_attemptCount;
            m_attemptFailed = false;
            if (m_channel.MaxReconnectAttempts != 0 &&
                m_attemptCount >= m_channel.MaxReconnectAttempts) {
                m_abandoned = true;
                m_services.log(QStringLiteral("Reconnect will not be attempted for channel %1")
                                   .arg(m_channel.name));
                for (const auto &device : m_devices)
                    device->markValuesNotCurrent();
                return;
            }
            m_services.log(
                QStringLiteral(" Attempting Reconnect for channel %1").arg(m_channel.name));
        }
        connectToDevice();
        return;

    case State::Connecting:
        return; // the engine bounds the attempt by the connect timeout

    case State::Connected:
        if (m_connected) {
            serveNext();
            m_state = State::Polling;
        }
        return;
    }
}

void ChannelRuntime::onNextTurn()
{
    if (!m_active || !isTcp() || m_state != State::Polling || !m_engine)
        return;
    m_connected = m_engine->isConnected();
    if (m_connected) {
        m_lastServe = RuntimeClock::now();
        serveNext();
    }
}

void ChannelRuntime::serveNext()
{
    if (!m_engine || !m_engine->isSocketReady() || m_devices.empty())
        return;
    if (m_nextDevice >= m_devices.size())
        m_nextDevice = 0;
    // A device that lets its turn pass (no frame due at its scan rate) hands
    // it to the next; each device is asked at most once per serve.
    for (size_t asked = 0; asked < m_devices.size(); ++asked) {
        DeviceRuntime &device = *m_devices[m_nextDevice];
        m_nextDevice = (m_nextDevice + 1) % m_devices.size();
        if (device.isDemoted() || !device.isReady())
            return;
        if (device.takeTurn(m_nextTransactionId)) {
            advanceTransactionId();
            return;
        }
    }
    wakeWhenNextFrameDue();
}

void ChannelRuntime::wakeWhenNextFrameDue()
{
    std::optional<qint64> soonest;
    for (const auto &device : m_devices) {
        if (device->isDemoted() || !device->isReady())
            continue;
        const std::optional<qint64> wait = device->msUntilNextFrameDue();
        if (wait && (!soonest || *wait < *soonest))
            soonest = wait;
    }
    if (!soonest)
        return;
    // At least a millisecond: a frame due "now" was just found not due.
    const auto delay = std::chrono::milliseconds(std::max<qint64>(1, *soonest));
    if (!m_dueTimer.isActive() || m_dueTimer.remainingTimeAsDuration() > delay)
        m_dueTimer.start(delay);
}

void ChannelRuntime::advanceTransactionId()
{
    // 0 is never handed out, so ids run 1 to 65535 and wrap to 1.
    m_nextTransactionId = m_nextTransactionId == 0xFFFF ? 1 : quint16(m_nextTransactionId + 1);
}

// Host link

bool ChannelRuntime::writeHostValue(qint32 requestId, const CModData &value)
{
    if (!isTcp())
        return false;
    for (const auto &device : m_devices) {
        if (device->writeTag(requestId, value))
            return true;
    }
    return false;
}

void ChannelRuntime::resendValues()
{
    if (!isTcp())
        return;
    for (const auto &device : m_devices)
        device->resendValues();
}

// Diagnostics

QString ChannelRuntime::label() const
{
    return QStringLiteral("Chnl [%1]").arg(m_channel.name);
}

QString ChannelRuntime::diagnosticText(int column) const
{
    return column == 0 ? label() : QString();
}

void ChannelRuntime::addDiagnosticsRows(std::vector<DiagnosticsRow> &rows) const
{
    if (!isTcp())
        return;
    rows.push_back(DiagnosticsRow{this, nullptr, nullptr});
    for (const auto &device : m_devices) {
        rows.push_back(DiagnosticsRow{nullptr, device.get(), nullptr});
        for (const ReadFrame &frame : device->frames())
            rows.push_back(DiagnosticsRow{nullptr, nullptr, &frame});
    }
}
