// Reading against a real simulator: what every data type decodes to under each
// byte, word and bit order, the types that are read but never handed over, the
// frames requested for tags in all four tables, and when a tag hands its value
// over to the host.
#include "runtimefixture.h"
#include "valuemakers.h"

#include <string>
#include <vector>

namespace {

// "fn3 @0 x5": function, protocol address and quantity of one request.
std::string show(const mbsim::LoggedRequest &request)
{
    return "fn" + std::to_string(request.function) + " @" + std::to_string(request.address) + " x" +
           std::to_string(request.quantity);
}

bool isRead(const mbsim::LoggedRequest &request)
{
    return request.function >= 1 && request.function <= 4;
}

// The settings a device decodes registers by.
struct Layout
{
    bool defaultByteOrder = true;
    bool firstWordLow = true;
    bool modiconBitOrder = false;
    bool zeroBasedBitAddr = true;

    bool operator==(const Layout &) const = default;
};

class ValuesTest : public RuntimeTest
{
protected:
    struct Placed
    {
        Layout layout;
        CModTCPDev *device = nullptr;
        quint8 unit = 0;
        quint16 nextRegister = 0;
    };

    // One device, with a unit id of its own on the one simulator, for each
    // combination of settings the cases ask for.
    Placed &deviceWith(CModTCPChnl &channel, const Layout &layout)
    {
        for (Placed &placed : devices) {
            if (placed.layout == layout)
                return placed;
        }
        const int unit = int(devices.size()) + 1;
        CModTCPDev &device = addDevice(channel, unit, QStringLiteral("Dev%1").arg(unit));
        device.DefaultByteOrder = layout.defaultByteOrder;
        device.FirstWordLow = layout.firstWordLow;
        device.ModiconBitOrder = layout.modiconBitOrder;
        device.ZeroBasedBitAddr = layout.zeroBasedBitAddr;
        devices.push_back({layout, &device, quint8(unit), 0});
        return devices.back();
    }

    static QString holdingAddress(quint16 protocolAddress)
    {
        return QString::number(400001 + protocolAddress);
    }

    const ReadFrame *frameOf(FrameSpace space, int device = 0)
    {
        for (const ReadFrame &frame : deviceRuntime(0, device).frames()) {
            if (frame.plan().space == space)
                return &frame;
        }
        return nullptr;
    }

    // Waits until the frame has been read `reads` more times.
    bool waitForMoreReads(FrameSpace space, quint32 reads, int device = 0)
    {
        const ReadFrame *frame = frameOf(space, device);
        if (!frame)
            return false;
        const quint32 target = frame->readsOk() + reads;
        return waitFor([&] { return frame->readsOk() >= target; });
    }

