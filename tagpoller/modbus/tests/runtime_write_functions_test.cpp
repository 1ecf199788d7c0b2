// The write functions a device is set to take, against a real simulator: bits
// of holding registers by mask write (function 22), the multiple forms 15 and
// 16 for devices without 5 and 6, and devices that refuse a function.
#include "runtimefixture.h"
#include "valuemakers.h"

#include <atomic>
#include <vector>

namespace {

class WriteFunctionsTest : public RuntimeTest
{
protected:
    std::vector<mbsim::LoggedRequest> writesWith(const mbsim::Simulator &sim, std::uint8_t function)
    {
        std::vector<mbsim::LoggedRequest> writes = sim.writeLog();
        std::erase_if(writes, [&](const auto &request) { return request.function != function; });
        return writes;
    }
};

TEST_F(WriteFunctionsTest, maskWriteSetsAndClearsOneBitWhileTheDeviceChangesTheOthers)
{
    mbsim::Simulator &sim = startSimulator({1, 2});
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &lsbFirst = addDevice(channel, 1, QStringLiteral("Lsb"));
    lsbFirst.HoldingBitMaskWrites = true;
    CModTag &bit = addTag(lsbFirst, QStringLiteral("Pump"), QStringLiteral("400005.3"),
                          DataTypeCode::Boolean, 1);
    bit.BitNumber = 3;
    CModTCPDev &modicon = addDevice(channel, 2, QStringLiteral("Modicon"));
    modicon.HoldingBitMaskWrites = true;
    modicon.ModiconBitOrder = true;
    modicon.ZeroBasedBitAddr = false;
    CModTag &first = addTag(modicon, QStringLiteral("Valve"), QStringLiteral("400005.1"),
                            DataTypeCode::Boolean, 2);
    first.BitNumber = 1;

    // The device keeps changing the other 15 bits of both registers; the
    // pattern it last wrote is kept to compare with.
    std::atomic<std::uint16_t> pattern{0};
    const int changer = sim.every(std::chrono::milliseconds(2), [&](mbsim::DataStore &data) {
        const auto next = std::uint16_t(pattern.load() * 7919 + 13);
        pattern = next;
        for (std::uint8_t unit : {1, 2}) {
            const std::uint16_t keep = unit == 1 ? 0x0008 : 0x8000;
            const std::uint16_t now = data.value(unit, mbsim::Table::HoldingRegisters, 4).value();
            data.setValue(unit, mbsim::Table::HoldingRegisters, 4,
                          std::uint16_t((now & keep) | (next & ~keep)));
        }
    });
    startRuntime();
    ASSERT_TRUE(waitFor([&] { return sink.latest(1) && sink.latest(2); }));

    ASSERT_TRUE(runtime->writeHostValue(1, boolValue(true)));
    ASSERT_TRUE(runtime->writeHostValue(2, boolValue(true)));
    ASSERT_TRUE(waitFor(
        [&] { return sink.latest(1)->value.asBoolean() && sink.latest(2)->value.asBoolean(); }));
    ASSERT_TRUE(runtime->writeHostValue(1, boolValue(false)));
    ASSERT_TRUE(runtime->writeHostValue(2, wordValue(0)));
    ASSERT_TRUE(waitFor(
        [&] { return !sink.latest(1)->value.asBoolean() && !sink.latest(2)->value.asBoolean(); }));
    sim.removeTask(changer);
    // Once the changes stop, the other bits are what the device last put there.
    const std::uint16_t last = pattern.load();
    EXPECT_EQ(sim.holdingRegister(1, 4), std::uint16_t(last & ~0x0008));
    EXPECT_EQ(sim.holdingRegister(2, 4), std::uint16_t(last & ~0x8000));

    const std::vector<mbsim::LoggedRequest> masks = writesWith(sim, 22);
    ASSERT_EQ(masks.size(), 4u);
    std::vector<std::vector<std::uint16_t>> lsbMasks;
    std::vector<std::vector<std::uint16_t>> modiconMasks;
    for (const mbsim::LoggedRequest &request : masks) {
        EXPECT_EQ(request.address, 4);
        EXPECT_EQ(request.exceptionCode, 0);
        (request.unitId == 1 ? lsbMasks : modiconMasks).push_back(request.values);
    }
    // AND mask, OR mask: set, then clear.
    EXPECT_EQ(lsbMasks, (std::vector<std::vector<std::uint16_t>>{{0xFFF7, 0x0008}, {0xFFF7, 0}}));
    EXPECT_EQ(modiconMasks,
              (std::vector<std::vector<std::uint16_t>>{{0x7FFF, 0x8000}, {0x7FFF, 0}}));
    EXPECT_EQ(sim.writeLog().size(), 4u) << "nothing but the mask writes";
}

TEST_F(WriteFunctionsTest, withoutMaskWritesBitsOfHoldingRegistersAreRefused)
{
    mbsim::Simulator &sim = startSimulator();
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel);
    CModTag &bit = addTag(device, QStringLiteral("Pump"), QStringLiteral("400001.3"),
                          DataTypeCode::Boolean, 1);
    bit.BitNumber = 3;
    addTag(device, QStringLiteral("Level"), QStringLiteral("400002"), DataTypeCode::Word, 2);
    startRuntime();
    ASSERT_TRUE(waitForValue(2));
    runtime->writeHostValue(1, boolValue(true));
    ASSERT_TRUE(runtime->writeHostValue(2, wordValue(7)));
    ASSERT_TRUE(waitFor([&] { return !sim.writeLog().empty(); }));
    ASSERT_EQ(sim.writeLog().size(), 1u);
    EXPECT_EQ(sim.writeLog().front().function, 6);
    EXPECT_EQ(sim.holdingRegister(1, 0), 0);
    EXPECT_TRUE(logContains(
        QStringLiteral("Writing to bits in holding registers is not supported yet...")));
}

