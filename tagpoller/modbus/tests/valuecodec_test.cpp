#include "cmoddevice.h"
#include "datatypes.h"
#include "valuecodec.h"

#include <gtest/gtest.h>

#include <bit>
#include <limits>
#include <vector>

namespace {

using namespace ValueCodec;
using ModbusTcp::FunctionCode;

// The four byte and word order combinations a device can be set to.
constexpr WordOrder BigEndianHighFirst{true, false};
constexpr WordOrder BigEndianLowFirst{true, true};
constexpr WordOrder SwappedHighFirst{false, false};
constexpr WordOrder SwappedLowFirst{false, true};
constexpr WordOrder AllWordOrders[] = {BigEndianHighFirst, BigEndianLowFirst, SwappedHighFirst,
                                       SwappedLowFirst};

constexpr BitOrder LsbZeroBased{false, true};

CModData charValue(qint8 v)
{
    CModData d;
    d.setChar(v);
    return d;
}
CModData byteValue(quint8 v)
{
    CModData d;
    d.setByte(v);
    return d;
}
CModData shortValue(qint16 v)
{
    CModData d;
    d.setShort(v);
    return d;
}
CModData wordValue(quint16 v)
{
    CModData d;
    d.setWord(v);
    return d;
}
CModData boolValue(bool v)
{
    CModData d;
    d.setBoolean(v);
    return d;
}
CModData longValue(qint32 v)
{
    CModData d;
    d.setLong(v);
    return d;
}
CModData dwordValue(quint32 v)
{
    CModData d;
    d.setDWord(v);
    return d;
}
CModData floatBits(quint32 bits)
{
    CModData d;
    d.setFloat(std::bit_cast<float>(bits));
    return d;
}
CModData booleanValue(bool v)
{
    CModData d;
    d.setBoolean(v);
    return d;
}

struct GoldenDecode
{
    const char *name;
    int dataType;
    std::vector<quint16> registers; // as read: the big-endian word of the wire
    WordOrder order;
    CModData expected;
};

const GoldenDecode GoldenDecodes[] = {
    {"word-big-endian", DataTypeCode::Word, {0x1234}, BigEndianLowFirst, wordValue(0x1234)},
    {"word-swapped-bytes", DataTypeCode::Word, {0x1234}, SwappedLowFirst, wordValue(0x3412)},
    {"word-max", DataTypeCode::Word, {0xFFFF}, BigEndianLowFirst, wordValue(0xFFFF)},
    {"short-min", DataTypeCode::Short, {0x8000}, BigEndianLowFirst, shortValue(-32768)},
    {"short-minus-one", DataTypeCode::Short, {0xFFFF}, BigEndianLowFirst, shortValue(-1)},
    {"short-max", DataTypeCode::Short, {0x7FFF}, BigEndianLowFirst, shortValue(32767)},
    {"short-swapped-bytes", DataTypeCode::Short, {0x0080}, SwappedHighFirst, shortValue(-32768)},
    {"char-low-byte-big-endian", DataTypeCode::Char, {0x01FF}, BigEndianLowFirst, charValue(-1)},
    {"char-low-byte-swapped", DataTypeCode::Char, {0x01FF}, SwappedLowFirst, charValue(0x01)},
    {"char-min", DataTypeCode::Char, {0x0080}, BigEndianLowFirst, charValue(-128)},
    {"char-max", DataTypeCode::Char, {0xFF7F}, BigEndianLowFirst, charValue(127)},
    {"byte-low-byte-big-endian", DataTypeCode::Byte, {0x01FF}, BigEndianLowFirst, byteValue(0xFF)},
    {"byte-low-byte-swapped", DataTypeCode::Byte, {0x01FF}, SwappedLowFirst, byteValue(0x01)},
    {"dword-high-first",
     DataTypeCode::DWord,
     {0x1234, 0x5678},
     BigEndianHighFirst,
     dwordValue(0x12345678)},
    {"dword-low-first",
     DataTypeCode::DWord,
     {0x1234, 0x5678},
     BigEndianLowFirst,
     dwordValue(0x56781234)},
    {"dword-swapped-high-first",
     DataTypeCode::DWord,
     {0x1122, 0x3344},
     SwappedHighFirst,
     dwordValue(0x22114433)},
    {"dword-swapped-low-first",
     DataTypeCode::DWord,
     {0x4433, 0x2211},
     SwappedLowFirst,
     dwordValue(0x11223344)},
    {"dword-max",
     DataTypeCode::DWord,
     {0xFFFF, 0xFFFF},
     BigEndianHighFirst,
     dwordValue(0xFFFFFFFF)},
    {"dword-extra-registers-ignored",
     DataTypeCode::DWord,
     {0x0001, 0x0002, 0xFFFF},
     BigEndianHighFirst,
     dwordValue(0x00010002)},
    {"long-minus-one", DataTypeCode::Long, {0xFFFF, 0xFFFF}, BigEndianLowFirst, longValue(-1)},
    {"long-min-high-first",
     DataTypeCode::Long,
     {0x8000, 0x0000},
     BigEndianHighFirst,
     longValue(std::numeric_limits<qint32>::min())},
    {"long-min-low-first",
     DataTypeCode::Long,
     {0x0000, 0x8000},
     BigEndianLowFirst,
     longValue(std::numeric_limits<qint32>::min())},
    {"long-max-swapped-low-first",
     DataTypeCode::Long,
     {0xFFFF, 0xFF7F},
     SwappedLowFirst,
     longValue(std::numeric_limits<qint32>::max())},
    {"float-one-high-first",
     DataTypeCode::Float,
     {0x3F80, 0x0000},
     BigEndianHighFirst,
     floatBits(0x3F800000)},
    {"float-one-low-first",
     DataTypeCode::Float,
     {0x0000, 0x3F80},
     BigEndianLowFirst,
     floatBits(0x3F800000)},
    {"float-one-swapped-high-first",
     DataTypeCode::Float,
     {0x803F, 0x0000},
     SwappedHighFirst,
     floatBits(0x3F800000)},
    {"float-minus-two-swapped-low-first",
     DataTypeCode::Float,
     {0x0000, 0x00C0},
     SwappedLowFirst,
     floatBits(0xC0000000)},
    // The holder keeps the exact bit pattern, a signalling NaN included.
    {"float-signalling-nan",
     DataTypeCode::Float,
     {0x7F80, 0x0001},
     BigEndianHighFirst,
     floatBits(0x7F800001)},
    {"float-quiet-nan-payload",
     DataTypeCode::Float,
     {0xFFC1, 0x2345},
     BigEndianHighFirst,
     floatBits(0xFFC12345)},
    {"float-minus-zero",
     DataTypeCode::Float,
     {0x8000, 0x0000},
     BigEndianHighFirst,
     floatBits(0x80000000)},
    // Registers missing from a short reply arrive as 0xFFFF and decode like data.
    {"float-missing-registers",
     DataTypeCode::Float,
     {0xFFFF, 0xFFFF},
     BigEndianHighFirst,
     floatBits(0xFFFFFFFF)},
};

TEST(ValueCodecDecode, GoldenRegisters)
{
    for (const GoldenDecode &row : GoldenDecodes) {
        SCOPED_TRACE(row.name);
        const DecodeResult result =
            decodeRegisters(row.dataType, row.registers, 0, row.order, LsbZeroBased);
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.value->type(), row.dataType);
        // Holders compare by type and the whole 8-byte field, so floats compare by bits.
        EXPECT_EQ(*result.value, row.expected) << result.value->text().toStdString();
    }
}

