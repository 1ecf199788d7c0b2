// The device scan cycle against a real simulator: exceptions, the frame that
// reports illegal addresses, demotion and its end, the diagnostics counters,
// and the checks that refuse to start a run.
#include "runtimefixture.h"

namespace {

class DeviceCycleTest : public RuntimeTest
{
protected:
    static std::size_t readsOf(const mbsim::Simulator &sim, std::uint16_t address)
    {
        std::size_t reads = 0;
        for (const mbsim::LoggedRequest &request : sim.requestLog())
            reads += request.function == 3 && request.address == address;
        return reads;
    }
};

TEST_F(DeviceCycleTest, fourthIllegalAddressReplyDisablesTheFrameAndOthersGoOn)
{
    mbsim::Simulator &sim = startSimulator();
    sim.setHoldingRegister(1, 20, 77);
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel);
    device.HoldingRegBlock = 10;
    addTag(device, QStringLiteral("Bad"), QStringLiteral("400001"), DataTypeCode::Word, 1);
    addTag(device, QStringLiteral("Good"), QStringLiteral("400021"), DataTypeCode::Word, 2);
    mbsim::FaultRule illegal;
    illegal.start = 0;
    illegal.count = 10;
    illegal.exceptionCode = 2;
    sim.addFault(illegal);
    startRuntime();

    const ReadFrame &bad = deviceRuntime().frames()[0];
    ASSERT_TRUE(waitFor([&] { return bad.isDisabled(); }));
    const QString badAddress = QStringLiteral(
        "Device: Dev1; Some address in the range [400000 to 400009] is reported as [bad "
        "address], no attempt to read tags with these addresses will be made now.");
    EXPECT_EQ(logCount(badAddress), 1);
    EXPECT_EQ(bad.errors(), 4u);
    EXPECT_EQ(bad.lastExceptionCode(), 2);
    EXPECT_EQ(bad.diagnosticText(12), QStringLiteral("Yes"));

    // The tag of the bad frame went bad once; the other frame keeps reading.
    const auto badValue = sink.latest(1);
    ASSERT_TRUE(badValue);
    EXPECT_TRUE(badValue->inError);
    EXPECT_EQ(sink.count(1), 1);
    const std::size_t goodReads = readsOf(sim, 20);
    ASSERT_TRUE(waitFor([&] { return readsOf(sim, 20) >= goodReads + 20; }));
    EXPECT_EQ(readsOf(sim, 0), 4u);
    EXPECT_EQ(sink.latest(2)->value.asInteger(), 77);
}

TEST_F(DeviceCycleTest, otherExceptionsMarkTagsBadWithoutDisablingAndGoodReadsHeal)
{
    mbsim::Simulator &sim = startSimulator();
    sim.setHoldingRegister(1, 0, 5);
    CModTCPChnl &channel = addChannel(sim.port());
    addTag(addDevice(channel), QStringLiteral("T"), QStringLiteral("400001"), DataTypeCode::Word,
           1);
    mbsim::FaultRule failure;
    failure.exceptionCode = 4;
    failure.times = 6;
    sim.addFault(failure);
    startRuntime();

    // Bad first (kept value, error flag), then the same value again, but good.
    ASSERT_TRUE(waitFor([&] { return sink.count(1) >= 2; }));
    EXPECT_TRUE(sink.deliveries[0].inError);
    EXPECT_FALSE(sink.deliveries[1].inError);
    EXPECT_EQ(sink.deliveries[1].value.asInteger(), 5);
    EXPECT_FALSE(deviceRuntime().frames()[0].isDisabled());
    EXPECT_TRUE(logContains(QStringLiteral("Tag: T, entered Error State.")));
    EXPECT_TRUE(logContains(QStringLiteral("Tag: T, left Error State.")));
}

TEST_F(DeviceCycleTest, demotedAfterOneFailureMoreThanAllowedAndResumesAfterThePeriod)
{
    mbsim::Simulator &sim = startSimulator();
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel);
    device.AutoDemote = true;
    device.DemoteAfter = 2;
    device.DemoteFor = 1500;
    addTag(device, QStringLiteral("T"), QStringLiteral("400001"), DataTypeCode::Word, 1);
    // Busy replies keep the device on the same frame and spare the tags.
    mbsim::FaultRule busy;
    busy.exceptionCode = 6;
    sim.addFault(busy);
    startRuntime();

    const QString demoted =
        QStringLiteral("Channel [Chnl1], Device [Dev1] : Demoted for 1500 milliseconds...");
    ASSERT_TRUE(waitFor([&] { return logContains(demoted); }));
    EXPECT_EQ(sim.counters().requestsReceived, 3u);
    EXPECT_TRUE(deviceRuntime().isDemoted());
    EXPECT_TRUE(
        logContains(QStringLiteral("Channel [Chnl1], Device [Dev1] : Failed request 2 ...")));

    // Nothing goes to a demoted device until the period ends.
    sim.clearFaults();
    sim.setHoldingRegister(1, 0, 9);
    QTest::qWait(700);
    EXPECT_EQ(sim.counters().requestsReceived, 3u);
    const QString resumed =
        QStringLiteral("Channel [Chnl1], Device [Dev1] : Resuming from demotion period...");
    ASSERT_TRUE(waitFor([&] { return logContains(resumed); }));
    const auto value = waitForValue(1);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->value.asInteger(), 9);
    EXPECT_FALSE(value->inError);
    EXPECT_EQ(sink.count(1), 1); // busy replies never put the tag in error
}

