#pragma once

#include "channelruntime.h"
#include "modbustcpclient.h"
#include "runtimeservices.h"

#include <QObject>

#include <memory>
#include <unordered_map>
#include <vector>

class CModChnl;
class CModData;
class CModTag;

// The hidden host of the channel engines: one engine per channel, in channel
// order, at most ten. Destroying the host destroys its engines.
class EngineHost : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxEngines = 10;

    explicit EngineHost(QObject *parent = nullptr);
    ~EngineHost() override;

    // False, with no engine made, for more than MaxEngines channels.
    bool create(int channelCount, const RuntimeServices &services);
    ModbusTcpClient *engine(int index) const { return m_engines[size_t(index)].get(); }
    int engineCount() const { return int(m_engines.size()); }

private:
    std::vector<std::unique_ptr<ModbusTcpClient>> m_engines;
};

// The Modbus side of a run: the runtime of every channel of the project and
// the engines they drive. The run mode starts it, marks it active (at once, or
// once the host asked for something), routes host writes and full refreshes
// into it, and stops it.
class ModbusRuntime
{
public:
    enum class StartResult {
        Started,
        BadDeviceId,         // a device id outside 0 to 255, named in the log
        DuplicateDeviceIds,  // some channel logged its duplicate
        NoTags,              // no channel has a tag
        EngineCreationFailed // more channels than engines
    };

    explicit ModbusRuntime(const RuntimeServices &services);
    ~ModbusRuntime();
    ModbusRuntime(const ModbusRuntime &) = delete;
    ModbusRuntime &operator=(const ModbusRuntime &) = delete;

    // Checks the channels in the run-start order (duplicate ids, then tags,
    // planning every device on the way). Started means ready for the engines.
    StartResult check(const std::vector<CModChnl *> &channels);
    // Creates one engine per checked channel and binds it. False, with no
    // engine made, for more channels than engines.
    bool createEngines();
    // Both in one go. Nothing communicates until setActive(true).
    StartResult start(const std::vector<CModChnl *> &channels);
    // Marks every channel inactive and closes its connection; the engines stay.
    void stopChannels();
    // stopChannels(), then destroys the engines.
    void stop();
    bool isRunning() const { return m_host != nullptr; }

    void setActive(bool active);
    // A host write, to the tag that holds the request id (found through the
    // index, not by a search of the tree); false when no tag holds it.
    bool writeHostValue(qint32 requestId, const CModData &value);
    // After request ids were given to tags: the index of tags by id anew.
    void rebuildRequestIndex();
    void resendValues();

    const std::vector<std::unique_ptr<ChannelRuntime>> &channels() const { return m_channels; }
    // The run-time side of a device of the project; null when not running.
    DeviceRuntime *deviceRuntime(const CModDevice *device) const;
    std::vector<DiagnosticsRow> diagnosticRows() const;

private:
    struct RequestedTag
    {
        DeviceRuntime *device = nullptr;
        CModTag *tag = nullptr;
    };

    RuntimeServices m_services;
    std::vector<std::unique_ptr<ChannelRuntime>> m_channels;
    std::unordered_map<qint32, RequestedTag> m_requestIndex;
    std::unique_ptr<EngineHost> m_host;
    bool m_channelsStopped = false;
};