TEST(ValueCodecDecode, FloatValueIsTheIeeeSingleOfTheCombinedWords)
{
    const DecodeResult result =
        decodeRegisters(DataTypeCode::Float, std::vector<quint16>{0x4049, 0x0FDB}, 0,
                        BigEndianHighFirst, LsbZeroBased);
    ASSERT_TRUE(result.ok());
    EXPECT_FLOAT_EQ(result.value->asFloat(), 3.14159274f);
}

TEST(ValueCodecDecode, TypesThatAreNotDecoded)
{
    const std::vector<quint16> registers = {0x1234, 0x5678, 0x9ABC, 0xDEF0};
    for (int type : {int(DataTypeCode::String), int(DataTypeCode::Date), 13, -1}) {
        const DecodeResult result =
            decodeRegisters(type, registers, 0, BigEndianLowFirst, LsbZeroBased);
        EXPECT_FALSE(result.ok()) << type;
        EXPECT_EQ(result.error, DecodeError::TypeNotDecoded) << type;
    }
}

TEST(ValueCodecDecode, DoubleInEveryWordDwordAndByteOrder)
{
    // -1234.5678 is 0xC093'4A45'6D5C'FAAD.
    const double expected = -1234.5678;
    struct Case
    {
        WordOrder order;
        std::vector<quint16> registers;
    };
    const Case cases[] = {
        {{true, true, true}, {0xFAAD, 0x6D5C, 0x4A45, 0xC093}},
        {{true, false, true}, {0x6D5C, 0xFAAD, 0xC093, 0x4A45}},
        {{true, true, false}, {0x4A45, 0xC093, 0xFAAD, 0x6D5C}},
        {{true, false, false}, {0xC093, 0x4A45, 0x6D5C, 0xFAAD}},
        {{false, true, true}, {0xADFA, 0x5C6D, 0x454A, 0x93C0}},
        {{false, false, true}, {0x5C6D, 0xADFA, 0x93C0, 0x454A}},
        {{false, true, false}, {0x454A, 0x93C0, 0xADFA, 0x5C6D}},
        {{false, false, false}, {0x93C0, 0x454A, 0x5C6D, 0xADFA}},
    };
    for (const Case &c : cases) {
        const DecodeResult result =
            decodeRegisters(DataTypeCode::Double, c.registers, 0, c.order, LsbZeroBased);
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.value->type(), DataTypeCode::Double);
        EXPECT_EQ(result.value->asDouble(), expected);
        // And the same registers go back out.
        const EncodeResult written =
            encodeWrite(*result.value, DataTypeCode::Double, WriteTarget::HoldingRegister, c.order);
        ASSERT_TRUE(written.ok());
        EXPECT_EQ(written.request->function, FunctionCode::WriteMultipleRegisters);
        EXPECT_EQ(std::vector<quint16>(written.request->registers.begin(),
                                       written.request->registers.end()),
                  c.registers);
    }
    const std::vector<quint16> three = {0, 0, 0};
    EXPECT_EQ(
        decodeRegisters(DataTypeCode::Double, three, 0, BigEndianLowFirst, LsbZeroBased).error,
        DecodeError::TooFewRegisters);
}

