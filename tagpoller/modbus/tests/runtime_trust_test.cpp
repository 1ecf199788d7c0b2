// Values the host can trust, against a real simulator: a write's exception
// never lands on the read in flight, a device whose first frame was switched
// off still reads after a reconnect, values that can no longer be vouched for
// go bad and heal, request ids belong to one tag, writes are bounded and
// checked against the tag's type, and run start refuses what cannot go on
// the wire.
#include "runtimefixture.h"
#include "valuemakers.h"

#include "hostrecords.h"
#include "itemresolver.h"

#include <algorithm>
#include <limits>

namespace {

using namespace std::chrono_literals;

class TrustTest : public RuntimeTest
{
protected:
    // Every delivery of the id so far carried `value` with good quality.
    bool onlyGood(qint32 requestId, qint64 value) const
    {
        for (const RecordingSink::Delivery &delivery : sink.deliveries) {
            if (delivery.requestId == requestId &&
                (delivery.inError || delivery.value.asInteger64() != value))
                return false;
        }
        return true;
    }

    size_t readsOf(const mbsim::Simulator &sim, std::uint16_t address, std::uint8_t unit = 1) const
    {
        size_t reads = 0;
        for (const mbsim::LoggedRequest &request : sim.requestLog())
            reads += request.unitId == unit && request.function == 3 && request.address == address;
        return reads;
    }

    // Whether the latest delivery of the id is bad, and one before it was good.
    bool wentBad(qint32 requestId) const
    {
        const auto latest = sink.latest(requestId);
        return latest && latest->inError;
    }
};

TEST_F(TrustTest, aWriteExceptionLeavesTheReadInFlightAndItsFrameAlone)
{
    mbsim::Simulator &sim = startSimulator();
    sim.setHoldingRegister(1, 0, 111);
    sim.setHoldingRegister(1, 10, 222);
    sim.setHoldingRegister(1, 20, 333);
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel);
    device.HoldingRegBlock = 2;
    addTag(device, QStringLiteral("A"), QStringLiteral("400001"), DataTypeCode::Word, 1);
    addTag(device, QStringLiteral("B"), QStringLiteral("400011"), DataTypeCode::Word, 2);
    addTag(device, QStringLiteral("W"), QStringLiteral("400021"), DataTypeCode::Word, 3);
    startRuntime();
    for (qint32 id : {1, 2, 3})
        ASSERT_TRUE(waitForValue(id));

    // The refusal comes late, so the device reads its next frame meanwhile;
    // replies leave in order, so that read's reply follows the refusal.
    mbsim::FaultRule refused;
    refused.function = 6;
    refused.start = 20;
    refused.count = 1;
    refused.exceptionCode = 4;
    refused.pause = 1500ms;
    refused.times = 1;
    sim.addFault(refused);
    ASSERT_TRUE(runtime->writeHostValue(3, wordValue(5)));
    const QString refusal =
        QStringLiteral("Channel [Chnl1], Device [Dev1] : write to Tag [W] refused by the "
                       "device, exception 4.");
    ASSERT_TRUE(waitFor([&] { return logContains(refusal); }));
    // A few rounds of every frame after the refusal.
    const size_t reads = readsOf(sim, 10);
    ASSERT_TRUE(waitFor([&] { return readsOf(sim, 10) >= reads + 3; }));

    EXPECT_TRUE(onlyGood(1, 111)) << logTexts().join(u'\n').toStdString();
    EXPECT_TRUE(onlyGood(2, 222));
    EXPECT_TRUE(onlyGood(3, 333));
    for (const ReadFrame &frame : deviceRuntime().frames())
        EXPECT_EQ(frame.errors(), 0u) << frame.label().toStdString();
    EXPECT_EQ(sim.holdingRegister(1, 20), 333);
}

