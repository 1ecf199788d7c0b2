// Double, BCD and LBCD tags against a real simulator: the exact values read
// under every word, double-word and byte order, the exact registers written
// back, and BCD registers that hold no number.
#include "runtimefixture.h"
#include "valuelayout.h"
#include "valuemakers.h"

#include <vector>

namespace {

class WideTypesTest : public RuntimeTest
{};

struct DoubleLayout
{
    bool firstWordLow;
    bool firstDwordLow;
    bool defaultByteOrder;
    // -1234.5678 (0xC093'4A45'6D5C'FAAD) as the device holds it.
    std::vector<quint16> registers;
};

TEST_F(WideTypesTest, doubleInEveryOrderReadsExactlyAndWritesTheSameLayoutBack)
{
    const DoubleLayout layouts[] = {
        {true, true, true, {0xFAAD, 0x6D5C, 0x4A45, 0xC093}},
        {false, true, true, {0x6D5C, 0xFAAD, 0xC093, 0x4A45}},
        {true, false, true, {0x4A45, 0xC093, 0xFAAD, 0x6D5C}},
        {false, false, true, {0xC093, 0x4A45, 0x6D5C, 0xFAAD}},
        {true, true, false, {0xADFA, 0x5C6D, 0x454A, 0x93C0}},
        {false, true, false, {0x5C6D, 0xADFA, 0x93C0, 0x454A}},
        {true, false, false, {0x454A, 0x93C0, 0xADFA, 0x5C6D}},
        {false, false, false, {0x93C0, 0x454A, 0x5C6D, 0xADFA}},
    };
    mbsim::Simulator &sim = startSimulator({1, 2, 3, 4, 5, 6, 7, 8});
    CModTCPChnl &channel = addChannel(sim.port());
    for (size_t i = 0; i < std::size(layouts); ++i) {
        const DoubleLayout &layout = layouts[i];
        const auto unit = quint8(i + 1);
        CModTCPDev &device = addDevice(channel, unit, QStringLiteral("Dev%1").arg(unit));
        device.FirstWordLow = layout.firstWordLow;
        device.FirstDwordLow = layout.firstDwordLow;
        device.DefaultByteOrder = layout.defaultByteOrder;
        // Registers 10 to 13, so that the write's address shows too.
        addTag(device, QStringLiteral("Total%1").arg(unit), QStringLiteral("400011"),
               DataTypeCode::Double, unit);
        const std::vector<std::uint16_t> registers(layout.registers.begin(),
                                                   layout.registers.end());
        ASSERT_TRUE(sim.setValues(unit, mbsim::Table::HoldingRegisters, 10, registers));
    }
    startRuntime();

    for (size_t i = 0; i < std::size(layouts); ++i) {
        const auto value = waitForValue(qint32(i + 1));
        ASSERT_TRUE(value) << i;
        EXPECT_EQ(value->value.type(), DataTypeCode::Double) << i;
        EXPECT_EQ(value->value.asDouble(), -1234.5678) << i;
        EXPECT_FALSE(value->inError);
    }

    const double written = 98765.4321e-7;
    for (size_t i = 0; i < std::size(layouts); ++i)
        ASSERT_TRUE(runtime->writeHostValue(qint32(i + 1), doubleValue(written)));
    for (size_t i = 0; i < std::size(layouts); ++i) {
        const auto unit = quint8(i + 1);
        const qint32 requestId = qint32(i + 1);
        // The device holds the value in its own layout (as the simulator lays
        // it out, independently of the driver), and it reads back.
        const mbsim::RegisterLayout expected{layouts[i].firstWordLow, layouts[i].firstDwordLow,
                                             layouts[i].defaultByteOrder};
        ASSERT_TRUE(waitFor([&] {
            const auto latest = sink.latest(requestId);
            return latest && latest->value.asDouble() == written;
        })) << i;
        EXPECT_EQ(sim.values(unit, mbsim::Table::HoldingRegisters, 10, 4),
                  mbsim::doubleRegisters(written, expected))
            << i;
    }
    for (const mbsim::LoggedRequest &request : sim.writeLog()) {
        EXPECT_EQ(request.function, 16);
        EXPECT_EQ(request.address, 10);
        EXPECT_EQ(request.quantity, 4);
    }
}

TEST_F(WideTypesTest, bcdAndLbcdReadAsNumbersAndWriteBackTheirDigits)
{
    mbsim::Simulator &sim = startSimulator({1, 2});
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &plain = addDevice(channel, 1, QStringLiteral("Plain"));
    CModTCPDev &swapped = addDevice(channel, 2, QStringLiteral("Swapped"));
    swapped.DefaultByteOrder = false;
    swapped.FirstWordLow = false;
    for (CModTCPDev *device : {&plain, &swapped}) {
        const qint32 base = device == &plain ? 0 : 10;
        addTag(*device, QStringLiteral("Count%1").arg(base), QStringLiteral("400001"),
               DataTypeCode::BCD, base + 1);
        addTag(*device, QStringLiteral("Total%1").arg(base), QStringLiteral("400003"),
               DataTypeCode::LBCD, base + 2);
    }
    sim.setHoldingRegister(1, 0, 0x1234);
    sim.setValues(1, mbsim::Table::HoldingRegisters, 2, std::vector<std::uint16_t>{0x5678, 0x1234});
    sim.setHoldingRegister(2, 0, 0x3412);
    sim.setValues(2, mbsim::Table::HoldingRegisters, 2, std::vector<std::uint16_t>{0x3412, 0x7856});
    startRuntime();

    for (qint32 base : {0, 10}) {
        const auto count = waitForValue(base + 1);
        ASSERT_TRUE(count);
        EXPECT_EQ(count->value.type(), DataTypeCode::Word);
        EXPECT_EQ(count->value.asInteger(), 1234);
        const auto total = waitForValue(base + 2);
        ASSERT_TRUE(total);
        EXPECT_EQ(total->value.type(), DataTypeCode::DWord);
        EXPECT_EQ(total->value.asInteger64(), 12345678);
    }

    ASSERT_TRUE(runtime->writeHostValue(1, wordValue(9876)));
    ASSERT_TRUE(runtime->writeHostValue(2, dwordValue(87654321)));
    ASSERT_TRUE(runtime->writeHostValue(11, longValue(9876)));
    ASSERT_TRUE(runtime->writeHostValue(12, dwordValue(87654321)));
    for (qint32 id : {1, 11})
        ASSERT_TRUE(waitFor([&] { return sink.latest(id)->value.asInteger() == 9876; }))
            << id << " " << show(sink.latest(id)->value) << "\n"
            << logTexts().join(u'\n').toStdString();
    for (qint32 id : {2, 12})
        ASSERT_TRUE(waitFor([&] { return sink.latest(id)->value.asInteger64() == 87654321; }))
            << id;
    EXPECT_EQ(sim.holdingRegister(1, 0), 0x9876);
    EXPECT_EQ(sim.values(1, mbsim::Table::HoldingRegisters, 2, 2),
              (std::vector<std::uint16_t>{0x4321, 0x8765}));
    EXPECT_EQ(sim.holdingRegister(2, 0), 0x7698);
    EXPECT_EQ(sim.values(2, mbsim::Table::HoldingRegisters, 2, 2),
              (std::vector<std::uint16_t>{0x6587, 0x2143}));

    // A number a BCD register cannot hold is refused, not wrapped.
    ASSERT_TRUE(runtime->writeHostValue(1, wordValue(10000)));
    EXPECT_TRUE(logContains(QStringLiteral("Channel [Chnl1], Device [Plain] : Tag [Count0] can not "
                                           "hold the value 10000, write request refused...")));
}

TEST_F(WideTypesTest, invalidBcdMarksTheTagBadWithOneLogLineUntilItIsValidAgain)
{
    mbsim::Simulator &sim = startSimulator();
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel);
    addTag(device, QStringLiteral("Count"), QStringLiteral("400001"), DataTypeCode::BCD, 1);
    addTag(device, QStringLiteral("Total"), QStringLiteral("400002"), DataTypeCode::LBCD, 2);
    sim.setHoldingRegister(1, 0, 0x0042);
    sim.setValues(1, mbsim::Table::HoldingRegisters, 1, std::vector<std::uint16_t>{0x0001, 0x0000});
    startRuntime();
    ASSERT_TRUE(waitFor([&] { return sink.latest(1) && sink.latest(2); }));
    EXPECT_EQ(sink.latest(1)->value.asInteger(), 42);
    EXPECT_EQ(sink.latest(2)->value.asInteger64(), 1);