TEST(ValueCodecDecode, BcdDigitsAndInvalidNibbles)
{
    const auto bcd = [](quint16 reg, WordOrder order) {
        const std::vector<quint16> one = {reg};
        return decodeRegisters(DataTypeCode::BCD, one, 0, order, LsbZeroBased);
    };
    DecodeResult result = bcd(0x1234, BigEndianLowFirst);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value->type(), DataTypeCode::Word);
    EXPECT_EQ(result.value->asInteger(), 1234);
    EXPECT_EQ(bcd(0x9999, BigEndianLowFirst).value->asInteger(), 9999);
    EXPECT_EQ(bcd(0x0000, BigEndianLowFirst).value->asInteger(), 0);
    EXPECT_EQ(bcd(0x3412, SwappedLowFirst).value->asInteger(), 1234);
    for (quint16 reg : {quint16(0x00FA), quint16(0xA000), quint16(0x0A00), quint16(0xFFFF)})
        EXPECT_EQ(bcd(reg, BigEndianLowFirst).error, DecodeError::InvalidBcd) << reg;

    const auto lbcd = [](quint16 first, quint16 second, WordOrder order) {
        const std::vector<quint16> two = {first, second};
        return decodeRegisters(DataTypeCode::LBCD, two, 0, order, LsbZeroBased);
    };
    result = lbcd(0x5678, 0x1234, BigEndianLowFirst);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value->type(), DataTypeCode::DWord);
    EXPECT_EQ(result.value->asInteger64(), 12345678);
    EXPECT_EQ(lbcd(0x1234, 0x5678, BigEndianHighFirst).value->asInteger64(), 12345678);
    EXPECT_EQ(lbcd(0x3412, 0x7856, SwappedHighFirst).value->asInteger64(), 12345678);
    EXPECT_EQ(lbcd(0x9999, 0x9999, BigEndianLowFirst).value->asInteger64(), 99999999);
    EXPECT_EQ(lbcd(0x5678, 0x12B4, BigEndianLowFirst).error, DecodeError::InvalidBcd);
    EXPECT_EQ(lbcd(0x567F, 0x1234, BigEndianLowFirst).error, DecodeError::InvalidBcd);
    const std::vector<quint16> one = {0x1234};
    EXPECT_EQ(decodeRegisters(DataTypeCode::LBCD, one, 0, BigEndianLowFirst, LsbZeroBased).error,
              DecodeError::TooFewRegisters);
}

TEST(ValueCodecEncode, BcdAndLbcdWrites)
{
    EncodeResult written = encodeWrite(wordValue(1234), DataTypeCode::BCD,
                                       WriteTarget::HoldingRegister, BigEndianLowFirst);
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(written.request->function, FunctionCode::WriteSingleRegister);
    EXPECT_EQ(written.request->registers, QList<quint16>{0x1234});
    written = encodeWrite(wordValue(1234), DataTypeCode::BCD, WriteTarget::HoldingRegister,
                          SwappedLowFirst);
    EXPECT_EQ(written.request->registers, QList<quint16>{0x3412});
    written = encodeWrite(dwordValue(12345678), DataTypeCode::LBCD, WriteTarget::HoldingRegister,
                          BigEndianLowFirst);
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(written.request->function, FunctionCode::WriteMultipleRegisters);
    EXPECT_EQ(written.request->registers, (QList<quint16>{0x5678, 0x1234}));
    written = encodeWrite(dwordValue(12345678), DataTypeCode::LBCD, WriteTarget::HoldingRegister,
                          SwappedHighFirst);
    EXPECT_EQ(written.request->registers, (QList<quint16>{0x3412, 0x7856}));

    EXPECT_TRUE(fitsDataType(wordValue(9999), DataTypeCode::BCD));
    EXPECT_FALSE(fitsDataType(wordValue(10000), DataTypeCode::BCD));
    EXPECT_TRUE(fitsDataType(dwordValue(99999999), DataTypeCode::LBCD));
    EXPECT_FALSE(fitsDataType(dwordValue(100000000), DataTypeCode::LBCD));
    EXPECT_FALSE(fitsDataType(longValue(-1), DataTypeCode::LBCD));
}