    std::vector<Placed> devices;
};

struct DecodeCase
{
    const char *what;
    bool defaultByteOrder;
    bool firstWordLow;
    int dataType;
    quint16 first; // lower address
    quint16 second;
    CModData expected;
};

TEST_F(ValuesTest, registerTypesDecodeByByteAndWordOrder)
{
    // 123.456f is 0x42F6E979: the word halves and the bytes in each half all
    // differ, so any wrong swap shows.
    const DecodeCase cases[] = {
        {"Char takes the low byte, signed", true, true, DataTypeCode::Char, 0x01FF, 0,
         charValue(-1)},
        {"Char with swapped bytes takes the first wire byte", false, true, DataTypeCode::Char,
         0x01FF, 0, charValue(1)},
        {"Char 0x80 is negative", true, true, DataTypeCode::Char, 0x0080, 0, charValue(-128)},
        {"Byte takes the low byte, unsigned", true, true, DataTypeCode::Byte, 0x01FF, 0,
         byteValue(0xFF)},
        {"Byte with swapped bytes", false, true, DataTypeCode::Byte, 0x01FF, 0, byteValue(0x01)},
        {"Short is signed", true, true, DataTypeCode::Short, 0xFFFE, 0, shortValue(-2)},
        {"Short with swapped bytes", false, true, DataTypeCode::Short, 0xFEFF, 0, shortValue(-2)},
        {"Word as on the wire", true, true, DataTypeCode::Word, 0x1234, 0, wordValue(0x1234)},
        {"Word with swapped bytes", false, true, DataTypeCode::Word, 0x1234, 0, wordValue(0x3412)},
        {"Long, first word low", true, true, DataTypeCode::Long, 0x1122, 0x3344,
         longValue(0x33441122)},
        {"Long, first word high", true, false, DataTypeCode::Long, 0x1122, 0x3344,
         longValue(0x11223344)},
        {"Long, swapped bytes, first word low", false, true, DataTypeCode::Long, 0x1122, 0x3344,
         longValue(0x44332211)},
        {"Long, swapped bytes, first word high", false, false, DataTypeCode::Long, 0x1122, 0x3344,
         longValue(0x22114433)},
        {"Long is signed", true, true, DataTypeCode::Long, 0xFFFE, 0xFFFF, longValue(-2)},
        {"DWord, swapped bytes, first word low", false, true, DataTypeCode::DWord, 0x4433, 0x2211,
         dwordValue(0x11223344)},
        {"DWord, first word low", true, true, DataTypeCode::DWord, 0x5678, 0x1234,
         dwordValue(0x12345678)},
        {"DWord above 2^31 stays unsigned", true, false, DataTypeCode::DWord, 0xFFFF, 0xFFFE,
         dwordValue(0xFFFFFFFEu)},
        {"Float, first word low", true, true, DataTypeCode::Float, 0xE979, 0x42F6,
         floatValue(123.456f)},
        {"Float, first word high", true, false, DataTypeCode::Float, 0x42F6, 0xE979,
         floatValue(123.456f)},
        {"Float, swapped bytes, first word low", false, true, DataTypeCode::Float, 0x79E9, 0xF642,
         floatValue(123.456f)},
        {"Float, swapped bytes, first word high", false, false, DataTypeCode::Float, 0xF642, 0x79E9,
         floatValue(123.456f)},
        {"Float negative", true, false, DataTypeCode::Float, 0xBFC0, 0x0000, floatValue(-1.5f)},
    };

    mbsim::Simulator &sim = startSimulator({1, 2, 3, 4});
    CModTCPChnl &channel = addChannel(sim.port());
    std::vector<qint32> requestIds;
    for (const DecodeCase &c : cases) {
        Placed &at = deviceWith(channel, Layout{c.defaultByteOrder, c.firstWordLow});
        const quint16 address = at.nextRegister;
        at.nextRegister += 2;
        sim.setHoldingRegister(at.unit, address, c.first);
        sim.setHoldingRegister(at.unit, address + 1, c.second);
        const qint32 requestId = qint32(requestIds.size()) + 1;
        requestIds.push_back(requestId);
        addTag(*at.device, QStringLiteral("T%1").arg(requestId), holdingAddress(address),
               c.dataType, requestId);
    }
    startRuntime();

    for (size_t i = 0; i < std::size(cases); ++i) {
        const DecodeCase &c = cases[i];
        const auto delivered = waitForValue(requestIds[i]);
        ASSERT_TRUE(delivered) << c.what;
        EXPECT_EQ(show(delivered->value), show(c.expected)) << c.what;
        EXPECT_EQ(delivered->value.type(), c.expected.type()) << c.what;
        EXPECT_FALSE(delivered->inError) << c.what;
    }
}

struct BitCase
{
    const char *what;
    bool modiconBitOrder;
    bool zeroBasedBitAddr;
    bool defaultByteOrder;
    quint8 bitNumber;
    quint16 registerValue;
    bool expected;
};

TEST_F(ValuesTest, bitsDecodeByBitOrderAndCoilsAndInputsAsBoolean)
{
    const BitCase cases[] = {
        {"bit 0 is the LSB", false, true, true, 0, 0x0001, true},
        {"bit 15 is the MSB", false, true, true, 15, 0x8000, true},
        {"bit 15 clear", false, true, true, 15, 0x7FFF, false},
        {"bit 2 set", false, true, true, 2, 0x0004, true},
        {"bit 3 clear beside bit 2", false, true, true, 3, 0x0004, false},
        {"one-based bit 1 is the LSB", false, false, true, 1, 0x0001, true},
        {"one-based bit 3 is mask 0x0004", false, false, true, 3, 0x0004, true},
        {"one-based bit 2 is not mask 0x0004", false, false, true, 2, 0x0004, false},
        {"one-based bit 16 is the MSB", false, false, true, 16, 0x8000, true},
        {"one-based bit 0 selects no bit", false, false, true, 0, 0xFFFF, false},
        {"Modicon bit 0 is the MSB", true, true, true, 0, 0x8000, true},
        {"Modicon bit 0 is not the LSB", true, true, true, 0, 0x0001, false},
        {"Modicon bit 15 is the LSB", true, true, true, 15, 0x0001, true},
        {"Modicon bit 2 is mask 0x2000", true, true, true, 2, 0x2000, true},
        {"Modicon one-based bit 1 is the MSB", true, false, true, 1, 0x8000, true},
        {"Modicon one-based bit 3 is mask 0x2000", true, false, true, 3, 0x2000, true},
        {"Modicon one-based bit 16 is the LSB", true, false, true, 16, 0x0001, true},
        {"swapped bytes: wire 0x0100 has bit 0", false, true, false, 0, 0x0100, true},
        {"swapped bytes: wire 0x0100 lacks bit 8", false, true, false, 8, 0x0100, false},
        {"swapped bytes, Modicon: wire 0x0080 has bit 0", true, true, false, 0, 0x0080, true},
    };

    mbsim::Simulator &sim = startSimulator({1, 2, 3, 4, 5, 6});
    CModTCPChnl &channel = addChannel(sim.port());
    std::vector<qint32> requestIds;
    for (const BitCase &c : cases) {
        Layout layout;
        layout.defaultByteOrder = c.defaultByteOrder;
        layout.modiconBitOrder = c.modiconBitOrder;
        layout.zeroBasedBitAddr = c.zeroBasedBitAddr;
        Placed &at = deviceWith(channel, layout);
        const quint16 address = at.nextRegister++;
        sim.setHoldingRegister(at.unit, address, c.registerValue);
        const qint32 requestId = qint32(requestIds.size()) + 1;
        requestIds.push_back(requestId);
        CModTag &tag = addTag(*at.device, QStringLiteral("B%1").arg(requestId),
                              holdingAddress(address) + u'.' + QString::number(c.bitNumber),
                              DataTypeCode::Boolean, requestId);
        tag.BitNumber = c.bitNumber;
    }

    // Coils and discrete inputs on the first device; the neighbours are set
    // the other way, so a bit taken from the wrong position shows. A coil tag
    // typed Word still reads as a Boolean.
    struct BitTag
    {
        const char *address;
        int dataType;
        bool expected;
        qint32 requestId;
    };
    const BitTag bitTags[] = {
        {"000001", DataTypeCode::Boolean, false, 101}, {"000002", DataTypeCode::Boolean, true, 102},
        {"000004", DataTypeCode::Word, true, 103},     {"100001", DataTypeCode::Boolean, true, 104},
        {"100003", DataTypeCode::Boolean, false, 105},
    };
    CModTCPDev &first = *devices.front().device;
    const quint8 firstUnit = devices.front().unit;
    sim.setCoil(firstUnit, 0, false);
    sim.setCoil(firstUnit, 1, true);
    sim.setCoil(firstUnit, 2, false);
    sim.setCoil(firstUnit, 3, true);
    sim.setDiscreteInput(firstUnit, 0, true);
    sim.setDiscreteInput(firstUnit, 1, true);
    sim.setDiscreteInput(firstUnit, 2, false);
    for (const BitTag &bit : bitTags)
        addTag(first, QStringLiteral("C%1").arg(bit.requestId), QString::fromLatin1(bit.address),
               bit.dataType, bit.requestId);
    startRuntime();

    for (size_t i = 0; i < std::size(cases); ++i) {
        const BitCase &c = cases[i];
        const auto delivered = waitForValue(requestIds[i]);
        ASSERT_TRUE(delivered) << c.what;
        EXPECT_EQ(show(delivered->value), show(boolValue(c.expected))) << c.what;
    }
    for (const BitTag &bit : bitTags) {
        const auto delivered = waitForValue(bit.requestId);
        ASSERT_TRUE(delivered) << bit.address;
        EXPECT_EQ(show(delivered->value), show(boolValue(bit.expected))) << bit.address;
    }
}

TEST_F(ValuesTest, undecodedTypesAreReadButNeverHandedOver)
{
    mbsim::Simulator &sim = startSimulator();
    for (quint16 address = 0; address < 8; ++address)
        sim.setHoldingRegister(1, address, 0x4142);
    sim.setHoldingRegister(1, 8, 99);
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel);
    // Double, BCD and LBCD are decoded (runtime_wide_types_test.cpp).
    const std::pair<int, qint32> undecoded[] = {
        {DataTypeCode::String, 2},
        {DataTypeCode::Date, 5},
    };
    addTag(device, QStringLiteral("Total"), QStringLiteral("400001"), DataTypeCode::Double, 1);
    addTag(device, QStringLiteral("Label"), QStringLiteral("400005"), DataTypeCode::String, 2);
    addTag(device, QStringLiteral("Bcd"), QStringLiteral("400006"), DataTypeCode::BCD, 3);
    addTag(device, QStringLiteral("Lbcd"), QStringLiteral("400007"), DataTypeCode::LBCD, 4);
    addTag(device, QStringLiteral("When"), QStringLiteral("400008"), DataTypeCode::Date, 5);
    addTag(device, QStringLiteral("Level"), QStringLiteral("400009"), DataTypeCode::Word, 6);
    startRuntime();

