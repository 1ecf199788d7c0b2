#pragma once

#include "deviceruntime.h"
#include "modbustcpclient.h"
#include "runtimeclock.h"
#include "runtimeservices.h"

#include <QTimer>

#include <memory>
#include <vector>

class CModChnl;
class CModData;
class ReadFrame;
class ChannelRuntime;

// One row of the diagnostics window: a channel, a device or a frame.
struct DiagnosticsRow
{
    const ChannelRuntime *channel = nullptr;
    const DeviceRuntime *device = nullptr;
    const ReadFrame *frame = nullptr;

    QString text(int column) const;
};

// A channel during a run: the scheduler of one TCP connection. It connects
// its engine to the configured address, reconnects after losses with a pause
// and an attempt limit, serves its devices in turn with transaction ids 1 to
// 65535, and passes host writes and full refreshes on to its devices. RTU
// channels are configured but never communicate.
class ChannelRuntime : public EngineOwner
{
public:
    enum class State {
        NotConnected = 0,
        Connecting = 1, // an attempt is under way; the engine reports its end
        Connected = 2,
        Polling = 3,
    };

    // Between two serves from the timer.
    static constexpr qint64 ServeIntervalMs = 100;

    ChannelRuntime(CModChnl &channel, const RuntimeServices &services);
    ~ChannelRuntime() override;

    CModChnl &channel() const { return m_channel; }
    bool isTcp() const;
    std::vector<std::unique_ptr<DeviceRuntime>> &devices() { return m_devices; }
    const std::vector<std::unique_ptr<DeviceRuntime>> &devices() const { return m_devices; }

    // Logs "Duplicate Device IDs found for Channel %s." at the first pair.
    bool hasDuplicateDeviceIds() const;
    // Plans every device (each reports its own lack of tags), then resets.
    bool checkHasTags();
    void resetRuntime();

    // Binds the engine: owner, error file, devices and their unit ids.
    void setEngine(ModbusTcpClient *engine);
    ModbusTcpClient *engine() const { return m_engine; }

    void setActive(bool active) { m_active = active; }
    bool isActive() const override { return m_active; }
    QString channelName() const override;

    // One connection attempt; its end arrives in onConnectFinished().
    void connectToDevice();
    // The channel's stop: closes the connection.
    void disconnectFromDevice();
    void serveNext();

    void onTick() override;
    void onNextTurn() override;
    void onConnectFinished(bool success) override;

    // Offers a host write to each device in order; true at the first that takes it.
    bool writeHostValue(qint32 requestId, const CModData &value);
    void resendValues();

    // "Chnl [%s]"
    QString label() const;
    QString diagnosticText(int column) const;
    void addDiagnosticsRows(std::vector<DiagnosticsRow> &rows) const;

    State state() const { return m_state; }
    bool isConnected() const { return m_connected; }
    bool isAbandoned() const { return m_abandoned; }
    int attemptCount() const { return m_attemptCount; }
    quint16 nextTransactionId() const { return m_nextTransactionId; }

private:
    void advanceTransactionId();
    // Scan rates honoured and no device took its turn: the channel wakes
    // when the soonest frame is due instead of waiting for a tick.
    void wakeWhenNextFrameDue();

    CModChnl &m_channel;
    RuntimeServices m_services;
    ModbusTcpClient *m_engine = nullptr;
    std::vector<std::unique_ptr<DeviceRuntime>> m_devices;

    bool m_active = false;
    State m_state = State::NotConnected;
    bool m_connected = false;
    bool m_attemptFailed = false;
    bool m_abandoned = false;
    int m_attemptCount = 0;
    qint64 m_reconnectIntervalMs = 0;
    RuntimeClock::Tick m_lastServe = 0;
    RuntimeClock::Tick m_lastFailure = 0;
    size_t m_nextDevice = 0;
    quint16 m_nextTransactionId = 1;
    QTimer m_dueTimer;
};