TEST(ValueCodecEncode, DevicesWithoutSingleWritesGetTheMultipleForms)
{
    const WriteFunctions multipleOnly{false, false, false};
    EncodeResult written =
        encodeWrite(wordValue(0x1234), DataTypeCode::Word, WriteTarget::HoldingRegister,
                    BigEndianLowFirst, multipleOnly);
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(written.request->function, FunctionCode::WriteMultipleRegisters);
    EXPECT_EQ(written.request->registers, QList<quint16>{0x1234});
    written = encodeWrite(boolValue(true), DataTypeCode::Boolean, WriteTarget::Coil,
                          BigEndianLowFirst, multipleOnly);
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(written.request->function, FunctionCode::WriteMultipleCoils);
    EXPECT_TRUE(written.request->coilOn);
}

TEST(ValueCodecEncode, RegisterBitsByMaskWrite)
{
    const WriteFunctions maskWrites{true, true, true};
    struct Case
    {
        int bitNumber;
        BitOrder bits;
        WordOrder words;
        quint16 wireMask;
    };
    const Case cases[] = {
        {3, {false, true}, BigEndianLowFirst, 0x0008},
        {3, {false, false}, BigEndianLowFirst, 0x0004},
        {1, {true, false}, BigEndianLowFirst, 0x8000},
        {0, {true, true}, BigEndianLowFirst, 0x8000},
        // Bit 3 of the register as the device's byte order has it is bit 11
        // of the register on the wire.
        {3, {false, true}, SwappedLowFirst, 0x0800},
    };
    for (const Case &c : cases) {
        EncodeResult on =
            encodeWrite(boolValue(true), DataTypeCode::Boolean, WriteTarget::HoldingRegister,
                        c.words, maskWrites, c.bitNumber, c.bits);
        ASSERT_TRUE(on.ok()) << c.bitNumber;
        EXPECT_EQ(on.request->function, FunctionCode::MaskWriteRegister);
        EXPECT_EQ(on.request->andMask, quint16(~c.wireMask)) << c.bitNumber;
        EXPECT_EQ(on.request->orMask, c.wireMask) << c.bitNumber;
        EncodeResult off =
            encodeWrite(wordValue(0), DataTypeCode::Boolean, WriteTarget::HoldingRegister, c.words,
                        maskWrites, c.bitNumber, c.bits);
        ASSERT_TRUE(off.ok());
        EXPECT_EQ(off.request->andMask, quint16(~c.wireMask));
        EXPECT_EQ(off.request->orMask, 0);
    }
    EXPECT_EQ(encodeWrite(boolValue(true), DataTypeCode::Boolean, WriteTarget::HoldingRegister,
                          BigEndianLowFirst, maskWrites, 16, LsbZeroBased)
                  .error,
              EncodeError::NoSuchBit);
    EXPECT_EQ(encodeWrite(boolValue(true), DataTypeCode::Boolean, WriteTarget::HoldingRegister,
                          BigEndianLowFirst, maskWrites, 0, BitOrder{false, false})
                  .error,
              EncodeError::NoSuchBit);
}

TEST(ValueCodecDecode, TooFewRegisters)
{
    const std::vector<quint16> none;
    const std::vector<quint16> one = {0x1234};
    for (int type : {int(DataTypeCode::Boolean), int(DataTypeCode::Char), int(DataTypeCode::Byte),
                     int(DataTypeCode::Short), int(DataTypeCode::Word)})
        EXPECT_EQ(decodeRegisters(type, none, 0, BigEndianLowFirst, LsbZeroBased).error,
                  DecodeError::TooFewRegisters)
            << type;
    for (int type : {int(DataTypeCode::Long), int(DataTypeCode::DWord), int(DataTypeCode::Float)}) {
        EXPECT_EQ(decodeRegisters(type, none, 0, BigEndianLowFirst, LsbZeroBased).error,
                  DecodeError::TooFewRegisters)
            << type;
        EXPECT_EQ(decodeRegisters(type, one, 0, BigEndianLowFirst, LsbZeroBased).error,
                  DecodeError::TooFewRegisters)
            << type;
    }
}

TEST(ValueCodecBits, MaskByBitOrder)
{
    const BitOrder modiconOneBased{true, false};
    const BitOrder modiconZeroBased{true, true};
    const BitOrder lsbOneBased{false, false};

    EXPECT_EQ(registerBitMask(1, modiconOneBased), quint16(0x8000));
    EXPECT_EQ(registerBitMask(3, LsbZeroBased), quint16(0x0008));

    EXPECT_EQ(registerBitMask(0, LsbZeroBased), quint16(0x0001));
    EXPECT_EQ(registerBitMask(0, modiconZeroBased), quint16(0x8000));
    EXPECT_EQ(registerBitMask(15, LsbZeroBased), quint16(0x8000));
    EXPECT_EQ(registerBitMask(15, modiconZeroBased), quint16(0x0001));
    EXPECT_EQ(registerBitMask(1, lsbOneBased), quint16(0x0001));

    // Bit 16 is accepted in addresses: counted from 1 it is the last bit,
    // counted from 0 it selects none.
    EXPECT_EQ(registerBitMask(16, lsbOneBased), quint16(0x8000));
    EXPECT_EQ(registerBitMask(16, modiconOneBased), quint16(0x0001));
    EXPECT_EQ(registerBitMask(16, LsbZeroBased), std::nullopt);
    EXPECT_EQ(registerBitMask(16, modiconZeroBased), std::nullopt);
    EXPECT_EQ(registerBitMask(255, LsbZeroBased), std::nullopt);

    // Bit 0 counted from 1 lies before the first bit.
    EXPECT_EQ(registerBitMask(0, lsbOneBased), std::nullopt);
    EXPECT_EQ(registerBitMask(0, modiconOneBased), std::nullopt);
}

