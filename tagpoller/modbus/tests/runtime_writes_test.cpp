// Host writes against a real simulator: the function and registers each data
// type sends under each byte and word order, the writes that are refused, and
// how the queue is coalesced and interleaved with reads.
#include "runtimefixture.h"
#include "valuemakers.h"

#include <string>
#include <vector>

namespace {

bool isWrite(const mbsim::LoggedRequest &request)
{
    return request.function == 5 || request.function == 6 || request.function == 15 ||
           request.function == 16 || request.function == 22;
}

bool isCoilFunction(std::uint8_t function)
{
    return function == 1 || function == 5 || function == 15;
}

// "fn16 = 0x4433 0x2211": a write's function and values (a coil as 0 or 1).
std::string showPayload(const mbsim::LoggedRequest &request)
{
    std::string text = "fn" + std::to_string(request.function) + " =";
    for (std::uint16_t value : request.values)
        text += QStringLiteral(" 0x%1").arg(value, 4, 16, QLatin1Char('0')).toStdString();
    return text;
}

// "fn16 @4 = 0x4433 0x2211": the same with the address written.
std::string showWrite(const mbsim::LoggedRequest &request)
{
    std::string payload = showPayload(request);
    return payload.insert(payload.find(' '), " @" + std::to_string(request.address));
}

// "W" for a write, "R" for a read, one letter per request of the unit from
// its first write on.
std::string turnsFromFirstWrite(const std::vector<mbsim::LoggedRequest> &log, std::uint8_t unit)
{
    std::string turns;
    for (const mbsim::LoggedRequest &request : log) {
        if (request.unitId != unit)
            continue;
        if (isWrite(request))
            turns += 'W';
        else if (!turns.empty())
            turns += 'R';
    }
    return turns;
}

class WritesTest : public RuntimeTest
{
protected:
    std::vector<mbsim::LoggedRequest> writesOf(const mbsim::Simulator &sim, std::uint8_t unit)
    {
        std::vector<mbsim::LoggedRequest> writes;
        for (const mbsim::LoggedRequest &request : sim.writeLog()) {
            if (request.unitId == unit)
                writes.push_back(request);
        }
        return writes;
    }

