#include "planfixtures.h"
#include "readplan.h"

#include <gtest/gtest.h>

namespace {

using namespace DataTypeCode;

struct FrameShape
{
    FrameSpace space;
    qint32 start;
    qint32 end;
    qint32 count;
    std::vector<qint32> addresses; // of the records it covers
};

std::vector<FrameShape> shapes(const ReadPlan &plan)
{
    std::vector<FrameShape> result;
    for (const PlannedFrame &frame : plan.frames) {
        FrameShape shape{frame.space, frame.start, frame.end, frame.count, {}};
        for (int index : frame.records)
            shape.addresses.push_back(plan.addressTags[size_t(index)].address);
        result.push_back(shape);
    }
    return result;
}

bool operator==(const FrameShape &a, const FrameShape &b)
{
    return a.space == b.space && a.start == b.start && a.end == b.end && a.count == b.count &&
           a.addresses == b.addresses;
}

void PrintTo(const FrameShape &shape, std::ostream *os)
{
    *os << "{space " << int(shape.space) << ", " << shape.start << ".." << shape.end << " count "
        << shape.count << " records";
    for (qint32 address : shape.addresses)
        *os << ' ' << address;
    *os << '}';
}

constexpr auto Holding = FrameSpace::HoldingRegisters;
constexpr auto InputRegs = FrameSpace::InputRegisters;
constexpr auto Coils = FrameSpace::Coils;
constexpr auto InputStatus = FrameSpace::InputStatus;

TEST(ReadPlan, WordsSplitIntoTwoFramesByBlockSize)
{
    auto device = makeDevice();
    device->HoldingRegBlock = 10;
    device->ZeroBasedAddr = true;
    addTag(device->tags, QStringLiteral("A"), "400001");
    addTag(device->tags, QStringLiteral("B"), "400005");
    addTag(device->tags, QStringLiteral("C"), "400012");
    const ReadPlan plan = planDevice(*device);
    EXPECT_EQ(shapes(plan), (std::vector<FrameShape>{
                                {Holding, 400000, 400009, 5, {400000, 400004}},
                                {Holding, 400011, 400020, 1, {400011}},
                            }));
    EXPECT_EQ(plan.frames[0].protocolStart(), 0);
    EXPECT_EQ(plan.frames[1].protocolStart(), 11);
    EXPECT_EQ(plan.frames[0].readFunction(), ModbusTcp::FunctionCode::ReadHoldingRegisters);
    EXPECT_EQ(plan.addressTags[1].indexInFrame, 4);
    EXPECT_EQ(plan.addressTags[2].indexInFrame, 0);
}

TEST(ReadPlan, FloatFillsABlockOfTwo)
{
    auto device = makeDevice();
    device->HoldingRegBlock = 2;
    addTag(device->tags, QStringLiteral("F"), "400010", Float);
    addTag(device->tags, QStringLiteral("W"), "400012", Word);
    EXPECT_EQ(shapes(planDevice(*device)), (std::vector<FrameShape>{
                                               {Holding, 400009, 400010, 2, {400009}},
                                               {Holding, 400011, 400012, 1, {400011}},
                                           }));
}

TEST(ReadPlan, WordOnTheFloatsSecondRegisterJoinsItsFrame)
{
    auto device = makeDevice();
    device->HoldingRegBlock = 2;
    addTag(device->tags, QStringLiteral("F"), "400010", Float);
    addTag(device->tags, QStringLiteral("W"), "400011", Word);
    const ReadPlan plan = planDevice(*device);
    EXPECT_EQ(shapes(plan), (std::vector<FrameShape>{
                                {Holding, 400009, 400010, 2, {400009, 400010}},
                            }));
    EXPECT_EQ(plan.addressTags[1].indexInFrame, 1);
}

TEST(ReadPlan, DoubleWiderThanTheBlockIsInNoFrame)
{
    auto device = makeDevice();
    device->HoldingRegBlock = 3;
    addTag(device->tags, QStringLiteral("D"), "400001", Double);
    const ReadPlan plan = planDevice(*device);
    EXPECT_EQ(shapes(plan), (std::vector<FrameShape>{{Holding, 400000, 400002, 1, {}}}));
    EXPECT_EQ(plan.addressTags[0].indexInFrame, -1);
}

TEST(ReadPlan, LaterTagJoinsTheFrameOpenedForATooWideOne)
{
    auto device = makeDevice();
    device->HoldingRegBlock = 3;
    addTag(device->tags, QStringLiteral("D"), "400001", Double);
    addTag(device->tags, QStringLiteral("W"), "400003", Word);
    addTag(device->tags, QStringLiteral("X"), "400004", Word);
    const ReadPlan plan = planDevice(*device);
    EXPECT_EQ(shapes(plan), (std::vector<FrameShape>{
                                {Holding, 400000, 400002, 3, {400002}},
                                {Holding, 400003, 400005, 1, {400003}},
                            }));
}

TEST(ReadPlan, WideRecordThatDoesNotFitOverlapsTheFrameBefore)
{
    auto device = makeDevice();
    device->HoldingRegBlock = 2;
    addTag(device->tags, QStringLiteral("W"), "400001", Word);
    addTag(device->tags, QStringLiteral("L"), "400002", Long);
    EXPECT_EQ(shapes(planDevice(*device)), (std::vector<FrameShape>{
                                               {Holding, 400000, 400001, 1, {400000}},
                                               {Holding, 400001, 400002, 2, {400001}},
                                           }));
}

TEST(ReadPlan, TagsAtOneAddressShareARecordOfTheWidestWidth)
{
    auto device = makeDevice();
    CModTag &word = addTag(device->tags, QStringLiteral("W"), "400007", Word);
    CModTag &longTag = addTag(device->tags, QStringLiteral("L"), "400007", Long);
    const ReadPlan plan = planDevice(*device);
    ASSERT_EQ(plan.addressTags.size(), 1u);
    EXPECT_EQ(plan.addressTags[0].width, 2);
    EXPECT_EQ(plan.addressTags[0].tags, (std::vector<CModTag *>{&word, &longTag}));
    EXPECT_EQ(shapes(plan), (std::vector<FrameShape>{{Holding, 400006, 400037, 2, {400006}}}));
}

TEST(ReadPlan, OneBasedAddressesReadTheNumberItself)
{
    auto device = makeDevice();
    device->ZeroBasedAddr = false;
    addTag(device->tags, QStringLiteral("C"), "000001", Boolean);
    addTag(device->tags, QStringLiteral("R"), "300001", Word);
    const ReadPlan plan = planDevice(*device);
    EXPECT_EQ(shapes(plan), (std::vector<FrameShape>{
                                {Coils, 1, 32, 1, {1}},
                                {InputRegs, 300001, 300032, 1, {300001}},
                            }));
    EXPECT_EQ(plan.frames[0].protocolStart(), 1);
    EXPECT_EQ(plan.frames[0].readFunction(), ModbusTcp::FunctionCode::ReadCoils);
    EXPECT_EQ(plan.frames[1].protocolStart(), 1);
    EXPECT_EQ(plan.frames[1].readFunction(), ModbusTcp::FunctionCode::ReadInputRegisters);
}

TEST(ReadPlan, FramesRunInputStatusCoilsHoldingInputRegisters)
{
    auto device = makeDevice();
    device->DeviceId = 7;
    device->OutputCoilBlock = 8;
    device->InputCoilBlock = 8;
    device->InternalRegBlock = 4;
    device->HoldingRegBlock = 4;
    // Added in a mixed order; each space's frames come out in start order.
    addTag(device->tags, QStringLiteral("IR2"), "300011");
    addTag(device->tags, QStringLiteral("HR2"), "400011");
    addTag(device->tags, QStringLiteral("C2"), "000011", Boolean);
    addTag(device->tags, QStringLiteral("IS2"), "100011", Boolean);
    addTag(device->tags, QStringLiteral("IR1"), "300001");
    addTag(device->tags, QStringLiteral("HR1"), "400001");
    addTag(device->tags, QStringLiteral("C1"), "000001", Boolean);
    addTag(device->tags, QStringLiteral("IS1"), "100001", Boolean);
    const ReadPlan plan = planDevice(*device);
    EXPECT_EQ(shapes(plan), (std::vector<FrameShape>{
                                {InputStatus, 100000, 100007, 1, {100000}},
                                {InputStatus, 100010, 100017, 1, {100010}},
                                {Coils, 0, 7, 1, {0}},
                                {Coils, 10, 17, 1, {10}},
                                {Holding, 400000, 400003, 1, {400000}},
                                {Holding, 400010, 400013, 1, {400010}},
                                {InputRegs, 300000, 300003, 1, {300000}},
                                {InputRegs, 300010, 300013, 1, {300010}},
                            }));
    for (int i = 0; i < int(plan.frames.size()); ++i) {
        EXPECT_EQ(plan.frames[size_t(i)].frameIndex, i);
        EXPECT_EQ(plan.frames[size_t(i)].unitId, 7);
    }
    EXPECT_EQ(plan.frames[0].readFunction(), ModbusTcp::FunctionCode::ReadDiscreteInputs);
    EXPECT_EQ(plan.frames[0].protocolStart(), 0);
}

TEST(ReadPlan, GapsInsideAFrameAreReadWithIt)
{
    auto device = makeDevice();
    addTag(device->tags, QStringLiteral("A"), "400001");
    addTag(device->tags, QStringLiteral("B"), "400010", Float);
    EXPECT_EQ(shapes(planDevice(*device)), (std::vector<FrameShape>{
                                               {Holding, 400000, 400031, 11, {400000, 400009}},
                                           }));
}

TEST(ReadPlan, AddressesOutsideTheSpacesAreNotRead)
{
    auto device = makeDevice();
    addTag(device->tags, QStringLiteral("Z"), "400000"); // zero-based: 399999
    addTag(device->tags, QStringLiteral("Y"), "200001");
    addTag(device->tags, QStringLiteral("X"), "000000", Boolean); // zero-based: -1
    addTag(device->tags, QStringLiteral("Top"), "465536");        // zero-based: 465535
    const ReadPlan plan = planDevice(*device);
    EXPECT_EQ(plan.addressTags.size(), 4u) << "every address still has its record";
    // The frame ends where its space ends, not a block further.
    EXPECT_EQ(shapes(plan), (std::vector<FrameShape>{{Holding, 465535, 465535, 1, {465535}}}));
    EXPECT_EQ(plan.frames[0].protocolStart(), 65535);
    EXPECT_TRUE(plan.beyondSpace.empty());
}

TEST(ReadPlan, ATagRunningPastItsSpaceIsInNoFrame)
{
    auto device = makeDevice();
    addTag(device->tags, QStringLiteral("Last"), "465535");        // zero-based: 465534
    addTag(device->tags, QStringLiteral("Edge"), "465536", Float); // 465535 and 465536
    addTag(device->tags, QStringLiteral("Coil"), "065536", Long);  // coils 65535 and 65536
    const ReadPlan plan = planDevice(*device);
    EXPECT_EQ(shapes(plan), (std::vector<FrameShape>{{Holding, 465534, 465535, 1, {465534}}}));
    ASSERT_EQ(plan.beyondSpace.size(), 2u);
    EXPECT_EQ(plan.addressTags[size_t(plan.beyondSpace[0])].address, 65535);
    EXPECT_EQ(plan.addressTags[size_t(plan.beyondSpace[1])].address, 465535);
}

TEST(ReadPlan, DataTypeWidths)
{
    EXPECT_EQ(plannedWidth(Boolean), 1);
    EXPECT_EQ(plannedWidth(Char), 1);
    EXPECT_EQ(plannedWidth(Byte), 1);
    EXPECT_EQ(plannedWidth(Short), 1);
    EXPECT_EQ(plannedWidth(Word), 1);
    EXPECT_EQ(plannedWidth(Long), 2);
    EXPECT_EQ(plannedWidth(DWord), 2);
    EXPECT_EQ(plannedWidth(Float), 2);
    EXPECT_EQ(plannedWidth(Double), 4);
    EXPECT_EQ(plannedWidth(String), 1);
    EXPECT_EQ(plannedWidth(BCD), 1);
    EXPECT_EQ(plannedWidth(LBCD), 2);
    EXPECT_EQ(plannedWidth(Date), 1);
}

TEST(ReadPlan, BlockOfOneGivesAFramePerRegister)
{
    auto device = makeDevice();
    device->HoldingRegBlock = 1;
    addTag(device->tags, QStringLiteral("A"), "400001");
    addTag(device->tags, QStringLiteral("B"), "400002");
    addTag(device->tags, QStringLiteral("F"), "400003", Float);
    EXPECT_EQ(shapes(planDevice(*device)), (std::vector<FrameShape>{
                                               {Holding, 400000, 400000, 1, {400000}},
                                               {Holding, 400001, 400001, 1, {400001}},
                                               {Holding, 400002, 400002, 1, {}},
                                           }));
}

TEST(ReadPlan, FullRegisterBlockAndOneMore)
{
    auto device = makeDevice();
    device->HoldingRegBlock = 125;
    for (int i = 1; i <= 126; ++i)
        addTag(device->tags, QStringLiteral("T%1").arg(i),
               QByteArray::number(400000 + i).constData());
    const ReadPlan plan = planDevice(*device);
    ASSERT_EQ(plan.frames.size(), 2u);
    EXPECT_EQ(plan.frames[0].count, 125);
    EXPECT_EQ(plan.frames[0].records.size(), 125u);
    EXPECT_EQ(plan.frames[1].start, 400125);
    EXPECT_EQ(plan.frames[1].count, 1);
}

TEST(ReadPlan, FullCoilBlock)
{
    auto device = makeDevice();
    device->OutputCoilBlock = 2000;
    addTag(device->tags, QStringLiteral("First"), "000001", Boolean);
    addTag(device->tags, QStringLiteral("Last"), "002000", Boolean);
    addTag(device->tags, QStringLiteral("Next"), "002001", Boolean);
    EXPECT_EQ(shapes(planDevice(*device)), (std::vector<FrameShape>{
                                               {Coils, 0, 1999, 2000, {0, 1999}},
                                               {Coils, 2000, 3999, 1, {2000}},
                                           }));
}

TEST(ReadPlan, BlockSizesOutsideTheProtocolAreHeldToIt)
{
    ReadPlanSettings settings;
    settings.holdingRegBlock = 200;
    settings.internalRegBlock = 0;
    settings.outputCoilBlock = 4000;
    settings.inputCoilBlock = -5;
    EXPECT_EQ(settings.blockSize(Holding), ModbusTcp::MaxReadRegisters);
    EXPECT_EQ(settings.blockSize(InputRegs), 1);
    EXPECT_EQ(settings.blockSize(Coils), ModbusTcp::MaxReadBits);
    EXPECT_EQ(settings.blockSize(InputStatus), 1);

    auto device = makeDevice();
    device->HoldingRegBlock = 300;
    addTag(device->tags, QStringLiteral("A"), "400001");
    addTag(device->tags, QStringLiteral("B"), "400200");
    const ReadPlan plan = planDevice(*device);
    ASSERT_EQ(plan.frames.size(), 2u);
    EXPECT_EQ(plan.frames[0].end, 400124);
    for (const PlannedFrame &frame : plan.frames)
        EXPECT_LE(frame.count, ModbusTcp::MaxReadRegisters);
}

TEST(ReadPlan, TagsArePlannedInProjectOrder)
{
    auto device = makeDevice();
    CModTag &own = addTag(device->tags, QStringLiteral("Own"), "400001");
    auto group = addGroup(device->groups, QStringLiteral("G1"));
    auto sub = addGroup(group->groups, QStringLiteral("G1a"));
    auto group2 = addGroup(device->groups, QStringLiteral("G2"));
    CModTag &inSub = addTag(sub->tags, QStringLiteral("InSub"), "400001");
    CModTag &inGroup = addTag(group->tags, QStringLiteral("InGroup"), "400001");
    CModTag &inGroup2 = addTag(group2->tags, QStringLiteral("InGroup2"), "400001");
    const ReadPlan plan = planDevice(*device);
    ASSERT_EQ(plan.addressTags.size(), 1u);
    EXPECT_EQ(plan.addressTags[0].tags,
              (std::vector<CModTag *>{&own, &inGroup, &inSub, &inGroup2}));
}

TEST(ReadPlan, NoTagsNoFrames)
{
    auto device = makeDevice();
    const ReadPlan plan = planDevice(*device);
    EXPECT_TRUE(plan.addressTags.empty());
    EXPECT_TRUE(plan.frames.empty());
}

TEST(ReadPlan, NoFrameExceedsItsBlockAndEveryTagFitsItsFrame)
{
    auto device = makeDevice();
    device->HoldingRegBlock = 7;
    const int types[] = {Word, Long, Float, Double, Boolean, Short};
    for (int i = 0; i < 300; ++i)
        addTag(device->tags, QStringLiteral("T%1").arg(i),
               QByteArray::number(400001 + (i * 37) % 500).constData(), types[i % 6]);
    const ReadPlan plan = planDevice(*device);
    for (const PlannedFrame &frame : plan.frames) {
        EXPECT_LE(frame.count, 7);
        for (int index : frame.records) {
            const AddressRecord &record = plan.addressTags[size_t(index)];
            EXPECT_GE(record.address, frame.start);
            EXPECT_LE(record.address + record.width - 1, frame.start + frame.count - 1);
        }
    }
}

// Planning time is measured by bench/poll; here the large plan must only be whole.
TEST(ReadPlan, HundredThousandTagsArePlannedWhole)
{
    auto device = makeDevice();
    device->HoldingRegBlock = 125;
    device->InternalRegBlock = 100;
    device->OutputCoilBlock = 2000;
    for (int i = 0; i < 100000; ++i) {
        const int space = i % 4;
        const char *base[] = {"4", "3", "0", "1"};
        // Spread over each table, in reverse, with some addresses shared.
        const int offset = 1 + (65000 - (i / 4) * 13 % 65000);
        const QByteArray address = base[space] + QByteArray::number(offset).rightJustified(5, '0');
        addTag(device->tags, QStringLiteral("T%1").arg(i), address.constData(),
               space < 2 ? (i % 3 == 0 ? Float : Word) : Boolean);
    }
    const ReadPlan plan = planDevice(*device);
    size_t tags = 0;
    for (const AddressRecord &record : plan.addressTags)
        tags += record.tags.size();
    EXPECT_EQ(tags, 100000u);
}

TEST(ReadPlan, ResetTagsForRunClearsErrorAndValueAndAsksForRedraw)
{
    auto device = makeDevice();
    CModTag &tag = addTag(device->tags, QStringLiteral("A"), "400001");
    auto group = addGroup(device->groups, QStringLiteral("G"));
    CModTag &grouped = addTag(group->tags, QStringLiteral("B"), "400002");
    tag.flags = CModTag::ErrorState | CModTag::ValuePresent;
    grouped.flags = CModTag::ValuePresent;
    resetTagsForRun(*device);
    EXPECT_EQ(tag.flags, quint32(CModTag::Redraw));
    EXPECT_EQ(grouped.flags, quint32(CModTag::Redraw));
}

} // namespace