bool registerBoolean(quint16 reg, int bitNumber, WordOrder order, BitOrder bits)
{
    const DecodeResult result =
        decodeRegisters(DataTypeCode::Boolean, std::vector<quint16>{reg}, bitNumber, order, bits);
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.value->type(), DataTypeCode::Boolean);
    return result.value->asInteger() == 1;
}

TEST(ValueCodecBits, BooleanFromRegisterBit)
{
    const BitOrder modiconZeroBased{true, true};
    EXPECT_TRUE(registerBoolean(0x0001, 0, BigEndianLowFirst, LsbZeroBased));
    EXPECT_FALSE(registerBoolean(0x0001, 0, BigEndianLowFirst, modiconZeroBased));
    EXPECT_TRUE(registerBoolean(0x8000, 0, BigEndianLowFirst, modiconZeroBased));
    EXPECT_TRUE(registerBoolean(0x0008, 3, BigEndianLowFirst, LsbZeroBased));
    EXPECT_FALSE(registerBoolean(0xFFF7, 3, BigEndianLowFirst, LsbZeroBased));
    // The byte order comes first: 0x0100 as read is 0x0001 on a swapped device.
    EXPECT_TRUE(registerBoolean(0x0100, 0, SwappedLowFirst, LsbZeroBased));
    EXPECT_FALSE(registerBoolean(0x0100, 0, BigEndianLowFirst, LsbZeroBased));
    EXPECT_TRUE(registerBoolean(0x0100, 8, BigEndianLowFirst, LsbZeroBased));
    // A bit that selects nothing reads 0, even in a register of all ones.
    EXPECT_FALSE(registerBoolean(0xFFFF, 16, BigEndianLowFirst, LsbZeroBased));
    EXPECT_FALSE(registerBoolean(0xFFFF, 0, BigEndianLowFirst, BitOrder{false, false}));
    EXPECT_TRUE(registerBoolean(0x8000, 16, BigEndianLowFirst, BitOrder{false, false}));
}

TEST(ValueCodecBits, ReplyBitsAreLeastSignificantFirst)
{
    const char bytes[] = {char(0xCD), char(0x01)}; // 1100 1101, 0000 0001
    const QByteArrayView view(bytes, 2);
    EXPECT_EQ(replyBit(view, 0), true);
    EXPECT_EQ(replyBit(view, 1), false);
    EXPECT_EQ(replyBit(view, 2), true);
    EXPECT_EQ(replyBit(view, 3), true);
    EXPECT_EQ(replyBit(view, 4), false);
    EXPECT_EQ(replyBit(view, 7), true);
    EXPECT_EQ(replyBit(view, 8), true);
    EXPECT_EQ(replyBit(view, 9), false);
    EXPECT_EQ(replyBit(view, 15), false);
    EXPECT_EQ(replyBit(view, 16), std::nullopt);
    EXPECT_EQ(replyBit(view, -1), std::nullopt);
    EXPECT_EQ(replyBit(QByteArrayView(), 0), std::nullopt);
}

TEST(ValueCodecBits, CoilBitIsAlwaysBoolean)
{
    EXPECT_EQ(decodeBit(true), booleanValue(true));
    EXPECT_EQ(decodeBit(false), booleanValue(false));
    EXPECT_EQ(decodeBit(true).type(), DataTypeCode::Boolean);
    EXPECT_EQ(decodeBit(true).asInteger(), 1);
}

TEST(ValueCodecDevice, OrdersFromDeviceSettings)
{
    CModTCPDev device;
    device.DefaultByteOrder = false;
    device.FirstWordLow = true;
    device.ModiconBitOrder = true;
    device.ZeroBasedBitAddr = false;
    const WordOrder words = WordOrder::fromDevice(device);
    EXPECT_FALSE(words.bigEndianRegisters);
    EXPECT_TRUE(words.firstWordLow);
    const BitOrder bits = BitOrder::fromDevice(device);
    EXPECT_TRUE(bits.modiconBitOrder);
    EXPECT_FALSE(bits.zeroBasedBitAddr);

    device.DefaultByteOrder = true;
    device.FirstWordLow = false;
    device.ModiconBitOrder = false;
    device.ZeroBasedBitAddr = true;
    EXPECT_TRUE(WordOrder::fromDevice(device).bigEndianRegisters);
    EXPECT_FALSE(WordOrder::fromDevice(device).firstWordLow);
    EXPECT_FALSE(BitOrder::fromDevice(device).modiconBitOrder);
    EXPECT_TRUE(BitOrder::fromDevice(device).zeroBasedBitAddr);
}