TEST_F(TrustTest, afterAReconnectTheDeviceStartsAtItsFirstEnabledFrame)
{
    mbsim::Simulator &sim = startSimulator({1, 2});
    sim.setHoldingRegister(1, 20, 1);
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel, 1, QStringLiteral("Dev1"));
    device.HoldingRegBlock = 10;
    addTag(device, QStringLiteral("Bad"), QStringLiteral("400001"), DataTypeCode::Word, 1);
    addTag(device, QStringLiteral("Good"), QStringLiteral("400021"), DataTypeCode::Word, 2);
    // A second device whose only frame is refused.
    addTag(addDevice(channel, 2, QStringLiteral("Dev2")), QStringLiteral("Gone"),
           QStringLiteral("400001"), DataTypeCode::Word, 3);
    mbsim::FaultRule illegal;
    illegal.start = 0;
    illegal.count = 10;
    illegal.exceptionCode = 2;
    sim.addFault(illegal);
    startRuntime();

    ASSERT_TRUE(waitFor([&] {
        return deviceRuntime(0, 0).frames()[0].isDisabled() &&
               deviceRuntime(0, 1).frames()[0].isDisabled();
    }));
    ASSERT_TRUE(waitFor([&] { return sink.latest(2) && sink.latest(2)->value.asInteger() == 1; }));

    mbsim::FaultRule drop;
    drop.kind = mbsim::FaultKind::Drop;
    drop.start = 20;
    drop.count = 1;
    drop.times = 1;
    sim.addFault(drop);
    ASSERT_TRUE(waitFor([&] { return sim.counters().connectionsAccepted >= 2; }));
    sim.setHoldingRegister(1, 20, 2);
    EXPECT_TRUE(waitFor([&] { return sink.latest(2)->value.asInteger() == 2; }))
        << logTexts().join(u'\n').toStdString();
    EXPECT_FALSE(sink.latest(2)->inError);

    const QString allDisabled = QStringLiteral(
        "Device: Dev2; every read frame is reported as [bad address], the device is no longer "
        "read in this run.");
    EXPECT_EQ(logCount(allDisabled), 1);
    EXPECT_EQ(logCount(QStringLiteral(
                  "Device: Dev1; every read frame is reported as [bad address], the device is "
                  "no longer read in this run.")),
              0);
}

TEST_F(TrustTest, aLostConnectionMakesValuesBadUntilTheNextGoodRead)
{
    mbsim::Simulator &sim = startSimulator();
    sim.setHoldingRegister(1, 0, 1);
    CModTCPChnl &channel = addChannel(sim.port());
    addTag(addDevice(channel), QStringLiteral("T"), QStringLiteral("400001"), DataTypeCode::Word,
           1);
    startRuntime();
    ASSERT_TRUE(waitForValue(1));

    // The device goes away: its value is no longer vouched for.
    const quint16 port = sim.port();
    sim.stop();
    ASSERT_TRUE(waitFor([&] { return wentBad(1); }));
    EXPECT_EQ(sink.latest(1)->value.asInteger(), 1);

    // Back on the same port with a new value: good again, with that value.
    mbsim::Simulator &back = *simulators.emplace_back(
        std::make_unique<mbsim::Simulator>(mbsim::SimulatorConfig{.units = {1}, .port = port}));
    ASSERT_EQ(back.start(), port) << back.errorString();
    back.setHoldingRegister(1, 0, 2);
    ASSERT_TRUE(waitFor([&] { return !sink.latest(1)->inError; }));
    EXPECT_EQ(sink.latest(1)->value.asInteger(), 2);
}

TEST_F(TrustTest, aReadThatTimesOutMakesItsFrameBadUntilTheNextGoodRead)
{
    mbsim::Simulator &sim = startSimulator();
    sim.setHoldingRegister(1, 0, 7);
    CModTCPChnl &channel = addChannel(sim.port());
    addTag(addDevice(channel), QStringLiteral("T"), QStringLiteral("400001"), DataTypeCode::Word,
           1);
    startRuntime();
    ASSERT_TRUE(waitForValue(1));

    mbsim::FaultRule silent;
    silent.kind = mbsim::FaultKind::Delay;
    silent.pause = std::chrono::milliseconds(DeviceRuntime::ReplyTimeoutMs + 3000);
    silent.times = 1;
    sim.addFault(silent);
    ASSERT_TRUE(waitFor([&] { return wentBad(1); }, 30000));
    EXPECT_GE(deviceRuntime().timeouts(), 1u);
    ASSERT_TRUE(waitFor([&] { return !sink.latest(1)->inError; }, 30000));
    EXPECT_EQ(sink.latest(1)->value.asInteger(), 7);
}

