#include "hexbytes.h"
#include "modbuscodec.h"

#include <gtest/gtest.h>

#include <array>

#include <functional>
#include <vector>

namespace {

using namespace ModbusTcp;

struct GoldenRequest
{
    const char *name;
    std::function<QByteArray()> build;
    const char *bytes; // empty: the builder refuses
};

void PrintTo(const GoldenRequest &row, std::ostream *os)
{
    *os << row.name;
}

std::vector<quint16> registers(int count)
{
    std::vector<quint16> values(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        values[size_t(i)] = quint16(0x0100 + i);
    return values;
}

const std::vector<quint16> TwoRegisters = {0x000A, 0x0102};
const std::array<bool, 1> OneCoilOn = {true};
// 0xCD 0x01, least significant bit first.
const std::array<bool, 10> TenCoils = {true,  false, true, true, false,
                                       false, true,  true, true, false};
const std::vector<quint16> MaxWrite = registers(MaxWriteRegisters);
const std::vector<quint16> OverMaxWrite = registers(MaxWriteRegisters + 1);

const GoldenRequest GoldenRequests[] = {
    {"read-coils", [] { return buildReadCoils(0x0001, 0x11, 0x0013, 0x0025); },
     "00 01 00 00 00 06 11 01 00 13 00 25"},
    {"read-discrete-inputs", [] { return buildReadDiscreteInputs(0x0002, 0x11, 0x00C4, 0x0016); },
     "00 02 00 00 00 06 11 02 00 c4 00 16"},
    {"read-holding-registers",
     [] { return buildReadHoldingRegisters(0x0003, 0x11, 0x006B, 0x0003); },
     "00 03 00 00 00 06 11 03 00 6b 00 03"},
    {"read-input-registers", [] { return buildReadInputRegisters(0xFFFF, 0xFF, 0x0008, 1); },
     "ff ff 00 00 00 06 ff 04 00 08 00 01"},
    {"write-coil-on", [] { return buildWriteSingleCoil(0x0005, 0x01, 0x00AC, true); },
     "00 05 00 00 00 06 01 05 00 ac ff 00"},
    {"write-coil-off", [] { return buildWriteSingleCoil(0x0005, 0x01, 0x00AC, false); },
     "00 05 00 00 00 06 01 05 00 ac 00 00"},
    {"write-register", [] { return buildWriteSingleRegister(0x0006, 0x11, 0x0001, 0x8003); },
     "00 06 00 00 00 06 11 06 00 01 80 03"},
    {"write-two-registers",
     [] { return buildWriteMultipleRegisters(0x0007, 0x01, 0x0001, TwoRegisters); },
     "00 07 00 00 00 0b 01 10 00 01 00 02 04 00 0a 01 02"},
    {"write-one-register-multiple",
     [] { return buildWriteMultipleRegisters(0x0100, 0x02, 0xFFFF, std::vector<quint16>{0xBEEF}); },
     "01 00 00 00 00 09 02 10 ff ff 00 01 02 be ef"},
    {"write-one-coil-multiple",
     [] { return buildWriteMultipleCoils(0x0009, 0x01, 0x00AC, OneCoilOn); },
     "00 09 00 00 00 08 01 0f 00 ac 00 01 01 01"},
    {"write-ten-coils", [] { return buildWriteMultipleCoils(0x000A, 0x01, 0x0013, TenCoils); },
     "00 0a 00 00 00 09 01 0f 00 13 00 0a 02 cd 01"},
    {"write-coils-0", [] { return buildWriteMultipleCoils(1, 1, 0, std::span<const bool>{}); }, ""},
    {"mask-write", [] { return buildMaskWriteRegister(0x000B, 0x01, 0x0004, 0x00F2, 0x0025); },
     "00 0b 00 00 00 08 01 16 00 04 00 f2 00 25"},
    {"read-registers-125", [] { return buildReadHoldingRegisters(1, 1, 0, 125); },
     "00 01 00 00 00 06 01 03 00 00 00 7d"},
    {"read-registers-126", [] { return buildReadHoldingRegisters(1, 1, 0, 126); }, ""},
    {"read-input-registers-126", [] { return buildReadInputRegisters(1, 1, 0, 126); }, ""},
    {"read-registers-0", [] { return buildReadHoldingRegisters(1, 1, 0, 0); }, ""},
    {"read-bits-2000", [] { return buildReadCoils(1, 1, 0, 2000); },
     "00 01 00 00 00 06 01 01 00 00 07 d0"},
    {"read-bits-2001", [] { return buildReadCoils(1, 1, 0, 2001); }, ""},
    {"read-inputs-2001", [] { return buildReadDiscreteInputs(1, 1, 0, 2001); }, ""},
    {"read-bits-0", [] { return buildReadCoils(1, 1, 0, 0); }, ""},
    {"read-last-address", [] { return buildReadHoldingRegisters(1, 1, 0xFFFF, 1); },
     "00 01 00 00 00 06 01 03 ff ff 00 01"},
    {"read-past-last-address", [] { return buildReadHoldingRegisters(1, 1, 0xFFFF, 2); }, ""},
    {"write-multiple-0", [] { return buildWriteMultipleRegisters(1, 1, 0, {}); }, ""},
    {"write-multiple-124", [] { return buildWriteMultipleRegisters(1, 1, 0, OverMaxWrite); }, ""},
    {"write-multiple-past-last-address",
     [] { return buildWriteMultipleRegisters(1, 1, 0xFFFF, TwoRegisters); }, ""},
    {"read-with-write-function",
     [] { return buildReadRequest(FunctionCode::WriteSingleRegister, 1, 1, 0, 1); }, ""},
};

class RequestBytesTest : public ::testing::TestWithParam<GoldenRequest>
{};

TEST_P(RequestBytesTest, AreTheGoldenBytes)
{
    const GoldenRequest &row = GetParam();
    EXPECT_EQ(toHex(row.build()), toHex(hexBytes(row.bytes)));
}

INSTANTIATE_TEST_SUITE_P(Builders, RequestBytesTest, ::testing::ValuesIn(GoldenRequests),
                         [](const auto &info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(RequestBytes, WriteMultipleAtTheLimitFillsTheLargestRequest)
{
    const QByteArray adu = buildWriteMultipleRegisters(1, 1, 0, MaxWrite);
    ASSERT_EQ(adu.size(), 13 + 2 * MaxWriteRegisters);
    EXPECT_LE(adu.size(), MaxAduSize);
    EXPECT_EQ(parseHeader(adu).length, adu.size() - MbapPrefixSize);
    EXPECT_EQ(quint8(adu[12]), 2 * MaxWriteRegisters);
    EXPECT_EQ(quint8(adu[13]), 0x01);
    EXPECT_EQ(quint8(adu[14]), 0x00);
}

TEST(RequestBytes, ARequestBuiltIntoAnArrayKeepsItsMemoryAndReplacesItsBytes)
{
    // A longer write request first: whatever was there must not leak into the read.
    QByteArray adu = buildWriteMultipleRegisters(9, 9, 0, MaxWrite);
    const char *memory = adu.constData();
    ASSERT_TRUE(buildReadRequest(adu, FunctionCode::ReadHoldingRegisters, 0x00F2, 1, 0, 125));
    EXPECT_EQ(toHex(adu), toHex(hexBytes("00 f2 00 00 00 06 01 03 00 00 00 7d")));
    EXPECT_EQ(adu.constData(), memory) << "no allocation for a repeated read";

    ASSERT_TRUE(buildReadRequest(adu, FunctionCode::ReadCoils, 0x00F3, 2, 0x13, 2000));
    EXPECT_EQ(toHex(adu), toHex(hexBytes("00 f3 00 00 00 06 02 01 00 13 07 d0")));

    // Refused like the returning builder, and nothing of the last request is
    // left to be matched against a reply.
    EXPECT_FALSE(buildReadRequest(adu, FunctionCode::ReadHoldingRegisters, 1, 1, 0, 126));
    EXPECT_TRUE(adu.isEmpty());
    EXPECT_FALSE(buildReadRequest(adu, FunctionCode::WriteSingleRegister, 1, 1, 0, 1));
    EXPECT_TRUE(adu.isEmpty());
}

TEST(RequestBytes, NamedLimitsAreTheProtocolOnes)
{
    EXPECT_EQ(MaxReadRegisters, 125);
    EXPECT_EQ(MaxReadBits, 2000);
    EXPECT_EQ(MaxWriteRegisters, 123);
    EXPECT_EQ(MaxAduSize, 260);
    EXPECT_EQ(MinMbapLength, 2);
    EXPECT_EQ(MaxMbapLength, 254);
    EXPECT_EQ(ModbusProtocolId, 0);
}

// --- Reply checking --------------------------------------------------------

struct ReplyRow
{
    const char *name;
    const char *request;
    const char *reply;
    ReplyStatus status;
    const char *data = "";
    quint8 exceptionCode = 0;
};

void PrintTo(const ReplyRow &row, std::ostream *os)
{
    *os << row.name;
}

// Requests: read 3 holding registers, read 10 coils, write coil, write
// register, write 2 registers.
#define READ_REGS "00 03 00 00 00 06 11 03 00 6b 00 03"
#define READ_COILS "00 01 00 00 00 06 11 01 00 13 00 0a"
#define WRITE_COIL "00 05 00 00 00 06 01 05 00 ac ff 00"
#define WRITE_REG "00 06 00 00 00 06 11 06 00 01 00 03"
#define WRITE_REGS "00 07 00 00 00 0b 01 10 00 01 00 02 04 00 0a 01 02"
#define WRITE_COILS "00 09 00 00 00 08 01 0f 00 ac 00 01 01 01"
#define MASK_WRITE "00 0b 00 00 00 08 01 16 00 04 00 f2 00 25"

const ReplyRow ReplyRows[] = {
    {"registers-ok", READ_REGS, "00 03 00 00 00 09 11 03 06 02 2b 00 00 00 64", ReplyStatus::Ok,
     "02 2b 00 00 00 64"},
    {"coils-ok", READ_COILS, "00 01 00 00 00 05 11 01 02 cd 01", ReplyStatus::Ok, "cd 01"},
    {"write-coil-echo", WRITE_COIL, "00 05 00 00 00 06 01 05 00 ac ff 00", ReplyStatus::Ok,
     "00 ac ff 00"},
    {"write-register-echo", WRITE_REG, "00 06 00 00 00 06 11 06 00 01 00 03", ReplyStatus::Ok,
     "00 01 00 03"},
    {"write-registers-echo", WRITE_REGS, "00 07 00 00 00 06 01 10 00 01 00 02", ReplyStatus::Ok,
     "00 01 00 02"},
    {"write-coils-echo", WRITE_COILS, "00 09 00 00 00 06 01 0f 00 ac 00 01", ReplyStatus::Ok,
     "00 ac 00 01"},
    {"mask-write-echo", MASK_WRITE, "00 0b 00 00 00 08 01 16 00 04 00 f2 00 25", ReplyStatus::Ok,
     "00 04 00 f2 00 25"},
    {"mask-write-echo-wrong-mask", MASK_WRITE, "00 0b 00 00 00 08 01 16 00 04 00 f2 00 24",
     ReplyStatus::EchoMismatch},
    {"mask-write-echo-short", MASK_WRITE, "00 0b 00 00 00 06 01 16 00 04 00 f2",
     ReplyStatus::ByteCountMismatch},
    {"mask-write-exception", MASK_WRITE, "00 0b 00 00 00 03 01 96 01", ReplyStatus::Exception, "",
     1},
    {"read-exception", READ_REGS, "00 03 00 00 00 03 11 83 02", ReplyStatus::Exception, "", 2},
    {"write-exception", WRITE_REGS, "00 07 00 00 00 03 01 90 04", ReplyStatus::Exception, "", 4},
    {"exception-too-long", READ_REGS, "00 03 00 00 00 04 11 83 02 00",
     ReplyStatus::ByteCountMismatch},
    {"exception-too-short", READ_REGS, "00 03 00 00 00 02 11 83", ReplyStatus::ByteCountMismatch},
    {"exception-of-other-function", READ_REGS, "00 03 00 00 00 03 11 84 02",
     ReplyStatus::FunctionMismatch},
    {"exception-other-transaction", READ_REGS, "00 04 00 00 00 03 11 83 02",
     ReplyStatus::TransactionMismatch},
    {"transaction-mismatch", READ_REGS, "00 04 00 00 00 09 11 03 06 02 2b 00 00 00 64",
     ReplyStatus::TransactionMismatch},
    {"unit-mismatch", READ_REGS, "00 03 00 00 00 09 12 03 06 02 2b 00 00 00 64",
     ReplyStatus::UnitMismatch},
    {"function-mismatch", READ_REGS, "00 03 00 00 00 09 11 04 06 02 2b 00 00 00 64",
     ReplyStatus::FunctionMismatch},
    {"unknown-function", READ_REGS, "00 03 00 00 00 03 11 2b 0e", ReplyStatus::FunctionMismatch},
    {"byte-count-short", READ_REGS, "00 03 00 00 00 07 11 03 04 02 2b 00 00",
     ReplyStatus::ByteCountMismatch},
    {"byte-count-long", READ_REGS, "00 03 00 00 00 0b 11 03 08 02 2b 00 00 00 64 00 00",
     ReplyStatus::ByteCountMismatch},
    {"byte-count-odd", READ_REGS, "00 03 00 00 00 08 11 03 05 02 2b 00 00 00",
     ReplyStatus::ByteCountMismatch},
    {"byte-count-right-data-short", READ_REGS, "00 03 00 00 00 07 11 03 06 02 2b 00 00",
     ReplyStatus::ByteCountMismatch},
    {"byte-count-right-data-long", READ_REGS, "00 03 00 00 00 0a 11 03 06 02 2b 00 00 00 64 ff",
     ReplyStatus::ByteCountMismatch},
    {"no-byte-count", READ_REGS, "00 03 00 00 00 02 11 03", ReplyStatus::ByteCountMismatch},
    {"coils-byte-count-short", READ_COILS, "00 01 00 00 00 04 11 01 01 cd",
     ReplyStatus::ByteCountMismatch},
    {"coils-byte-count-long", READ_COILS, "00 01 00 00 00 06 11 01 03 cd 01 00",
     ReplyStatus::ByteCountMismatch},
    {"coil-echo-wrong-value", WRITE_COIL, "00 05 00 00 00 06 01 05 00 ac 00 00",
     ReplyStatus::EchoMismatch},
    {"coil-echo-wrong-address", WRITE_COIL, "00 05 00 00 00 06 01 05 00 ad ff 00",
     ReplyStatus::EchoMismatch},
    {"register-echo-wrong-value", WRITE_REG, "00 06 00 00 00 06 11 06 00 01 00 04",
     ReplyStatus::EchoMismatch},
    {"register-echo-wrong-address", WRITE_REG, "00 06 00 00 00 06 11 06 01 01 00 03",
     ReplyStatus::EchoMismatch},
    {"registers-echo-wrong-quantity", WRITE_REGS, "00 07 00 00 00 06 01 10 00 01 00 03",
     ReplyStatus::EchoMismatch},
    {"registers-echo-wrong-address", WRITE_REGS, "00 07 00 00 00 06 01 10 00 02 00 02",
     ReplyStatus::EchoMismatch},
    {"write-echo-short", WRITE_REG, "00 06 00 00 00 05 11 06 00 01 00",
     ReplyStatus::ByteCountMismatch},
    {"write-echo-long", WRITE_REG, "00 06 00 00 00 07 11 06 00 01 00 03 00",
     ReplyStatus::ByteCountMismatch},
    {"protocol-id", READ_REGS, "00 03 00 01 00 09 11 03 06 02 2b 00 00 00 64",
     ReplyStatus::Malformed},
    {"length-field-disagrees", READ_REGS, "00 03 00 00 00 0a 11 03 06 02 2b 00 00 00 64",
     ReplyStatus::Malformed},
    {"header-only", READ_REGS, "00 03 00 00 00 01 11", ReplyStatus::Malformed},
    {"empty", READ_REGS, "", ReplyStatus::Malformed},
    {"request-not-built-here", "00 03 00 00 00 06 11 03 00 6b", "00 03 00 00 00 03 11 83 02",
     ReplyStatus::BadRequest},
    {"request-quantity-over-limit", "00 03 00 00 00 06 11 03 00 00 00 7e",
     "00 03 00 00 00 03 11 83 02", ReplyStatus::BadRequest},
};

class ReplyCheckTest : public ::testing::TestWithParam<ReplyRow>
{};

TEST_P(ReplyCheckTest, GivesItsOutcome)
{
    const ReplyRow &row = GetParam();
    const QByteArray reply = hexBytes(row.reply); // the check's data views it
    const ReplyCheck check = checkReply(hexBytes(row.request), reply);
    EXPECT_EQ(int(check.status), int(row.status));
    EXPECT_EQ(toHex(check.data.toByteArray()), toHex(hexBytes(row.data)));
    EXPECT_EQ(check.exceptionCode, row.exceptionCode);
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyCheckTest, ::testing::ValuesIn(ReplyRows),
                         [](const auto &info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(ReplyCheck, EveryTruncationOfAGoodReplyIsRefused)
{
    const QByteArray request = hexBytes(READ_REGS);
    const QByteArray reply = hexBytes("00 03 00 00 00 09 11 03 06 02 2b 00 00 00 64");
    for (qsizetype size = 0; size < reply.size(); ++size)
        EXPECT_NE(checkReply(request, QByteArrayView(reply).first(size)).status, ReplyStatus::Ok)
            << size;
}

TEST(ReplyCheck, FullSizeReadsAreAccepted)
{
    const QByteArray request = buildReadHoldingRegisters(9, 3, 0, MaxReadRegisters);
    QByteArray reply = hexBytes("00 09 00 00 00 fd 03 03 fa");
    reply.append(QByteArray(2 * MaxReadRegisters, '\x01'));
    ASSERT_EQ(reply.size(), 9 + 250);
    EXPECT_EQ(checkReply(request, reply).status, ReplyStatus::Ok);

    const QByteArray bitRequest = buildReadCoils(9, 3, 0, MaxReadBits);
    QByteArray bitReply = hexBytes("00 09 00 00 00 fd 03 01 fa");
    bitReply.append(QByteArray(MaxReadBits / 8, '\x55'));
    EXPECT_EQ(checkReply(bitRequest, bitReply).status, ReplyStatus::Ok);
}

TEST(ReplyCheck, BitCountRoundsUpToWholeBytes)
{
    for (int quantity : {1, 7, 8, 9, 16, 17}) {
        const QByteArray request = buildReadDiscreteInputs(1, 1, 0, quantity);
        const int bytes = (quantity + 7) / 8;
        QByteArray reply = hexBytes("00 01 00 00 00 00 01 02");
        reply[5] = char(3 + bytes);
        reply.append(char(bytes));
        reply.append(QByteArray(bytes, '\xff'));
        EXPECT_EQ(checkReply(request, reply).status, ReplyStatus::Ok) << quantity;
    }
}

// --- Unpacking -------------------------------------------------------------

TEST(Unpack, BitsAreLeastSignificantFirst)
{
    const QByteArray data = hexBytes("cd 6b 05");
    const QList<bool> bits = unpackBits(data, 19);
    const QList<bool> expected = {1, 0, 1, 1, 0, 0, 1, 1, 1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 1};
    EXPECT_EQ(bits, expected);
    EXPECT_TRUE(bitAt(data, 0));
    EXPECT_FALSE(bitAt(data, 1));
    EXPECT_FALSE(bitAt(data, 24)) << "beyond the data";
    EXPECT_FALSE(bitAt(data, -1));
}

TEST(Unpack, RegistersAreBigEndian)
{
    const QByteArray data = hexBytes("02 2b 00 00 00 64");
    EXPECT_EQ(unpackRegisters(data), (QList<quint16>{0x022B, 0x0000, 0x0064}));
    EXPECT_EQ(registerAt(data, 0), 0x022B);
    EXPECT_EQ(registerAt(data, 2), 0x0064);
    EXPECT_EQ(registerAt(data, 3), 0xFFFF) << "a missing register reads 0xFFFF";
    EXPECT_EQ(registerAt(data, -1), 0xFFFF);
}

TEST(Unpack, CheckedReplyDataUnpacks)
{
    const QByteArray reply = hexBytes("00 01 00 00 00 05 11 01 02 cd 01");
    const ReplyCheck check = checkReply(hexBytes(READ_COILS), reply);
    ASSERT_TRUE(check.isOk());
    const QList<bool> bits = unpackBits(check.data, 10);
    EXPECT_EQ(bits, (QList<bool>{1, 0, 1, 1, 0, 0, 1, 1, 1, 0}));
}

TEST(Header, ParsesFieldsAndFunction)
{
    const QByteArray adu = hexBytes("12 34 00 00 00 06 07 03 00 01 00 02");
    const MbapHeader header = parseHeader(adu);
    EXPECT_EQ(header.transactionId, 0x1234);
    EXPECT_EQ(header.protocolId, 0);
    EXPECT_EQ(header.length, 6);
    EXPECT_EQ(header.unitId, 7);
    EXPECT_EQ(functionByte(adu), 3);
    EXPECT_EQ(functionByte(adu.first(7)), 0);
}

} // namespace