    const auto level = waitForValue(6);
    ASSERT_TRUE(level);
    EXPECT_EQ(level->value.asInteger(), 99);
    // Plenty of reads of the registers under the undecoded tags.
    ASSERT_TRUE(waitForMoreReads(FrameSpace::HoldingRegisters, 10));
    for (const auto &[dataType, requestId] : undecoded)
        EXPECT_EQ(sink.count(requestId), 0) << DataTypeCode::listName(dataType).toStdString();

    const std::vector<mbsim::LoggedRequest> requests = sim.requestLog();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(show(requests.front()), "fn3 @0 x9");
}

TEST_F(ValuesTest, handsOverOnFirstValueChangeAndLeavingErrorOnly)
{
    mbsim::Simulator &sim = startSimulator();
    sim.setHoldingRegister(1, 0, 5);
    sim.setHoldingRegister(1, 2, 0x0000); // Float 1.5, first word low
    sim.setHoldingRegister(1, 3, 0x3FC0);
    sim.setCoil(1, 0, true);
    sim.setInputRegister(1, 0, 7);
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel);
    addTag(device, QStringLiteral("Count"), QStringLiteral("400001"), DataTypeCode::Word, 1);
    addTag(device, QStringLiteral("Flow"), QStringLiteral("400003"), DataTypeCode::Float, 2);
    addTag(device, QStringLiteral("Pump"), QStringLiteral("000001"), DataTypeCode::Boolean, 3);
    addTag(device, QStringLiteral("Temp"), QStringLiteral("300001"), DataTypeCode::Word, 4);
    startRuntime();

    for (qint32 requestId : {1, 2, 3, 4})
        ASSERT_TRUE(waitForValue(requestId)) << requestId;
    EXPECT_EQ(show(sink.latest(2)->value), show(floatValue(1.5f)));
    // Identical replies hand nothing over.
    ASSERT_TRUE(waitForMoreReads(FrameSpace::HoldingRegisters, 10));
    for (qint32 requestId : {1, 2, 3, 4})
        EXPECT_EQ(sink.count(requestId), 1) << requestId;

    // A change is handed over once; the unchanged tags stay quiet.
    sim.setHoldingRegister(1, 0, 6);
    sim.setHoldingRegister(1, 3, 0x4020); // 2.5
    ASSERT_TRUE(waitFor([&] {
        return sink.latest(1)->value.asInteger() == 6 && sink.latest(2)->value.asFloat() == 2.5f;
    }));
    ASSERT_TRUE(waitForMoreReads(FrameSpace::HoldingRegisters, 10));
    EXPECT_EQ(sink.count(1), 2);
    EXPECT_EQ(sink.count(2), 2);
    EXPECT_EQ(sink.count(3), 1);
    EXPECT_EQ(sink.count(4), 1);

    // One exception reply to the holding frame: its tags go bad with their
    // held values, and the next good reply hands the same values over again.
    mbsim::FaultRule failure;
    failure.table = mbsim::Table::HoldingRegisters;
    failure.kind = mbsim::FaultKind::Exception;
    failure.exceptionCode = 4;
    failure.times = 1;
    sim.addFault(failure);
    ASSERT_TRUE(waitFor([&] { return sink.count(1) >= 4 && sink.count(2) >= 4; }));
    ASSERT_TRUE(waitForMoreReads(FrameSpace::HoldingRegisters, 10));

    std::vector<std::string> history;
    for (const RecordingSink::Delivery &delivery : sink.deliveries) {
        if (delivery.requestId == 1)
            history.push_back(show(delivery.value) + (delivery.inError ? " bad" : " good"));
    }
    EXPECT_EQ(history, (std::vector<std::string>{"Word 5 good", "Word 6 good", "Word 6 bad",
                                                 "Word 6 good"}));
    EXPECT_EQ(sink.count(2), 4);
    EXPECT_FALSE(sink.latest(2)->inError);
    EXPECT_EQ(sink.count(3), 1);
    EXPECT_EQ(sink.count(4), 1);
}