    const QString countBad =
        QStringLiteral("Tag: Count, register holds no valid BCD value, the tag is bad until it "
                       "does.");
    const QString totalBad =
        QStringLiteral("Tag: Total, register holds no valid BCD value, the tag is bad until it "
                       "does.");
    sim.setHoldingRegister(1, 0, 0x00A2);
    sim.setHoldingRegister(1, 2, 0xF000);
    ASSERT_TRUE(waitFor([&] { return sink.latest(1)->inError && sink.latest(2)->inError; }))
        << sink.latest(1)->inError << sink.latest(2)->inError << "\n"
        << logTexts().join(u'\n').toStdString();
    // The tags keep their last good values, marked bad.
    EXPECT_EQ(sink.latest(1)->value.asInteger(), 42);
    EXPECT_EQ(sink.latest(2)->value.asInteger64(), 1);
    const size_t deliveries = sink.deliveries.size();
    const quint64 reads = deviceRuntime().frames().front().readsOk();
    ASSERT_TRUE(waitFor([&] { return deviceRuntime().frames().front().readsOk() >= reads + 20; }));
    EXPECT_EQ(logCount(countBad), 1);
    EXPECT_EQ(logCount(totalBad), 1);
    EXPECT_EQ(sink.deliveries.size(), deliveries) << "bad once, not on every read";

    sim.setHoldingRegister(1, 0, 0x0043);
    ASSERT_TRUE(waitFor([&] { return !sink.latest(1)->inError; }));
    EXPECT_EQ(sink.latest(1)->value.asInteger(), 43);
    EXPECT_TRUE(sink.latest(2)->inError);
    // Invalid once more: said once more.
    sim.setHoldingRegister(1, 0, 0x4B00);
    ASSERT_TRUE(waitFor([&] { return sink.latest(1)->inError; }));
    EXPECT_EQ(logCount(countBad), 2);
    EXPECT_EQ(logCount(totalBad), 1);
}

} // namespace