TEST(ValueCodecUnchanged, ComparedAsTheHeldType)
{
    EXPECT_TRUE(isUnchanged(wordValue(100), wordValue(100)));
    EXPECT_FALSE(isUnchanged(wordValue(100), wordValue(101)));
    EXPECT_FALSE(isUnchanged(wordValue(1), shortValue(1)));
    EXPECT_FALSE(isUnchanged(longValue(0), booleanValue(false))); // the initial holder
    EXPECT_TRUE(isUnchanged(dwordValue(0x12345678), dwordValue(0x12345678)));
    EXPECT_TRUE(isUnchanged(floatBits(0x3F800000), floatBits(0x3F800000)));
    EXPECT_TRUE(isUnchanged(floatBits(0x00000000), floatBits(0x80000000)));
    EXPECT_FALSE(isUnchanged(floatBits(0x7FC00000), floatBits(0x7FC00000)));
}

// Encoding.

TEST(ValueCodecEncode, DWordSwappedLowWordFirst)
{
    const EncodeResult result = encodeWrite(dwordValue(0x11223344), DataTypeCode::DWord,
                                            WriteTarget::HoldingRegister, SwappedLowFirst);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.request->function, FunctionCode::WriteMultipleRegisters);
    EXPECT_EQ(result.request->registers, (QList<quint16>{0x4433, 0x2211}));
}

TEST(ValueCodecEncode, ThirtyTwoBitWordOrders)
{
    const struct
    {
        WordOrder order;
        QList<quint16> registers;
    } rows[] = {
        {BigEndianHighFirst, {0x1122, 0x3344}},
        {BigEndianLowFirst, {0x3344, 0x1122}},
        {SwappedHighFirst, {0x2211, 0x4433}},
        {SwappedLowFirst, {0x4433, 0x2211}},
    };
    for (const auto &row : rows) {
        for (int type : {int(DataTypeCode::Long), int(DataTypeCode::DWord)}) {
            CModData value;
            value.setFromInteger(0x11223344, quint8(type));
            const EncodeResult result =
                encodeWrite(value, type, WriteTarget::HoldingRegister, row.order);
            ASSERT_TRUE(result.ok());
            EXPECT_EQ(result.request->function, FunctionCode::WriteMultipleRegisters);
            EXPECT_EQ(result.request->registers, row.registers);
        }
        const EncodeResult floatResult = encodeWrite(floatBits(0x11223344), DataTypeCode::Float,
                                                     WriteTarget::HoldingRegister, row.order);
        ASSERT_TRUE(floatResult.ok());
        EXPECT_EQ(floatResult.request->registers, row.registers);
    }
}

quint16 singleRegisterFor(const CModData &value, int type, WordOrder order)
{
    const EncodeResult result = encodeWrite(value, type, WriteTarget::HoldingRegister, order);
    EXPECT_TRUE(result.ok());
    if (!result.ok())
        return 0;
    EXPECT_EQ(result.request->function, FunctionCode::WriteSingleRegister);
    EXPECT_EQ(result.request->registers.size(), 1);
    return result.request->registers.value(0);
}

TEST(ValueCodecEncode, SixteenBitRegisters)
{
    EXPECT_EQ(singleRegisterFor(wordValue(0x1234), DataTypeCode::Word, BigEndianLowFirst), 0x1234);
    EXPECT_EQ(singleRegisterFor(wordValue(0x1234), DataTypeCode::Word, SwappedLowFirst), 0x3412);
    EXPECT_EQ(singleRegisterFor(shortValue(-2), DataTypeCode::Short, BigEndianLowFirst), 0xFFFE);
    // A Char goes out sign-extended, a Byte zero-extended.
    EXPECT_EQ(singleRegisterFor(charValue(-1), DataTypeCode::Char, BigEndianLowFirst), 0xFFFF);
    EXPECT_EQ(singleRegisterFor(charValue(-128), DataTypeCode::Char, BigEndianLowFirst), 0xFF80);
    EXPECT_EQ(singleRegisterFor(charValue(-128), DataTypeCode::Char, SwappedLowFirst), 0x80FF);
    EXPECT_EQ(singleRegisterFor(charValue(65), DataTypeCode::Char, BigEndianLowFirst), 0x0041);
    EXPECT_EQ(singleRegisterFor(byteValue(0xFF), DataTypeCode::Byte, BigEndianLowFirst), 0x00FF);
    EXPECT_EQ(singleRegisterFor(byteValue(0xFF), DataTypeCode::Byte, SwappedLowFirst), 0xFF00);
}