TEST_F(DeviceCycleTest, writesWhileDemotedAreDiscardedWhenSoConfigured)
{
    mbsim::Simulator &sim = startSimulator();
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel);
    device.AutoDemote = true;
    device.DemoteAfter = 1;
    device.DemoteFor = 60000;
    device.DiscardWritesWhileDemoted = true;
    addTag(device, QStringLiteral("T"), QStringLiteral("400001"), DataTypeCode::Word, 1);
    mbsim::FaultRule failure;
    failure.exceptionCode = 4;
    sim.addFault(failure);
    startRuntime();
    ASSERT_TRUE(waitFor([&] { return deviceRuntime().isDemoted(); }));

    CModData value;
    value.setWord(3);
    EXPECT_TRUE(runtime->writeHostValue(1, value));
    EXPECT_TRUE(logContains(QStringLiteral(
        "Channel [Chnl1], Device [Dev1] : demoted, Tag [T] write request ignored...")));
    EXPECT_TRUE(deviceRuntime().writeQueue().empty());
}

TEST_F(DeviceCycleTest, diagnosticsRowsFollowChannelsDevicesAndFrames)
{
    mbsim::Simulator &sim = startSimulator({1, 2});
    CModTCPChnl &channel = addChannel(sim.port());
    for (int id : {1, 2}) {
        CModTCPDev &device = addDevice(channel, id, QStringLiteral("Dev%1").arg(id));
        device.HoldingRegBlock = 1;
        for (int address : {1, 3, 5})
            addTag(device, QStringLiteral("T%1").arg(address),
                   QStringLiteral("40000%1").arg(address));
    }
    // RTU channels get no rows.
    auto rtu = std::make_shared<CModRTUChnl>();
    rtu->name = QStringLiteral("Serial");
    channels.push_back(rtu);
    startRuntime();

    const std::vector<DiagnosticsRow> rows = runtime->diagnosticRows();
    QStringList names;
    for (const DiagnosticsRow &row : rows)
        names << row.text(0);
    EXPECT_EQ(names, QStringList({
                         QStringLiteral("Chnl [Chnl1]"),
                         QStringLiteral("Devc [Dev1]"),
                         QStringLiteral("Frm: 0 Addr: [400000 to 400000]"),
                         QStringLiteral("Frm: 1 Addr: [400002 to 400002]"),
                         QStringLiteral("Frm: 2 Addr: [400004 to 400004]"),
                         QStringLiteral("Devc [Dev2]"),
                         QStringLiteral("Frm: 0 Addr: [400000 to 400000]"),
                         QStringLiteral("Frm: 1 Addr: [400002 to 400002]"),
                         QStringLiteral("Frm: 2 Addr: [400004 to 400004]"),
                     }));
    ASSERT_TRUE(waitFor([&] { return deviceRuntime(0, 1).frames()[2].readsOk() > 0; }));
    // A device row fills columns 0 to 4, a frame row 0 and 5 to 12.
    for (int column = 5; column <= 12; ++column)
        EXPECT_TRUE(rows[1].text(column).isEmpty()) << column;
    for (int column = 1; column <= 4; ++column)
        EXPECT_TRUE(rows[2].text(column).isEmpty()) << column;
    EXPECT_NE(rows[2].text(9), QStringLiteral("0"));
    EXPECT_EQ(rows[2].text(12), QStringLiteral("No"));
    EXPECT_TRUE(rows[0].text(1).isEmpty());
}

TEST_F(DeviceCycleTest, aRunIsRefusedForDuplicateIdsOrWithoutTags)
{
    CModTCPChnl &first = addChannel(1502, QStringLiteral("A"));
    addTag(addDevice(first, 7, QStringLiteral("D1")), QStringLiteral("T"),
           QStringLiteral("400001"));
    // The same id on another channel is allowed.
    CModTCPChnl &second = addChannel(1503, QStringLiteral("B"));
    addTag(addDevice(second, 7, QStringLiteral("D1")), QStringLiteral("T"),
           QStringLiteral("400001"));
    {
        ModbusRuntime check(services());
        EXPECT_EQ(check.start({&first, &second}), ModbusRuntime::StartResult::Started);
    }
    addDevice(first, 7, QStringLiteral("D2"));
    {
        ModbusRuntime check(services());
        EXPECT_EQ(check.start({&first, &second}), ModbusRuntime::StartResult::DuplicateDeviceIds);
        EXPECT_TRUE(logContains(QStringLiteral("Duplicate Device IDs found for Channel A.")));
        EXPECT_FALSE(logContains(QStringLiteral("Duplicate Device IDs found for Channel B.")));
    }

    CModTCPChnl &empty = addChannel(1504, QStringLiteral("C"));
    CModTCPDev &device = addDevice(empty, 1, QStringLiteral("Empty"));
    auto group = std::make_shared<CModTagGroup>();
    group->name = QStringLiteral("G");
    device.groups.push_back(group);
    {
        ModbusRuntime check(services());
        EXPECT_EQ(check.start({&empty}), ModbusRuntime::StartResult::NoTags);
        EXPECT_TRUE(logContains(QStringLiteral(" Tag group G do not have any tags.")));
        EXPECT_TRUE(logContains(QStringLiteral("Device Empty do not have any tags.")));
    }

    std::vector<CModChnl *> eleven;
    for (int i = 0; i < 11; ++i)
        eleven.push_back(&second);
    ModbusRuntime check(services());
    EXPECT_EQ(check.start(eleven), ModbusRuntime::StartResult::EngineCreationFailed);
}

} // namespace