TEST_F(TrustTest, anAbandonedChannelMakesItsValuesBad)
{
    mbsim::Simulator &sim = startSimulator();
    sim.setHoldingRegister(1, 0, 7);
    CModTCPChnl &channel = addChannel(sim.port());
    channel.MaxReconnectAttempts = 1;
    addTag(addDevice(channel), QStringLiteral("T"), QStringLiteral("400001"), DataTypeCode::Word,
           1);
    startRuntime();
    ASSERT_TRUE(waitForValue(1));
    sim.stop();
    ASSERT_TRUE(waitFor([&] { return channelRuntime().isAbandoned(); }));
    EXPECT_TRUE(sink.latest(1)->inError);
}

TEST_F(TrustTest, aReusedRequestIdIsTakenFromItsFormerTagAndWritesLandOnTheNewOne)
{
    mbsim::Simulator &sim = startSimulator();
    sim.setHoldingRegister(1, 0, 10);
    sim.setHoldingRegister(1, 1, 20);
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel);
    CModTag &first = addTag(device, QStringLiteral("First"), QStringLiteral("400001"));
    CModTag &second = addTag(device, QStringLiteral("Second"), QStringLiteral("400002"));
    startRuntime();

    const auto request = [&](qint32 id, const QString &name) {
        CAryReqTags items;
        items.items.push_back(std::make_shared<CReqTag>(id, name));
        ItemResolver::resolveItems(channels, items, &log);
        runtime->rebuildRequestIndex();
    };
    request(7, QStringLiteral("Chnl1.Dev1.First"));
    request(7, QStringLiteral("Chnl1.Dev1.Second"));
    EXPECT_EQ(first.requestId, 0);
    EXPECT_EQ(second.requestId, 7);

    ASSERT_TRUE(waitFor([&] { return sink.count(7) >= 1; }));
    ASSERT_TRUE(runtime->writeHostValue(7, wordValue(99)));
    ASSERT_TRUE(waitFor([&] { return sim.holdingRegister(1, 1) == 99; }));
    ASSERT_TRUE(waitFor([&] { return sink.latest(7)->value.asInteger() == 99; }));
    EXPECT_EQ(sim.holdingRegister(1, 0), 10);
    // Everything delivered under 7 is the second tag's.
    for (const RecordingSink::Delivery &delivery : sink.deliveries) {
        if (delivery.requestId == 7) {
            EXPECT_NE(delivery.value.asInteger(), 10);
        }
    }
    const std::vector<mbsim::LoggedRequest> writes = sim.writeLog();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].address, 1);
}

TEST_F(TrustTest, valuesTheTagCannotHoldAreRefusedAndNamed)
{
    mbsim::Simulator &sim = startSimulator();
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel);
    addTag(device, QStringLiteral("Level"), QStringLiteral("400001"), DataTypeCode::Word, 1);
    addTag(device, QStringLiteral("Count"), QStringLiteral("400003"), DataTypeCode::Long, 2);
    addTag(device, QStringLiteral("Total"), QStringLiteral("400005"), DataTypeCode::DWord, 3);
    addTag(device, QStringLiteral("Last"), QStringLiteral("400010"), DataTypeCode::Word, 4);
    startRuntime();
    ASSERT_TRUE(waitForValue(4));

    runtime->writeHostValue(1, longValue(70000));
    runtime->writeHostValue(2, doubleValue(std::numeric_limits<double>::quiet_NaN()));
    runtime->writeHostValue(2, doubleValue(1e12));
    runtime->writeHostValue(3, longValue(-1));
    ASSERT_TRUE(runtime->writeHostValue(4, wordValue(4)));
    ASSERT_TRUE(waitFor([&] { return sim.holdingRegister(1, 9) == 4; }));
    ASSERT_TRUE(waitFor([&] { return sink.latest(4)->value.asInteger() == 4; }));

    const std::vector<mbsim::LoggedRequest> writes = sim.writeLog();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].address, 9);
    const QString prefix = QStringLiteral("Channel [Chnl1], Device [Dev1] : ");
    const QString suffix = QStringLiteral(", write request refused...");
    EXPECT_TRUE(
        logContains(prefix + QStringLiteral("Tag [Level] can not hold the value 70000") + suffix));
    EXPECT_TRUE(
        logContains(prefix + QStringLiteral("Tag [Count] can not hold the value nan") + suffix));
    EXPECT_TRUE(logContains(
        prefix + QStringLiteral("Tag [Count] can not hold the value 1000000000000") + suffix));
    EXPECT_TRUE(
        logContains(prefix + QStringLiteral("Tag [Total] can not hold the value -1") + suffix));
}