TEST_F(WriteFunctionsTest, devicesWithoutFunctions5And6GetQuantityOneOf15And16)
{
    mbsim::Simulator &sim = startSimulator({1, 2});
    // Unit 1 lacks the single forms, as the device it stands for; unit 2 has them.
    sim.refuseFunction(1, 5);
    sim.refuseFunction(1, 6);
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &multipleOnly = addDevice(channel, 1, QStringLiteral("MultipleOnly"));
    multipleOnly.UseFunc05 = false;
    multipleOnly.UseFunc06 = false;
    addTag(multipleOnly, QStringLiteral("Setpoint"), QStringLiteral("400004"), DataTypeCode::Word,
           1);
    addTag(multipleOnly, QStringLiteral("Count"), QStringLiteral("400005"), DataTypeCode::BCD, 2);
    addTag(multipleOnly, QStringLiteral("Motor"), QStringLiteral("000008"), DataTypeCode::Boolean,
           3);
    CModTCPDev &single = addDevice(channel, 2, QStringLiteral("Single"));
    addTag(single, QStringLiteral("Setpoint2"), QStringLiteral("400004"), DataTypeCode::Word, 4);
    addTag(single, QStringLiteral("Motor2"), QStringLiteral("000008"), DataTypeCode::Boolean, 5);
    startRuntime();
    for (qint32 id = 1; id <= 5; ++id)
        ASSERT_TRUE(waitForValue(id)) << id;

    ASSERT_TRUE(runtime->writeHostValue(1, wordValue(0xBEEF)));
    ASSERT_TRUE(runtime->writeHostValue(2, wordValue(2024)));
    ASSERT_TRUE(runtime->writeHostValue(3, boolValue(true)));
    ASSERT_TRUE(runtime->writeHostValue(4, wordValue(0xCAFE)));
    ASSERT_TRUE(runtime->writeHostValue(5, boolValue(true)));
    ASSERT_TRUE(waitFor([&] {
        return sink.latest(1)->value.asInteger() == 0xBEEF &&
               sink.latest(2)->value.asInteger() == 2024 && sink.latest(3)->value.asBoolean() &&
               sink.latest(4)->value.asInteger() == 0xCAFE && sink.latest(5)->value.asBoolean();
    }));

    std::vector<std::string> unit1;
    std::vector<std::string> unit2;
    for (const mbsim::LoggedRequest &request : sim.writeLog()) {
        std::string text = "fn" + std::to_string(request.function) + " @" +
                           std::to_string(request.address) + " x" +
                           std::to_string(request.quantity);
        (request.unitId == 1 ? unit1 : unit2).push_back(text);
        EXPECT_EQ(request.exceptionCode, 0);
    }
    EXPECT_EQ(unit1, (std::vector<std::string>{"fn16 @3 x1", "fn16 @4 x1", "fn15 @7 x1"}));
    EXPECT_EQ(unit2, (std::vector<std::string>{"fn6 @3 x1", "fn5 @7 x1"}));
    EXPECT_EQ(sim.holdingRegister(1, 4), 0x2024);
}

TEST_F(WriteFunctionsTest, deviceRefusingMaskWritesLogsTheTagAndTheQueueMovesOn)
{
    mbsim::Simulator &sim = startSimulator();
    sim.refuseFunction(1, 22);
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel);
    device.HoldingBitMaskWrites = true;
    CModTag &bit = addTag(device, QStringLiteral("Pump"), QStringLiteral("400001.3"),
                          DataTypeCode::Boolean, 1);
    bit.BitNumber = 3;
    addTag(device, QStringLiteral("Level"), QStringLiteral("400002"), DataTypeCode::Word, 2);
    startRuntime();
    ASSERT_TRUE(waitForValue(2));

    ASSERT_TRUE(runtime->writeHostValue(1, boolValue(true)));
    ASSERT_TRUE(runtime->writeHostValue(2, wordValue(11)));
    ASSERT_TRUE(runtime->writeHostValue(1, boolValue(false)));
    ASSERT_TRUE(runtime->writeHostValue(2, wordValue(12)));
    ASSERT_TRUE(waitFor([&] { return sink.latest(2)->value.asInteger() == 12; }));
    const QString refused = QStringLiteral(
        "Channel [Chnl1], Device [Dev1] : write to Tag [Pump] refused by the device, exception 1.");
    ASSERT_TRUE(waitFor([&] { return logCount(refused) == 2; }))
        << logTexts().join(u'\n').toStdString();
    EXPECT_EQ(deviceRuntime().writeQueue().size(), 0u);
    EXPECT_EQ(writesWith(sim, 22).size(), 2u);
    // The two Word writes may have been merged by the write optimisation.
    EXPECT_GE(writesWith(sim, 6).size(), 1u);
    EXPECT_FALSE(sink.latest(1)->value.asBoolean());
    // Reads go on as before.
    const quint32 reads = deviceRuntime().frames().front().readsOk();
    EXPECT_TRUE(waitFor([&] { return deviceRuntime().frames().front().readsOk() > reads + 3; }));
}

} // namespace