    // The unit's queue has drained: it has written `writes` times and read
    // again after its last write.
    bool readAfterWrites(const mbsim::Simulator &sim, std::uint8_t unit, size_t writes)
    {
        size_t written = 0;
        bool readSince = false;
        for (const mbsim::LoggedRequest &request : sim.requestLog()) {
            if (request.unitId != unit)
                continue;
            if (isWrite(request)) {
                ++written;
                readSince = false;
            } else {
                readSince = true;
            }
        }
        return written >= writes && readSince;
    }
};

struct WriteCase
{
    const char *what;
    bool defaultByteOrder;
    bool firstWordLow;
    bool coil; // a coil, else a holding register
    int dataType;
    CModData hostValue;
    const char *sent; // the write as showPayload() has it
    CModData readBack;
    // Without ZeroBasedAddr, 400001 is holding register 1 and 000001 coil 1,
    // for writes as for reads.
    bool zeroBasedAddr = true;
};

TEST_F(WritesTest, everyWritableTypeSendsItsRegistersAndReadsBack)
{
    using DataTypeCode::Boolean, DataTypeCode::Char, DataTypeCode::Byte, DataTypeCode::Short,
        DataTypeCode::Word, DataTypeCode::Long, DataTypeCode::DWord, DataTypeCode::Float;
    // 123.456f is 0x42F6E979.
    const WriteCase cases[] = {
        {"Char sign-extends", true, true, false, Char, charValue(-1), "fn6 = 0xffff",
         charValue(-1)},
        {"Word host value a Char can hold", true, true, false, Char, wordValue(0x007F),
         "fn6 = 0x007f", charValue(127)},
        {"Byte zero-extends", true, true, false, Byte, byteValue(0xFF), "fn6 = 0x00ff",
         byteValue(0xFF)},
        {"Word host value a Byte can hold", true, true, false, Byte, wordValue(0x00FE),
         "fn6 = 0x00fe", byteValue(0xFE)},
        {"Short", true, true, false, Short, shortValue(-2), "fn6 = 0xfffe", shortValue(-2)},
        {"Word", true, true, false, Word, wordValue(0x1234), "fn6 = 0x1234", wordValue(0x1234)},
        {"Float host value to a Word tag truncates", true, true, false, Word, floatValue(300.7f),
         "fn6 = 0x012c", wordValue(300)},
        {"Word with swapped bytes", false, true, false, Word, wordValue(0x1234), "fn6 = 0x3412",
         wordValue(0x1234)},
        {"Short with swapped bytes", false, true, false, Short, shortValue(-2), "fn6 = 0xfeff",
         shortValue(-2)},
        {"Char with swapped bytes", false, false, false, Char, charValue(-2), "fn6 = 0xfeff",
         charValue(-2)},
        {"Byte with swapped bytes", false, false, false, Byte, byteValue(0x12), "fn6 = 0x1200",
         byteValue(0x12)},
        {"Long, first word low", true, true, false, Long, longValue(0x11223344),
         "fn16 = 0x3344 0x1122", longValue(0x11223344)},
        {"Long, first word high", true, false, false, Long, longValue(0x11223344),
         "fn16 = 0x1122 0x3344", longValue(0x11223344)},
        {"Long, swapped bytes, first word low", false, true, false, Long, longValue(0x11223344),
         "fn16 = 0x4433 0x2211", longValue(0x11223344)},
        {"Long, swapped bytes, first word high", false, false, false, Long, longValue(0x11223344),
         "fn16 = 0x2211 0x4433", longValue(0x11223344)},
        {"Long negative", true, true, false, Long, longValue(-2), "fn16 = 0xfffe 0xffff",
         longValue(-2)},
        {"Word host value to a Long tag zero-extends", true, true, false, Long, wordValue(0xFFFF),
         "fn16 = 0xffff 0x0000", longValue(0xFFFF)},
        {"DWord, swapped bytes, first word low", false, true, false, DWord, dwordValue(0x11223344),
         "fn16 = 0x4433 0x2211", dwordValue(0x11223344)},
        {"DWord above 2^31, first word high", true, false, false, DWord, dwordValue(0xFFFFFFFEu),
         "fn16 = 0xffff 0xfffe", dwordValue(0xFFFFFFFEu)},
        {"Float host value to a DWord tag truncates", true, true, false, DWord,
         floatValue(70000.9f), "fn16 = 0x1170 0x0001", dwordValue(70000)},
        {"Float, first word low", true, true, false, Float, floatValue(123.456f),
         "fn16 = 0xe979 0x42f6", floatValue(123.456f)},
        {"Float, swapped bytes, first word high", false, false, false, Float, floatValue(123.456f),
         "fn16 = 0xf642 0x79e9", floatValue(123.456f)},
        {"Long host value to a Float tag", true, false, false, Float, longValue(-3),
         "fn16 = 0xc040 0x0000", floatValue(-3.0f)},
        {"coil on", true, true, true, Boolean, boolValue(true), "fn5 = 0x0001", boolValue(true)},
        {"coil off by a Word 0", true, true, true, Boolean, wordValue(0), "fn5 = 0x0000",
         boolValue(false)},
        {"coil on by a Word 7", true, true, true, Boolean, wordValue(7), "fn5 = 0x0001",
         boolValue(true)},
        {"Word, one-based address", true, true, false, Word, wordValue(4321), "fn6 = 0x10e1",
         wordValue(4321), false},
        {"Float, one-based address", true, true, false, Float, floatValue(-1.5f),
         "fn16 = 0x0000 0xbfc0", floatValue(-1.5f), false},
        {"coil, one-based address", true, true, true, Boolean, boolValue(true), "fn5 = 0x0001",
         boolValue(true), false},
    };

    // A device sends one write per turn, so the cases are spread over
    // channels of their own (at most four cases each), all on one simulator.
    constexpr size_t CasesPerChannel = 4;
    struct Lane
    {
        bool defaultByteOrder;
        bool firstWordLow;
        bool zeroBasedAddr;
        CModTCPDev *device;
        quint8 unit;
        size_t cases = 0;
        quint16 nextRegister = 0;
        quint16 nextCoil = 0;
    };
    struct Placed
    {
        quint8 unit;
        quint16 address;
        qint32 requestId;
    };
    mbsim::Simulator &sim = startSimulator({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    std::vector<Lane> lanes;
    std::vector<Placed> placed;
    for (const WriteCase &c : cases) {
        Lane *lane = nullptr;
        for (Lane &candidate : lanes) {
            if (candidate.defaultByteOrder == c.defaultByteOrder &&
                candidate.firstWordLow == c.firstWordLow &&
                candidate.zeroBasedAddr == c.zeroBasedAddr && candidate.cases < CasesPerChannel)
                lane = &candidate;
        }
        if (!lane) {
            const auto unit = quint8(lanes.size() + 1);
            CModTCPChnl &channel = addChannel(sim.port(), QStringLiteral("Chnl%1").arg(unit));
            CModTCPDev &device = addDevice(channel, unit, QStringLiteral("Dev%1").arg(unit));
            device.DefaultByteOrder = c.defaultByteOrder;
            device.FirstWordLow = c.firstWordLow;
            device.ZeroBasedAddr = c.zeroBasedAddr;
            const quint16 firstAddress = c.zeroBasedAddr ? 0 : 1;
            lanes.push_back({c.defaultByteOrder, c.firstWordLow, c.zeroBasedAddr, &device, unit, 0,
                             firstAddress, firstAddress});
            lane = &lanes.back();
        }
        ++lane->cases;
        const qint32 requestId = qint32(placed.size()) + 1;
        quint16 address = 0;
        QString addressText;
        const int numberOffset = c.zeroBasedAddr ? 1 : 0;
        if (c.coil) {
            address = lane->nextCoil++;
            addressText = QStringLiteral("%1").arg(address + numberOffset, 6, 10, QLatin1Char('0'));
            // Start from the opposite state, so the write shows on reading back.
            sim.setCoil(lane->unit, address, !c.readBack.asBoolean());
        } else {
            address = lane->nextRegister;
            lane->nextRegister += 2;
            addressText = QString::number(400000 + numberOffset + address);
            sim.setHoldingRegister(lane->unit, address, 0x5A5A);
            sim.setHoldingRegister(lane->unit, address + 1, 0x5A5A);
        }
        addTag(*lane->device, QStringLiteral("T%1").arg(requestId), addressText, c.dataType,
               requestId);
        placed.push_back({lane->unit, address, requestId});
    }
    ASSERT_LE(lanes.size(), size_t(EngineHost::MaxEngines));
    startRuntime();

    for (const Placed &at : placed)
        ASSERT_TRUE(waitForValue(at.requestId)) << at.requestId;
    for (size_t i = 0; i < std::size(cases); ++i)
        ASSERT_TRUE(runtime->writeHostValue(placed[i].requestId, cases[i].hostValue))
            << cases[i].what;

    // Each value comes back from the device and is handed over again.
    for (size_t i = 0; i < std::size(cases); ++i) {
        const WriteCase &c = cases[i];
        const qint32 requestId = placed[i].requestId;
        const std::string expected = show(c.readBack);
        EXPECT_TRUE(waitFor([&] { return show(sink.latest(requestId)->value) == expected; }))
            << c.what << ": handed over " << show(sink.latest(requestId)->value) << ", expected "
            << expected;
    }

    const std::vector<mbsim::LoggedRequest> writes = sim.writeLog();
    for (size_t i = 0; i < std::size(cases); ++i) {
        const WriteCase &c = cases[i];
        const Placed &at = placed[i];
        std::vector<mbsim::LoggedRequest> mine;
        for (const mbsim::LoggedRequest &request : writes) {
            if (request.unitId == at.unit && request.address == at.address &&
                isCoilFunction(request.function) == c.coil)
                mine.push_back(request);
        }
        ASSERT_EQ(mine.size(), 1u) << c.what;
        EXPECT_EQ(showPayload(mine[0]), c.sent) << c.what;
        if (mine[0].function == 16) {
            EXPECT_EQ(mine[0].quantity, 2) << c.what;
        }
        // What was sent is what the simulator holds now.
        if (c.coil) {
            EXPECT_EQ(std::vector<std::uint16_t>{sim.coil(at.unit, at.address)}, mine[0].values)
                << c.what;
        } else {
            EXPECT_EQ(sim.values(at.unit, mbsim::Table::HoldingRegisters, at.address,
                                 mine[0].values.size()),
                      mine[0].values)
                << c.what;
        }
    }
}

TEST_F(WritesTest, refusedWritesSendNothing)
{
    mbsim::Simulator &sim = startSimulator();
    for (quint16 address = 0; address < 10; ++address)
        sim.setHoldingRegister(1, address, 0x5A5A);
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel);
    addTag(device, QStringLiteral("Setpoint"), QStringLiteral("400001"), DataTypeCode::Word, 1,
           ClientAccessCode::ReadOnly);
    CModTag &alarm = addTag(device, QStringLiteral("Alarm"), QStringLiteral("400002.3"),
                            DataTypeCode::Boolean, 2);
    alarm.BitNumber = 3;
    addTag(device, QStringLiteral("When"), QStringLiteral("400003"), DataTypeCode::Date, 3);
    addTag(device, QStringLiteral("Flow"), QStringLiteral("300001"), DataTypeCode::Word, 4);
    addTag(device, QStringLiteral("Door"), QStringLiteral("100001"), DataTypeCode::Boolean, 5);
    addTag(device, QStringLiteral("Target"), QStringLiteral("400010"), DataTypeCode::Word, 6);
    startRuntime();
    ASSERT_TRUE(waitForValue(6));

    runtime->writeHostValue(1, wordValue(99));
    runtime->writeHostValue(2, boolValue(true));
    runtime->writeHostValue(3, doubleValue(1.5));
    runtime->writeHostValue(4, wordValue(5));
    runtime->writeHostValue(5, boolValue(true));
    EXPECT_FALSE(runtime->writeHostValue(999, wordValue(1)));
    // Queued last: once it has gone out, everything before it has had its turn.
    ASSERT_TRUE(runtime->writeHostValue(6, wordValue(1234)));
    ASSERT_TRUE(waitFor([&] { return readAfterWrites(sim, 1, 1); }));

    std::vector<std::string> sent;
    for (const mbsim::LoggedRequest &request : writesOf(sim, 1))
        sent.push_back(showWrite(request));
    EXPECT_EQ(sent, std::vector<std::string>{"fn6 @9 = 0x04d2"});
    for (quint16 address = 0; address < 9; ++address)
        EXPECT_EQ(sim.holdingRegister(1, address), 0x5A5A) << address;
    EXPECT_TRUE(logContains(QStringLiteral("Can not write to Read only tag [Setpoint].")));
    EXPECT_TRUE(logContains(
        QStringLiteral("Writing to bits in holding registers is not supported yet...")));
}

TEST_F(WritesTest, dutyCycleSetsWritesPerRead)
{
    struct DutyCase
    {
        quint8 dutyCycle;
        int writes;
        std::string turns; // from the first write on
    };
    const DutyCase cases[] = {
        {3, 5, "WWWRWWR"},
        {1, 3, "WRWRWR"},
    };

    mbsim::Simulator &sim = startSimulator({1, 2});
    std::vector<std::pair<quint8, qint32>> firstIds; // unit, first request id
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto unit = quint8(i + 1);
        CModTCPChnl &channel = addChannel(sim.port(), QStringLiteral("Chnl%1").arg(unit));
        channel.DutyCycle = cases[i].dutyCycle;
        CModTCPDev &device = addDevice(channel, unit, QStringLiteral("Dev%1").arg(unit));
        const qint32 firstId = qint32(unit) * 100;
        for (int w = 0; w < cases[i].writes; ++w)
            addTag(device, QStringLiteral("W%1").arg(w), QString::number(400001 + w),
                   DataTypeCode::Word, firstId + w);
        firstIds.push_back({unit, firstId});
    }
    startRuntime();
    for (const auto &[unit, firstId] : firstIds)
        ASSERT_TRUE(waitForValue(firstId)) << int(unit);

    // All queued before any of them has a turn: the event loop does not run
    // between these calls.
    for (size_t i = 0; i < std::size(cases); ++i) {
        for (int w = 0; w < cases[i].writes; ++w)
            ASSERT_TRUE(runtime->writeHostValue(firstIds[i].second + w, wordValue(quint16(w + 1))));
    }

    for (size_t i = 0; i < std::size(cases); ++i) {
        const DutyCase &c = cases[i];
        const quint8 unit = firstIds[i].first;
        ASSERT_TRUE(waitFor([&] {
            return turnsFromFirstWrite(sim.requestLog(), unit).size() >= c.turns.size();
        })) << "duty cycle "
            << int(c.dutyCycle);
        EXPECT_EQ(turnsFromFirstWrite(sim.requestLog(), unit).substr(0, c.turns.size()), c.turns)
            << "duty cycle " << int(c.dutyCycle);
        // In the order queued.
        std::vector<std::string> sent;
        std::vector<std::string> expected;
        for (const mbsim::LoggedRequest &request : writesOf(sim, unit))
            sent.push_back(showWrite(request));
        for (int w = 0; w < c.writes; ++w)
            expected.push_back("fn6 @" + std::to_string(w) + " = 0x000" + std::to_string(w + 1));
        EXPECT_EQ(sent, expected) << "duty cycle " << int(c.dutyCycle);
    }
}

// Once a device has sent its duty cycle's worth of writes, a write the host
// queues before the read's turn must wait for the read: a host that keeps
// writing one value per turn must not starve the device's reads.
TEST_F(WritesTest, writeQueuedAfterAFullDutyCycleWaitsForTheRead)
{
    mbsim::Simulator &sim = startSimulator();
    CModTCPChnl &channel = addChannel(sim.port());
    channel.DutyCycle = 1;
    CModTCPDev &device = addDevice(channel);
    addTag(device, QStringLiteral("First"), QStringLiteral("400001"), DataTypeCode::Word, 1);
    addTag(device, QStringLiteral("Second"), QStringLiteral("400002"), DataTypeCode::Word, 2);
    startRuntime();
    ASSERT_TRUE(waitForValue(1));

    ASSERT_TRUE(runtime->writeHostValue(1, wordValue(11)));
    ASSERT_TRUE(waitFor([&] { return writesOf(sim, 1).size() == 1; }));
    // The device's next turn comes with the channel's next tick, long after
    // this; with a duty cycle of 1 it belongs to a read.
    ASSERT_TRUE(runtime->writeHostValue(2, wordValue(22)));
    ASSERT_TRUE(waitFor([&] { return readAfterWrites(sim, 1, 2); }));

    EXPECT_EQ(turnsFromFirstWrite(sim.requestLog(), 1).substr(0, 3), "WRW");
}

TEST_F(WritesTest, writeOptimizationKeepsOnlyTheLatestValue)
{
    struct OptimizationCase
    {
        quint8 optimization;
        std::vector<std::string> sent;
    };
    // Register 0 is written 10, 20, 30 and coil 0 on, off, on, interleaved.
    // A replaced write keeps its place in the queue; a coil and the holding
    // register with the same number never replace each other.
    const OptimizationCase cases[] = {
        {0,
         {"fn6 @0 = 0x000a", "fn5 @0 = 0x0001", "fn6 @0 = 0x0014", "fn5 @0 = 0x0000",
          "fn6 @0 = 0x001e", "fn5 @0 = 0x0001"}},
        {1, {"fn6 @0 = 0x001e", "fn5 @0 = 0x0001", "fn5 @0 = 0x0000", "fn5 @0 = 0x0001"}},
        {2, {"fn6 @0 = 0x001e", "fn5 @0 = 0x0001"}},
    };

    mbsim::Simulator &sim = startSimulator({1, 2, 3});
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto unit = quint8(i + 1);
        CModTCPChnl &channel = addChannel(sim.port(), QStringLiteral("Chnl%1").arg(unit));
        channel.WriteOptimization = cases[i].optimization;
        CModTCPDev &device = addDevice(channel, unit, QStringLiteral("Dev%1").arg(unit));
        addTag(device, QStringLiteral("Speed"), QStringLiteral("400001"), DataTypeCode::Word,
               unit * 10 + 1);
        addTag(device, QStringLiteral("Run"), QStringLiteral("000001"), DataTypeCode::Boolean,
               unit * 10 + 2);
    }
    startRuntime();
    for (size_t i = 0; i < std::size(cases); ++i)
        ASSERT_TRUE(waitForValue(qint32(i + 1) * 10 + 1));