TEST_F(TrustTest, theWriteQueueIsBoundedAndWritesFromBeforeAReconnectAreNotReplayed)
{
    mbsim::Simulator &sim = startSimulator();
    CModTCPChnl &channel = addChannel(sim.port());
    channel.WriteOptimization = 0; // every write an entry of its own
    CModTCPDev &device = addDevice(channel);
    addTag(device, QStringLiteral("Setpoint"), QStringLiteral("400001"), DataTypeCode::Word, 1);
    startRuntime();
    ASSERT_TRUE(waitForValue(1));

    const quint16 port = sim.port();
    sim.stop();
    ASSERT_TRUE(waitFor([&] { return !channelRuntime().isConnected(); }));
    for (size_t i = 0; i < DeviceRuntime::MaxQueuedWrites + 5; ++i)
        runtime->writeHostValue(1, wordValue(quint16(i % 1000)));
    EXPECT_EQ(deviceRuntime().writeQueue().size(), DeviceRuntime::MaxQueuedWrites);
    EXPECT_EQ(logCount(QStringLiteral("Channel [Chnl1], Device [Dev1] : 1000 writes are waiting, "
                                      "Tag [Setpoint] write request refused...")),
              5);

    mbsim::Simulator &back = *simulators.emplace_back(
        std::make_unique<mbsim::Simulator>(mbsim::SimulatorConfig{.units = {1}, .port = port}));
    ASSERT_EQ(back.start(), port) << back.errorString();
    ASSERT_TRUE(waitFor([&] { return !sink.latest(1)->inError; }));
    EXPECT_TRUE(logContains(QStringLiteral(
        "Channel [Chnl1], Device [Dev1] : 1000 write requests queued before the connection was "
        "made were dropped, not sent...")));
    // A write after the reconnect goes out, alone.
    ASSERT_TRUE(runtime->writeHostValue(1, wordValue(4321)));
    ASSERT_TRUE(waitFor([&] { return back.holdingRegister(1, 0) == 4321; }));
    EXPECT_EQ(back.writeLog().size(), 1u);
}

TEST_F(TrustTest, aTagRunningPastItsAddressSpaceIsNamedAndNotRead)
{
    mbsim::Simulator &sim = startSimulator();
    sim.setHoldingRegister(1, 0, 3);
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel);
    device.ZeroBasedAddr = false;
    addTag(device, QStringLiteral("Edge"), QStringLiteral("465535"), DataTypeCode::Float, 1);
    addTag(device, QStringLiteral("Last"), QStringLiteral("465534"), DataTypeCode::Word, 2);
    addTag(device, QStringLiteral("First"), QStringLiteral("400000"), DataTypeCode::Word, 3);
    startRuntime();
    ASSERT_TRUE(waitForValue(3));
    ASSERT_TRUE(waitForValue(2));

    EXPECT_TRUE(logContains(QStringLiteral("Device: Dev1; Tag [Edge] at address 465535 runs past "
                                           "the end of its address space, it will not be read.")));
    // Every frame stays inside the space, so nothing made the channel reconnect.
    for (const ReadFrame &frame : deviceRuntime().frames())
        EXPECT_LE(frame.plan().start + frame.plan().count - 1, 465535);
    EXPECT_EQ(sim.counters().connectionsAccepted, 1u);
    EXPECT_FALSE(sink.latest(1));
}

TEST_F(TrustTest, aDeviceIdOutsideAByteIsNamedAndTheRunRefused)
{
    mbsim::Simulator &sim = startSimulator();
    CModTCPChnl &channel = addChannel(sim.port());
    addTag(addDevice(channel, 1, QStringLiteral("Fine")), QStringLiteral("T"),
           QStringLiteral("400001"));
    addTag(addDevice(channel, 257, QStringLiteral("Wide")), QStringLiteral("T"),
           QStringLiteral("400001"));
    runtime = std::make_unique<ModbusRuntime>(services());
    std::vector<CModChnl *> list{channels[0].get()};
    EXPECT_EQ(runtime->start(list), ModbusRuntime::StartResult::BadDeviceId);
    EXPECT_FALSE(runtime->isRunning());
    EXPECT_TRUE(logContains(QStringLiteral(
        "Channel Chnl1, Device Wide : Device ID 257 is outside 0 to 255, can not run project.")));
    // 257 would have been cut to 1, a duplicate nobody configured.
    EXPECT_FALSE(logContains(QStringLiteral("Duplicate Device IDs found for Channel Chnl1.")));
}

} // namespace