TEST_F(ValuesTest, framesFollowBlockSizesInTableOrder)
{
    mbsim::Simulator &sim = startSimulator({1, 2});
    CModTCPChnl &channel = addChannel(sim.port());

    CModTCPDev &zeroBased = addDevice(channel, 1, QStringLiteral("Dev1"));
    zeroBased.HoldingRegBlock = 10;
    zeroBased.OutputCoilBlock = 8;
    zeroBased.InputCoilBlock = 8;
    zeroBased.InternalRegBlock = 4;
    struct Placement
    {
        const char *address;
        int dataType;
        qint32 requestId;
        CModData expected;
    };
    const Placement placements[] = {
        {"400001", DataTypeCode::Word, 11, wordValue(100)},
        {"400005", DataTypeCode::Word, 12, wordValue(104)},
        {"400012", DataTypeCode::Word, 13, wordValue(111)},
        {"000001", DataTypeCode::Boolean, 21, boolValue(false)},
        {"000010", DataTypeCode::Boolean, 22, boolValue(true)},
        {"100001", DataTypeCode::Boolean, 31, boolValue(true)},
        {"100003", DataTypeCode::Boolean, 32, boolValue(false)},
        {"300001", DataTypeCode::Long, 41, longValue(0x00020001)},
        {"300004", DataTypeCode::Word, 42, wordValue(303)},
        {"300005", DataTypeCode::Word, 43, wordValue(304)},
    };
    // Added out of address order: planning sorts.
    for (auto it = std::rbegin(placements); it != std::rend(placements); ++it)
        addTag(zeroBased, QStringLiteral("T%1").arg(it->requestId),
               QString::fromLatin1(it->address), it->dataType, it->requestId);
    for (quint16 address = 0; address < 12; ++address)
        sim.setHoldingRegister(1, address, 100 + address);
    for (quint16 address = 0; address < 10; ++address)
        sim.setCoil(1, address, address % 2 == 1);
    sim.setDiscreteInput(1, 0, true);
    sim.setDiscreteInput(1, 1, true);
    sim.setDiscreteInput(1, 2, false);
    sim.setInputRegister(1, 0, 0x0001);
    sim.setInputRegister(1, 1, 0x0002);
    sim.setInputRegister(1, 3, 303);
    sim.setInputRegister(1, 4, 304);

    // Without ZeroBasedAddr the number is the protocol address: 400001 is
    // holding register 1, and coil 000001 is coil 1.
    CModTCPDev &oneBased = addDevice(channel, 2, QStringLiteral("Dev2"));
    oneBased.ZeroBasedAddr = false;
    addTag(oneBased, QStringLiteral("U1"), QStringLiteral("400001"), DataTypeCode::Word, 51);
    addTag(oneBased, QStringLiteral("U3"), QStringLiteral("400003"), DataTypeCode::Word, 52);
    addTag(oneBased, QStringLiteral("UC"), QStringLiteral("000001"), DataTypeCode::Boolean, 53);
    sim.setHoldingRegister(2, 0, 200);
    sim.setHoldingRegister(2, 1, 201);
    sim.setHoldingRegister(2, 3, 203);
    sim.setCoil(2, 0, false);
    sim.setCoil(2, 1, true);
    startRuntime();

    for (const Placement &placement : placements) {
        const auto delivered = waitForValue(placement.requestId);
        ASSERT_TRUE(delivered) << placement.address;
        EXPECT_EQ(show(delivered->value), show(placement.expected)) << placement.address;
    }
    const std::pair<qint32, CModData> oneBasedValues[] = {
        {51, wordValue(201)}, {52, wordValue(203)}, {53, boolValue(true)}};
    for (const auto &[requestId, expected] : oneBasedValues) {
        const auto delivered = waitForValue(requestId);
        ASSERT_TRUE(delivered) << requestId;
        EXPECT_EQ(show(delivered->value), show(expected)) << requestId;
    }

    // Input status, coils, holding registers, input registers; each frame no
    // longer than its block and cut at its last tag. Two full rounds.
    const std::vector<std::string> cycle1 = {"fn2 @0 x3",  "fn1 @0 x1", "fn1 @9 x1", "fn3 @0 x5",
                                             "fn3 @11 x1", "fn4 @0 x4", "fn4 @4 x1"};
    const std::vector<std::string> cycle2 = {"fn1 @1 x1", "fn3 @1 x3"};
    const auto readsOf = [&](quint8 unit, size_t count) {
        std::vector<std::string> seen;
        for (const mbsim::LoggedRequest &request : sim.requestLog()) {
            if (request.unitId == unit && isRead(request) && seen.size() < count)
                seen.push_back(show(request));
        }
        return seen;
    };
    ASSERT_TRUE(waitFor([&] {
        return readsOf(1, 2 * cycle1.size()).size() == 2 * cycle1.size() &&
               readsOf(2, 2 * cycle2.size()).size() == 2 * cycle2.size();
    }));
    std::vector<std::string> twice1 = cycle1;
    twice1.insert(twice1.end(), cycle1.begin(), cycle1.end());
    std::vector<std::string> twice2 = cycle2;
    twice2.insert(twice2.end(), cycle2.begin(), cycle2.end());
    EXPECT_EQ(readsOf(1, twice1.size()), twice1);
    EXPECT_EQ(readsOf(2, twice2.size()), twice2);
}

} // namespace