    for (size_t i = 0; i < std::size(cases); ++i) {
        const qint32 speed = qint32(i + 1) * 10 + 1;
        const qint32 run = speed + 1;
        ASSERT_TRUE(runtime->writeHostValue(speed, wordValue(10)));
        ASSERT_TRUE(runtime->writeHostValue(run, boolValue(true)));
        ASSERT_TRUE(runtime->writeHostValue(speed, wordValue(20)));
        ASSERT_TRUE(runtime->writeHostValue(run, boolValue(false)));
        ASSERT_TRUE(runtime->writeHostValue(speed, wordValue(30)));
        ASSERT_TRUE(runtime->writeHostValue(run, boolValue(true)));
    }

    for (size_t i = 0; i < std::size(cases); ++i) {
        const OptimizationCase &c = cases[i];
        const auto unit = quint8(i + 1);
        ASSERT_TRUE(waitFor([&] { return readAfterWrites(sim, unit, c.sent.size()); }))
            << "optimization " << int(c.optimization);
        std::vector<std::string> sent;
        for (const mbsim::LoggedRequest &request : writesOf(sim, unit))
            sent.push_back(showWrite(request));
        EXPECT_EQ(sent, c.sent) << "optimization " << int(c.optimization);
        EXPECT_EQ(sim.holdingRegister(unit, 0), 30);
        EXPECT_TRUE(sim.coil(unit, 0));
    }
}

} // namespace
