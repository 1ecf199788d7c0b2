// The driver end to end: launched as the host runtime launches it, polling a
// simulator, delivering to a test host window, taking its writes and stopping.
#include "drivere2e.h"

#include "driverstrings.h"

#include <QTest>

#include <set>

namespace {

class HostLinkEndToEnd : public DriverEndToEnd
{
protected:
    // Tags of several types, one in a group, one read-only, one ramping.
    void buildPlant()
    {
        CModTCPDev &device = addDevice();
        addTag(device.tags, QStringLiteral("Level"), QStringLiteral("400001"), DataTypeCode::Word);
        addTag(device.tags, QStringLiteral("Flow"), QStringLiteral("400003"), DataTypeCode::Float);
        addTag(device.tags, QStringLiteral("Count"), QStringLiteral("400005"), DataTypeCode::DWord);
        addTag(device.tags, QStringLiteral("Pump"), QStringLiteral("000001"),
               DataTypeCode::Boolean);
        addTag(device.tags, QStringLiteral("Setpoint"), QStringLiteral("400020"),
               DataTypeCode::Word, ClientAccessCode::ReadOnly);
        addTag(device.tags, QStringLiteral("Ramp"), QStringLiteral("400041"), DataTypeCode::Word);
        auto group = std::make_shared<CModTagGroup>();
        group->name = QStringLiteral("G1");
        addTag(group->tags, QStringLiteral("Deep"), QStringLiteral("400010"), DataTypeCode::Short);
        device.groups.push_back(group);
        saveProjectAsMostRecent();

        sim.setHoldingRegister(1, 0, 123);
        // Float 1.5 = 0x3FC00000; the device's first register holds the low word.
        sim.setHoldingRegister(1, 2, 0x0000);
        sim.setHoldingRegister(1, 3, 0x3FC0);
        sim.setHoldingRegister(1, 4, 0x5678);
        sim.setHoldingRegister(1, 5, 0x1234);
        sim.setCoil(1, 0, true);
        sim.setHoldingRegister(1, 9, quint16(-77));
        sim.setHoldingRegister(1, 19, 500);
    }

    const std::vector<std::pair<qint32, QString>> plantItems = {
        {1, QStringLiteral("Chnl1.Dev1.Level")},
        {2, QStringLiteral("Chnl1.Dev1.Flow")},
        {3, QStringLiteral("Chnl1.Dev1.Count")},
        {4, QStringLiteral("Chnl1.Dev1.Pump")},
        {5, QStringLiteral("Chnl1.Dev1.G1.Deep")},
        {6, QStringLiteral("Chnl1.Dev1.Setpoint")},
        {7, QStringLiteral("Chnl1.Dev1.Ramp")},
        // Names compare exactly, and a group is never skipped.
        {8, QStringLiteral("chnl1.Dev1.Level")},
        {9, QStringLiteral("Chnl1.Dev1.Deep")},
    };

