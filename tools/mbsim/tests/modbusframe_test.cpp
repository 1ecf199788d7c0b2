// The request codec on its own: framing by the length field and decoding.
#include "datastore.h"
#include "modbusframe.h"
#include "requesthandler.h"

#include <gtest/gtest.h>
#include <modbus.h>

using Bytes = std::vector<std::uint8_t>;

namespace {

TEST(ScanFrameTest, FramesByTheLengthField)
{
    const Bytes request{0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
    for (std::size_t length = 0; length < request.size(); ++length) {
        const auto scan = mbsim::scanFrame(std::span(request.data(), length));
        EXPECT_EQ(scan.status, mbsim::FrameStatus::NeedMoreBytes) << "length " << length;
    }
    Bytes withNext = request;
    withNext.push_back(0x00);
    const auto scan = mbsim::scanFrame(withNext);
    EXPECT_EQ(scan.status, mbsim::FrameStatus::Complete);
    EXPECT_EQ(scan.length, 12u);
}

TEST(ScanFrameTest, RejectsHeadersThatAreNotModbusTcp)
{
    const Bytes badProtocol{0x00, 0x01, 0x00, 0x01, 0x00, 0x06, 0x01};
    const Bytes lengthOne{0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x01};
    const Bytes length255{0x00, 0x01, 0x00, 0x00, 0x00, 0xFF, 0x01};
    const Bytes length254{0x00, 0x01, 0x00, 0x00, 0x00, 0xFE, 0x01};
    EXPECT_EQ(mbsim::scanFrame(badProtocol).status, mbsim::FrameStatus::Invalid);
    EXPECT_EQ(mbsim::scanFrame(lengthOne).status, mbsim::FrameStatus::Invalid);
    EXPECT_EQ(mbsim::scanFrame(length255).status, mbsim::FrameStatus::Invalid);
    EXPECT_EQ(mbsim::scanFrame(length254).status, mbsim::FrameStatus::NeedMoreBytes);
}

struct ExceptionRow
{
    const char *name;
    Bytes adu;
    std::uint8_t exception;
};

TEST(ParseRequestTest, MalformedRequestsEarnTheirException)
{
    const ExceptionRow rows[] = {
        {"read-registers-126", {0, 1, 0, 0, 0, 6, 1, 3, 0x00, 0x00, 0x00, 0x7E}, 3},
        {"read-registers-0", {0, 1, 0, 0, 0, 6, 1, 3, 0x00, 0x00, 0x00, 0x00}, 3},
        {"read-registers-past-65535", {0, 1, 0, 0, 0, 6, 1, 4, 0xFF, 0xFF, 0x00, 0x02}, 2},
        {"read-bits-2001", {0, 1, 0, 0, 0, 6, 1, 1, 0x00, 0x00, 0x07, 0xD1}, 3},
        {"write-coil-0x1234", {0, 1, 0, 0, 0, 6, 1, 5, 0x00, 0x00, 0x12, 0x34}, 3},
        {"write-registers-byte-count-wrong",
         {0, 1, 0, 0, 0, 9, 1, 16, 0x00, 0x00, 0x00, 0x01, 0x03, 0x00, 0x01},
         3},
        {"unknown-function-7", {0, 1, 0, 0, 0, 2, 1, 7}, 1},
    };
    for (const ExceptionRow &row : rows) {
        const mbsim::Request request = mbsim::parseRequest(row.adu);
        ASSERT_TRUE(request.malformedException.has_value()) << row.name;
        EXPECT_EQ(*request.malformedException, row.exception) << row.name;
    }
}

TEST(ParseRequestTest, BoundaryRequestsAreAccepted)
{
    const Bytes lastRegister{0, 1, 0, 0, 0, 6, 1, 3, 0xFF, 0xFF, 0x00, 0x01};
    const Bytes read125{0, 1, 0, 0, 0, 6, 1, 3, 0x00, 0x00, 0x00, 0x7D};
    EXPECT_FALSE(mbsim::parseRequest(lastRegister).malformedException);
    EXPECT_FALSE(mbsim::parseRequest(read125).malformedException);
}

TEST(ExecuteRequestTest, WriteMultipleCoilsTakesLeastSignificantBitFirst)
{
    // Coils 0..9 = 1,0,1,1,0,0,0,0, 1,0 -> bytes 0x0D 0x01
    const Bytes adu{0, 2, 0, 0, 0, 9, 1, 15, 0x00, 0x00, 0x00, 0x0A, 0x02, 0x0D, 0x01};
    const mbsim::Request request = mbsim::parseRequest(adu);
    ASSERT_FALSE(request.malformedException);
    EXPECT_EQ(request.values, (std::vector<std::uint16_t>{1, 0, 1, 1, 0, 0, 0, 0, 1, 0}));
    mbsim::UnitTables tables;
    const Bytes reply = mbsim::executeRequest(request, tables);
    EXPECT_EQ(reply, (Bytes{15, 0x00, 0x00, 0x00, 0x0A}));
    EXPECT_EQ(tables.coils[8], 1);
    EXPECT_EQ(tables.coils[9], 0);
}

TEST(ExecuteRequestTest, ReadBitsPacksLeastSignificantBitFirst)
{
    mbsim::UnitTables tables;
    tables.discreteInputs[0] = 1;
    tables.discreteInputs[8] = 1;
    const Bytes adu{0, 3, 0, 0, 0, 6, 1, 2, 0x00, 0x00, 0x00, 0x09};
    EXPECT_EQ(mbsim::executeRequest(mbsim::parseRequest(adu), tables),
              (Bytes{2, 0x02, 0x01, 0x01}));
}

} // namespace
