#include "modbusruntime.h"

#include "cmodchnl.h"
#include "cmodtag.h"
#include "devicetags.h"
#include "driverstrings.h"

EngineHost::EngineHost(QObject *parent) : QObject(parent) {}

EngineHost::~EngineHost() = default;

bool EngineHost::create(int channelCount, const RuntimeServices &services)
{
    m_engines.clear();
    if (channelCount > MaxEngines)
        return false;
    for (int i = 0; i < channelCount; ++i)
        m_engines.push_back(std::make_unique<ModbusTcpClient>(services));
    return true;
}

ModbusRuntime::ModbusRuntime(const RuntimeServices &services) : m_services(services) {}

ModbusRuntime::~ModbusRuntime()
{
    stop();
}

ModbusRuntime::StartResult ModbusRuntime::start(const std::vector<CModChnl *> &channels)
{
    const StartResult result = check(channels);
    if (result != StartResult::Started)
        return result;
    return createEngines() ? StartResult::Started : StartResult::EngineCreationFailed;
}

ModbusRuntime::StartResult ModbusRuntime::check(const std::vector<CModChnl *> &channels)
{
    stop();
    m_channels.clear();
    for (CModChnl *channel : channels)
        m_channels.push_back(std::make_unique<ChannelRuntime>(*channel, m_services));

    // A unit id is one byte on the wire: a larger id from a file would be
    // cut to another device's id. Every such device is named.
    bool badDeviceId = false;
    for (CModChnl *channel : channels) {
        for (const auto &device : channel->devices) {
            if (device->DeviceId >= 0 && device->DeviceId <= 255)
                continue;
            badDeviceId = true;
            m_services.log(QStringLiteral("Channel %1, Device %2 : Device ID %3 is outside 0 to "
                                          "255, can not run project.")
                               .arg(channel->name, device->name)
                               .arg(device->DeviceId));
        }
    }
    if (badDeviceId) {
        m_channels.clear();
        return StartResult::BadDeviceId;
    }

    // Every channel reports its own duplicates before the run is refused.
    bool duplicates = false;
    for (const auto &channel : m_channels) {
        if (channel->hasDuplicateDeviceIds())
            duplicates = true;
    }
    if (duplicates) {
        m_channels.clear();
        return StartResult::DuplicateDeviceIds;
    }

    bool hasTags = false;
    for (const auto &channel : m_channels) {
        if (channel->checkHasTags())
            hasTags = true;
    }
    if (!hasTags) {
        m_channels.clear();
        return StartResult::NoTags;
    }
    rebuildRequestIndex();

    return StartResult::Started;
}

bool ModbusRuntime::createEngines()
{
    auto host = std::make_unique<EngineHost>();
    if (!host->create(int(m_channels.size()), m_services))
        return false;
    for (size_t i = 0; i < m_channels.size(); ++i)
        m_channels[i]->setEngine(host->engine(int(i)));
    m_host = std::move(host);
    m_channelsStopped = false;
    return true;
}

void ModbusRuntime::stopChannels()
{
    if (!m_host || m_channelsStopped)
        return;
    m_channelsStopped = true;
    for (const auto &channel : m_channels)
        channel->setActive(false);
    for (const auto &channel : m_channels)
        channel->disconnectFromDevice();
}

void ModbusRuntime::stop()
{
    if (!m_host)
        return;
    stopChannels();
    for (const auto &channel : m_channels)
        channel->setEngine(nullptr);
    m_host.reset();
}

void ModbusRuntime::setActive(bool active)
{
    for (const auto &channel : m_channels)
        channel->setActive(active);
}

void ModbusRuntime::rebuildRequestIndex()
{
    m_requestIndex.clear();
    for (const auto &channel : m_channels) {
        // RTU channels never take a write.
        if (!channel->isTcp())
            continue;
        for (const auto &device : channel->devices()) {
            forEachDeviceTag(device->device(), [&](CModTag &tag) {
                if (tag.requestId != 0)
                    m_requestIndex.try_emplace(tag.requestId, RequestedTag{device.get(), &tag});
            });
        }
    }
}

bool ModbusRuntime::writeHostValue(qint32 requestId, const CModData &value)
{
    const auto found = m_requestIndex.find(requestId);
    // The index is kept by every item request; a tag whose id was taken away
    // since is not written under its old id.
    if (found == m_requestIndex.end() || requestId == 0 ||
        found->second.tag->requestId != requestId) {
        m_services.log(DriverString::text(DriverString::WriteTagNotFound),
                       EventLog::Level::Verbose);
        return false;
    }
    found->second.device->writeTag(*found->second.tag, value);
    return true;
}

void ModbusRuntime::resendValues()
{
    for (const auto &channel : m_channels)
        channel->resendValues();
}

std::vector<DiagnosticsRow> ModbusRuntime::diagnosticRows() const
{
    std::vector<DiagnosticsRow> rows;
    for (const auto &channel : m_channels)
        channel->addDiagnosticsRows(rows);
    return rows;
}

DeviceRuntime *ModbusRuntime::deviceRuntime(const CModDevice *device) const
{
    for (const auto &channel : m_channels) {
        for (const auto &runtime : channel->devices()) {
            if (&runtime->device() == device)
                return runtime.get();
        }
    }
    return nullptr;
}