TEST(ValueCodecEncode, ValueConvertedToTheTagType)
{
    CModData floatValue;
    floatValue.setFloat(3.9f);
    EXPECT_EQ(singleRegisterFor(floatValue, DataTypeCode::Word, BigEndianLowFirst), 3);
    floatValue.setFloat(-3.9f);
    EXPECT_EQ(singleRegisterFor(floatValue, DataTypeCode::Short, BigEndianLowFirst), 0xFFFD);
    // A wider value written to a 16-bit tag keeps its low bits and one register.
    EXPECT_EQ(singleRegisterFor(dwordValue(0x00012345), DataTypeCode::Word, BigEndianLowFirst),
              0x2345);
    EXPECT_EQ(singleRegisterFor(wordValue(0x01FF), DataTypeCode::Char, BigEndianLowFirst), 0xFFFF);

    const EncodeResult dword = encodeWrite(longValue(-1), DataTypeCode::DWord,
                                           WriteTarget::HoldingRegister, BigEndianHighFirst);
    ASSERT_TRUE(dword.ok());
    EXPECT_EQ(dword.request->registers, (QList<quint16>{0xFFFF, 0xFFFF}));

    const EncodeResult asFloat = encodeWrite(wordValue(2), DataTypeCode::Float,
                                             WriteTarget::HoldingRegister, BigEndianHighFirst);
    ASSERT_TRUE(asFloat.ok());
    EXPECT_EQ(asFloat.request->registers, (QList<quint16>{0x4000, 0x0000}));
}

TEST(ValueCodecEncode, CoilsTakeBooleansWithFunctionFive)
{
    const struct
    {
        CModData value;
        bool on;
    } rows[] = {
        {booleanValue(true), true}, {booleanValue(false), false},  {wordValue(2), true},
        {wordValue(0), false},      {floatBits(0x3F000000), true},
    };
    for (const auto &row : rows) {
        const EncodeResult result =
            encodeWrite(row.value, DataTypeCode::Boolean, WriteTarget::Coil, BigEndianLowFirst);
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.request->function, FunctionCode::WriteSingleCoil);
        EXPECT_TRUE(result.request->registers.isEmpty());
        EXPECT_EQ(result.request->coilOn, row.on);
        // The coil's next read comes back as the same Boolean.
        EXPECT_EQ(decodeBit(result.request->coilOn), booleanValue(row.on));
    }
}

TEST(ValueCodecEncode, WritesThatAreRefused)
{
    const CModData value = wordValue(1);
    EXPECT_EQ(encodeWrite(value, DataTypeCode::Word, WriteTarget::Coil, BigEndianLowFirst).error,
              EncodeError::NotBooleanCoil);
    for (int type :
         {int(DataTypeCode::Boolean), int(DataTypeCode::String), int(DataTypeCode::Date), 13, -1}) {
        const EncodeResult result =
            encodeWrite(value, type, WriteTarget::HoldingRegister, BigEndianLowFirst);
        EXPECT_FALSE(result.ok()) << type;
        EXPECT_EQ(result.error, EncodeError::TypeNotWritten) << type;
    }
}