    QString output() { return QString::fromLocal8Bit(driver.readAll()); }
};

TEST_F(HostLinkEndToEnd, deliversValuesTakesWritesAndStopsOnRequest)
{
    buildPlant();
    sim.addRamp(1, mbsim::Table::HoldingRegisters, 40, 1, std::chrono::milliseconds(20));
    driver.setProcessChannelMode(QProcess::MergedChannels);
    launchDriver();

    ASSERT_EQ(requestItemsOnceRunning(plantItems), 500);
    ASSERT_TRUE(waitFor([&] {
        for (qint32 id = 1; id <= 7; ++id) {
            if (!latest(id))
                return false;
        }
        return true;
    }));
    EXPECT_EQ(latest(1)->value.type(), DataTypeCode::Word);
    EXPECT_EQ(latest(1)->value.asInteger(), 123);
    EXPECT_EQ(latest(2)->value.type(), DataTypeCode::Float);
    EXPECT_FLOAT_EQ(latest(2)->value.asFloat(), 1.5f);
    EXPECT_EQ(latest(3)->value.type(), DataTypeCode::DWord);
    EXPECT_EQ(quint32(latest(3)->value.asInteger64()), 0x12345678u);
    EXPECT_EQ(latest(4)->value.type(), DataTypeCode::Boolean);
    EXPECT_TRUE(latest(4)->value.asBoolean());
    EXPECT_EQ(latest(5)->value.asInteger(), -77);
    EXPECT_EQ(latest(6)->value.asInteger(), 500);
    EXPECT_TRUE(valuesOf(8).empty());
    EXPECT_TRUE(valuesOf(9).empty());
    for (qint32 id = 1; id <= 7; ++id)
        EXPECT_FALSE(latest(id)->inError) << id;

    // Batches, never closer than the delivery interval; every change of the
    // ramp kept, in order, several to a batch.
    ASSERT_TRUE(waitFor([&] { return deliveries.size() >= 8; }));
    bool severalChangesInOneBatch = false;
    qint64 previousRamp = -1;
    for (size_t i = 0; i < deliveries.size(); ++i) {
        if (i > 0) {
            EXPECT_GE(deliveries[i].receivedMs - deliveries[i - 1].receivedMs, 200) << i;
        }
        int rampEntries = 0;
        for (const auto &entry : deliveries[i].values.entries) {
            if (entry->requestId != 7)
                continue;
            ++rampEntries;
            EXPECT_GT(entry->value.asInteger(), previousRamp);
            previousRamp = entry->value.asInteger();
        }
        severalChangesInOneBatch |= rampEntries >= 2;
    }
    EXPECT_TRUE(severalChangesInOneBatch);

    // A write reaches the device, and its new value comes back.
    CModData level;
    level.setWord(999);
    EXPECT_EQ(sendWrite(1, level), 600);
    ASSERT_TRUE(waitFor([&] { return sim.holdingRegister(1, 0) == 999; }));
    ASSERT_TRUE(waitFor([&] { return latest(1)->value.asInteger() == 999; }));
    // A read-only tag refuses it.
    CModData setpoint;
    setpoint.setWord(1);
    EXPECT_EQ(sendWrite(6, setpoint), 600);

    // A second accepted request brings every requested value again, changed or not.
    const size_t before = deliveries.size();
    ASSERT_EQ(sendItemRequest(plantItems), 500);
    ASSERT_TRUE(waitFor([&] {
        std::set<qint32> ids;
        for (size_t i = before; i < deliveries.size(); ++i) {
            for (const auto &entry : deliveries[i].values.entries)
                ids.insert(entry->requestId);
        }
        return ids.size() == 7;
    }));

    // The stop request closes the driver without asking anyone.
    desktop.postMessage(driverWindow, StopRequestMessage);
    ASSERT_TRUE(waitForExit());
    EXPECT_EQ(sim.holdingRegister(1, 19), 500);
    const QString printed = output();
    EXPECT_FALSE(printed.contains(QStringLiteral("question"))) << qPrintable(printed);
    const QStringList messages = savedMessages();
    EXPECT_TRUE(messages.contains(DriverString::text(DriverString::StopRequestFromParent)));
    EXPECT_TRUE(messages.contains(
        DriverString::format(DriverString::CannotWriteReadOnlyTag, {QStringLiteral("Setpoint")})));
    EXPECT_TRUE(messages.contains(DriverString::format(
        DriverString::SomeRequestedItemsFound, {QStringLiteral("7"), QStringLiteral("2")})));
    EXPECT_TRUE(messages.contains(DriverString::format(DriverString::RequestedItemNotFound,
                                                       {QStringLiteral("chnl1.Dev1.Level")})));
}

TEST_F(HostLinkEndToEnd, requestResolvingNothingIsAnswered510)
{
    buildPlant();
    launchDriver();
    ASSERT_EQ(requestItemsOnceRunning(
                  {{1, QStringLiteral("Chnl1")}, {2, QStringLiteral("Chnl1.Dev1.Nothing")}}),
              510);
    QTest::qWait(600);
    EXPECT_TRUE(deliveries.empty());
    desktop.postMessage(driverWindow, StopRequestMessage);
    ASSERT_TRUE(waitForExit());
    EXPECT_TRUE(savedMessages().contains(DriverString::text(DriverString::NoRequestedItemsFound)));
}

TEST_F(HostLinkEndToEnd, userStartedDriverRefusesItemRequests)
{
    buildPlant();
    launchDriver({});
    EXPECT_EQ(sendItemRequest({{1, QStringLiteral("Chnl1.Dev1.Level")}}), 520);
    // Without a host launch the stop request is not the host's to give.
    desktop.postMessage(driverWindow, StopRequestMessage);
    QTest::qWait(500);
    EXPECT_EQ(driver.state(), QProcess::Running);
}

TEST_F(HostLinkEndToEnd, driverClosesWhenItsHostDisappears)
{
    buildPlant();
    sim.addRamp(1, mbsim::Table::HoldingRegisters, 40, 1, std::chrono::milliseconds(50));
    launchDriver();
    ASSERT_EQ(requestItemsOnceRunning(plantItems), 500);
    ASSERT_TRUE(waitFor([&] { return !deliveries.empty(); }));

    host.reset();
    ASSERT_TRUE(waitForExit());
    EXPECT_EQ(driver.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(savedMessages().contains(DriverString::text(DriverString::ClientWindowNotFound)));
}

// The device's connection is cut under a running host session: the host is
// told the values are in error, and after the reconnect it gets the device's
// current values, good again.
TEST_F(HostLinkEndToEnd, aCutConnectionMakesValuesBadUntilTheReconnectReadsThemAgain)
{
    buildPlant();
    launchDriver();
    ASSERT_EQ(requestItemsOnceRunning(plantItems), 500);
    ASSERT_TRUE(waitFor([&] { return latest(1) && latest(2) && latest(4); }));
    ASSERT_FALSE(latest(1)->inError);

    // Every request now closes the connection, as a cable pulled mid-poll does.
    const int cut =
        sim.addFault({.table = mbsim::Table::HoldingRegisters, .kind = mbsim::FaultKind::Drop});
    const int cutCoils =
        sim.addFault({.table = mbsim::Table::Coils, .kind = mbsim::FaultKind::Drop});
    ASSERT_TRUE(waitFor([&] { return latest(1)->inError && latest(2)->inError; }));
    ASSERT_TRUE(waitFor([&] { return latest(4)->inError; }));

    // While cut off the device moved on; the host must see where it is now.
    sim.setHoldingRegister(1, 0, 456);
    sim.setCoil(1, 0, false);
    sim.removeFault(cut);
    sim.removeFault(cutCoils);
    ASSERT_TRUE(waitFor([&] { return !latest(1)->inError && !latest(4)->inError; }));
    EXPECT_EQ(latest(1)->value.asInteger(), 456);
    EXPECT_FALSE(latest(4)->value.asBoolean());
    ASSERT_TRUE(waitFor([&] { return !latest(2)->inError; }));
    EXPECT_FLOAT_EQ(latest(2)->value.asFloat(), 1.5f);

    desktop.postMessage(driverWindow, StopRequestMessage);
    ASSERT_TRUE(waitForExit());
}

} // namespace
