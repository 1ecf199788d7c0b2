#pragma once

#include "channelruntime.h"
#include "cmodchnl.h"
#include "datatypes.h"
#include "eventlog.h"
#include "modbusruntime.h"
#include "runtimeservices.h"
#include "simulator.h"
#include "tagaddress.h"
#include "tagvaluesink.h"
#include "testenvironment.h"

#include <QEventLoop>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

// What the host link would have received: every hand-over in order.
class RecordingSink : public TagValueSink
{
public:
    struct Delivery
    {
        qint32 requestId = 0;
        CModData value;
        bool inError = false;
    };

    void queueTagValue(qint32 requestId, const CModData &value, bool inError) override
    {
        deliveries.push_back({requestId, value, inError});
    }

    std::optional<Delivery> latest(qint32 requestId) const
    {
        for (auto it = deliveries.rbegin(); it != deliveries.rend(); ++it) {
            if (it->requestId == requestId)
                return *it;
        }
        return std::nullopt;
    }

    int count(qint32 requestId) const
    {
        int n = 0;
        for (const Delivery &delivery : deliveries)
            n += delivery.requestId == requestId;
        return n;
    }

    std::vector<Delivery> deliveries;
};

// A project of TCP channels against simulators on loopback, run by the real
// runtime on real sockets. Waits are bounded generously and assert outcomes,
// never durations.
class RuntimeTest : public ::testing::Test
{
protected:
    static constexpr int WaitMs = 20000;

    RuntimeTest()
        : settings(testsupport::tempRoot() + QStringLiteral("/runtime.ini"), QSettings::IniFormat)
        , log(EventLog::Config{EventLog::VerboseEventMessageLevel, QString()})
    {
        settings.setValue(QStringLiteral("MsgsToKeep"), EventLog::MaximumMessagesToKeep);
        log.open(settings);
    }

    ~RuntimeTest() override
    {
        if (runtime)
            runtime->stop();
    }

    // A simulator with the unit ids given, started on a free loopback port.
    mbsim::Simulator &startSimulator(std::vector<std::uint8_t> units = {1})
    {
        simulators.push_back(
            std::make_unique<mbsim::Simulator>(mbsim::SimulatorConfig{.units = std::move(units)}));
        mbsim::Simulator &sim = *simulators.back();
        EXPECT_NE(sim.start(), 0) << sim.errorString();
        return sim;
    }

    CModTCPChnl &addChannel(quint16 port, const QString &name = QStringLiteral("Chnl1"))
    {
        auto channel = std::make_shared<CModTCPChnl>();
        channel->name = name;
        channel->IpAddress = {127, 0, 0, 1};
        channel->PortNumber = port;
        channel->ReconnectAfter = 1;
        channel->ConnectTimeout = 3;
        channel->MaxReconnectAttempts = 0;
        channels.push_back(channel);
        return *channel;
    }

    CModTCPDev &addDevice(CModChnl &channel, int deviceId = 1,
                          const QString &name = QStringLiteral("Dev1"))
    {
        auto device = std::make_shared<CModTCPDev>();
        device->name = name;
        device->DeviceId = deviceId;
        CModTCPDev &added = *device;
        channel.devices.push_back(std::move(device));
        return added;
    }

    // A tag requested by the host under `requestId` (0: not requested).
    CModTag &addTag(CModDevice &device, const QString &name, const QString &address,
                    int dataType = DataTypeCode::Word, qint32 requestId = 0,
                    int access = ClientAccessCode::ReadWrite)
    {
        auto tag = std::make_shared<CModTag>();
        tag->TagName = name;
        tag->TagAddress = address;
        tag->AddressNumber = AddressText::leadingNumber(address);
        tag->DataType = dataType;
        tag->ClientAccess = access;
        tag->requestId = requestId;
        CModTag &added = *tag;
        device.tags.append(std::move(tag));
        return added;
    }

    RuntimeServices services()
    {
        RuntimeServices result;
        result.eventLog = &log;
        result.valueSink = &sink;
        result.projectFolder = testsupport::tempRoot();
        result.honourScanRates = honourScanRates;
        return result;
    }

    // Starts the run and lets the channels communicate.
    void startRuntime()
    {
        runtime = std::make_unique<ModbusRuntime>(services());
        std::vector<CModChnl *> list;
        for (const auto &channel : channels)
            list.push_back(channel.get());
        ASSERT_EQ(runtime->start(list), ModbusRuntime::StartResult::Started);
        runtime->setActive(true);
    }

    ChannelRuntime &channelRuntime(int index = 0) { return *runtime->channels()[size_t(index)]; }
    DeviceRuntime &deviceRuntime(int channel = 0, int device = 0)
    {
        return *channelRuntime(channel).devices()[size_t(device)];
    }

    // Runs the event loop until `predicate` holds. Unlike QTest::qWaitFor,
    // which sleeps between rounds of events, the loop wakes for every socket
    // event, so the runtime polls here at the pace it has in the product.
    template<class Predicate> bool waitFor(Predicate predicate, int timeoutMs = WaitMs)
    {
        if (predicate())
            return true;
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (predicate())
                loop.quit();
        });
        check.start(10);
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
        return predicate();
    }

    // Waits until the tag has handed over a value, and returns the latest.
    std::optional<RecordingSink::Delivery> waitForValue(qint32 requestId)
    {
        waitFor([&] { return sink.latest(requestId).has_value(); });
        return sink.latest(requestId);
    }

    int logCount(const QString &text) const
    {
        int n = 0;
        for (int row = 0; row < log.count(); ++row)
            n += log.message(row).text() == text;
        return n;
    }

    bool logContains(const QString &text) const { return logCount(text) > 0; }

    QStringList logTexts() const
    {
        QStringList texts;
        for (int row = 0; row < log.count(); ++row)
            texts << log.message(row).text();
        return texts;
    }

    bool honourScanRates = false; // the driver setting "HonourScanRates"
    QSettings settings;
    EventLog log;
    RecordingSink sink;
    std::vector<std::unique_ptr<mbsim::Simulator>> simulators;
    std::vector<std::shared_ptr<CModChnl>> channels;
    std::unique_ptr<ModbusRuntime> runtime;
};