TEST(ValueCodecFit, ValuesOutsideTheTagsTypeAreNeverWrappedOrSaturated)
{
    using namespace DataTypeCode;
    CModData d;
    const auto fits = [](CModData value, int type) { return fitsDataType(value, type); };
    const auto asLong = [&](qint32 v) {
        d.setLong(v);
        return d;
    };
    const auto asDWord = [&](quint32 v) {
        d.setDWord(v);
        return d;
    };
    const auto asFloat = [&](float v) {
        d.setFloat(v);
        return d;
    };
    const auto asDouble = [&](double v) {
        d.setDouble(v);
        return d;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();

    // The issue's own examples.
    EXPECT_FALSE(fits(asLong(70000), Word));
    EXPECT_FALSE(fits(asDouble(nan), Long));
    EXPECT_FALSE(fits(asDouble(1e12), Long));
    EXPECT_FALSE(fits(asLong(-1), DWord));

    // The edges of every integer type, and one beyond.
    struct Edge
    {
        int type;
        double lowest;
        double highest;
    };
    for (const Edge &edge : {Edge{Char, -128, 127}, Edge{Byte, 0, 255}, Edge{Short, -32768, 32767},
                             Edge{Word, 0, 65535}, Edge{Long, -2147483648.0, 2147483647.0},
                             Edge{DWord, 0, 4294967295.0}}) {
        SCOPED_TRACE(edge.type);
        EXPECT_TRUE(fits(asDouble(edge.lowest), edge.type));
        EXPECT_TRUE(fits(asDouble(edge.highest), edge.type));
        EXPECT_FALSE(fits(asDouble(edge.lowest - 1), edge.type));
        EXPECT_FALSE(fits(asDouble(edge.highest + 1), edge.type));
        EXPECT_FALSE(fits(asDouble(infinity), edge.type));
        EXPECT_FALSE(fits(asDouble(nan), edge.type));
    }
    EXPECT_TRUE(fits(asDWord(4294967295u), DWord));
    EXPECT_FALSE(fits(asDWord(4294967295u), Long));
    // A fraction is truncated toward zero, as before.
    EXPECT_TRUE(fits(asFloat(300.7f), Word));
    EXPECT_TRUE(fits(asFloat(-0.5f), Word));
    EXPECT_FALSE(fits(asFloat(-1.5f), Word));

    EXPECT_TRUE(fits(asDouble(3.4e38), Float));
    EXPECT_FALSE(fits(asDouble(1e39), Float));
    EXPECT_TRUE(fits(asDouble(nan), Float));
    EXPECT_TRUE(fits(asLong(7), Boolean));
    EXPECT_FALSE(fits(asDouble(nan), Boolean));
    // A holder without a value has nothing to write.
    CModData none;
    none.setFromInteger(0, String);
    EXPECT_FALSE(fits(none, Word));
}

TEST(ValueCodecErrors, EveryErrorHasAText)
{
    EXPECT_FALSE(errorText(DecodeError::TypeNotDecoded).isEmpty());
    EXPECT_FALSE(errorText(DecodeError::TooFewRegisters).isEmpty());
    EXPECT_FALSE(errorText(EncodeError::TypeNotWritten).isEmpty());
    EXPECT_FALSE(errorText(EncodeError::NotBooleanCoil).isEmpty());
}

// Round trips at every type's limits under every byte and word order.

std::vector<CModData> limitValues()
{
    std::vector<CModData> values = {
        charValue(std::numeric_limits<qint8>::min()),
        charValue(0),
        charValue(std::numeric_limits<qint8>::max()),
        byteValue(0),
        byteValue(std::numeric_limits<quint8>::max()),
        shortValue(std::numeric_limits<qint16>::min()),
        shortValue(0),
        shortValue(std::numeric_limits<qint16>::max()),
        wordValue(0),
        wordValue(0x00FF),
        wordValue(std::numeric_limits<quint16>::max()),
        longValue(std::numeric_limits<qint32>::min()),
        longValue(-1),
        longValue(std::numeric_limits<qint32>::max()),
        dwordValue(0),
        dwordValue(0x0000FFFF),
        dwordValue(0xFFFF0000),
        dwordValue(std::numeric_limits<quint32>::max()),
    };
    for (quint32 bits :
         {0x00000000u, 0x80000000u, 0x3F800000u, 0x00000001u /* smallest subnormal */,
          0x7F7FFFFFu /* max */, 0xFF7FFFFFu /* lowest */, 0x7F800000u /* +inf */,
          0xFF800000u /* -inf */, 0x7FC00000u /* quiet NaN */,
          0x7FC12345u /* quiet NaN with payload */, 0xFFFFFFFFu /* negative NaN */})
        values.push_back(floatBits(bits));
    return values;
}

TEST(ValueCodecRoundTrip, EncodeThenDecodeGivesTheSameHolder)
{
    for (const WordOrder order : AllWordOrders) {
        for (const CModData &value : limitValues()) {
            const EncodeResult encoded =
                encodeWrite(value, value.type(), WriteTarget::HoldingRegister, order);
            ASSERT_TRUE(encoded.ok()) << value.text().toStdString();
            const qsizetype expectedRegisters = DataTypeCode::registerCount(value.type());
            EXPECT_EQ(encoded.request->registers.size(), expectedRegisters);
            const DecodeResult decoded =
                decodeRegisters(value.type(), encoded.request->registers, 0, order, LsbZeroBased);
            ASSERT_TRUE(decoded.ok());
            // Compared by type and every bit of the value field.
            EXPECT_EQ(*decoded.value, value)
                << "type " << int(value.type()) << " value " << value.text().toStdString()
                << " bigEndianRegisters " << order.bigEndianRegisters << " firstWordLow "
                << order.firstWordLow;
        }
    }
}

TEST(ValueCodecRoundTrip, DecodeThenEncodeGivesTheSameRegisters)
{
    const std::vector<quint16> pairs[] = {
        {0x0000, 0x0000}, {0xFFFF, 0xFFFF}, {0x1234, 0x5678}, {0x8000, 0x0001}, {0x7FC1, 0x2345}};
    for (const WordOrder order : AllWordOrders) {
        for (const auto &registers : pairs) {
            for (int type :
                 {int(DataTypeCode::Long), int(DataTypeCode::DWord), int(DataTypeCode::Float)}) {
                const DecodeResult decoded =
                    decodeRegisters(type, registers, 0, order, LsbZeroBased);
                ASSERT_TRUE(decoded.ok());
                const EncodeResult encoded =
                    encodeWrite(*decoded.value, type, WriteTarget::HoldingRegister, order);
                ASSERT_TRUE(encoded.ok());
                EXPECT_EQ(encoded.request->registers,
                          QList<quint16>(registers.begin(), registers.end()));
            }
            for (int type : {int(DataTypeCode::Short), int(DataTypeCode::Word)}) {
                const DecodeResult decoded =
                    decodeRegisters(type, registers, 0, order, LsbZeroBased);
                ASSERT_TRUE(decoded.ok());
                EXPECT_EQ(singleRegisterFor(*decoded.value, type, order), registers[0]);
            }
        }
    }
}

} // namespace
