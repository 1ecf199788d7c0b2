#include "cmoddata.h"
#include "cmodtag.h"
#include "datatypes.h"
#include "driverstrings.h"
#include "recordingnotifier.h"
#include "tagaddress.h"

#include <gtest/gtest.h>

namespace {

using namespace DataTypeCode;
using ClientAccessCode::ReadOnly;
using ClientAccessCode::ReadWrite;

struct AddressCase
{
    const char *address;
    int dataType;
    int access;
    // 0: valid; -1: fails without a message; otherwise the message number.
    int outcome;
    int bitNumber = -1; // -1: not checked
};

void PrintTo(const AddressCase &c, std::ostream *os)
{
    *os << c.address << " type " << c.dataType << " access " << c.access;
}

class ValidateAddressTest : public ::testing::TestWithParam<AddressCase>
{};

TEST_P(ValidateAddressTest, GivesItsOutcome)
{
    const AddressCase &c = GetParam();
    CModTag tag;
    tag.TagAddress = QString::fromLatin1(c.address);
    tag.DataType = c.dataType;
    tag.ClientAccess = c.access;
    tag.BitNumber = 99;

    RecordingNotifier notifier;
    QString error = QStringLiteral("untouched");
    const bool valid = validateAddress(tag, error, &notifier);
    if (c.outcome == 0) {
        EXPECT_TRUE(valid);
        EXPECT_TRUE(notifier.messages.empty());
    } else if (c.outcome < 0) {
        EXPECT_FALSE(valid);
        EXPECT_TRUE(error.isEmpty());
        EXPECT_TRUE(notifier.messages.empty()) << "the silent failure shows nothing";
    } else {
        EXPECT_FALSE(valid);
        const QString expected = DriverString::text(DriverString::Id(c.outcome));
        EXPECT_EQ(error.toStdString(), expected.toStdString());
        ASSERT_EQ(notifier.messages.size(), 1u);
        EXPECT_EQ(notifier.messages[0].icon, Notifier::Icon::Stop);
    }
    if (c.bitNumber >= 0) {
        EXPECT_EQ(tag.BitNumber, c.bitNumber);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ValidateAddressTest,
    ::testing::Values(
        AddressCase{"05", Boolean, ReadWrite, 0}, AddressCase{"05", Word, ReadWrite, 58075},
        AddressCase{"5", Boolean, ReadWrite, 58091}, AddressCase{"065536", Boolean, ReadWrite, 0},
        AddressCase{"065537", Boolean, ReadWrite, 58077},
        AddressCase{"0", Boolean, ReadWrite, 58077}, AddressCase{"000001", Boolean, ReadOnly, 0},
        AddressCase{"100001", Boolean, ReadWrite, 58079},
        AddressCase{"100001", Boolean, ReadOnly, 0}, AddressCase{"165536", Boolean, ReadOnly, 0},
        AddressCase{"100000", Boolean, ReadOnly, 58078},
        AddressCase{"165537", Boolean, ReadOnly, 58078},
        AddressCase{"000001.1", Boolean, ReadOnly, 58076},
        AddressCase{"300001", Word, ReadWrite, 58080}, AddressCase{"3.", Word, ReadWrite, 58080},
        AddressCase{"300001", Word, ReadOnly, 0}, AddressCase{"300000", Word, ReadOnly, 58085},
        AddressCase{"300001", Boolean, ReadOnly, 58086},
        AddressCase{"300001.3", Boolean, ReadOnly, 0, 3},
        AddressCase{"300001.17", Boolean, ReadOnly, 58083, 17},
        AddressCase{"365537.1", Boolean, ReadOnly, 58082, 1},
        AddressCase{"300001.", Word, ReadOnly, 58081},
        AddressCase{"400001.16", Boolean, ReadWrite, 0, 16},
        AddressCase{"400001.17", Boolean, ReadWrite, 58089, 17},
        AddressCase{"400001.5", Word, ReadWrite, 58084, 5},
        AddressCase{"400000.5", Boolean, ReadWrite, 58088, 5},
        AddressCase{"465536", Word, ReadWrite, 0}, AddressCase{"465536", Long, ReadWrite, -1},
        AddressCase{"465535", Long, ReadWrite, 0}, AddressCase{"465533", Double, ReadWrite, 0},
        AddressCase{"465534", Double, ReadWrite, -1}, AddressCase{"465536", BCD, ReadWrite, 0},
        AddressCase{"465536", LBCD, ReadWrite, -1},
        AddressCase{"400001", Boolean, ReadWrite, 58090},
        AddressCase{"400001", String, ReadWrite, 58090},
        AddressCase{"40001", Word, ReadWrite, 58087},
        AddressCase{"4000001", Word, ReadWrite, 58087},
        AddressCase{"400001.", Word, ReadWrite, 58087},
        AddressCase{"4.0.1", Boolean, ReadWrite, 58087},
        AddressCase{"400001.123", Boolean, ReadWrite, 58087},
        AddressCase{"0.", Boolean, ReadWrite, 58076},
        AddressCase{"1.2.3", Boolean, ReadOnly, 58076},
        AddressCase{".400001", Word, ReadWrite, 58091},
        AddressCase{"200001", Word, ReadWrite, 58091},
        AddressCase{"500001", Word, ReadWrite, 58091},
        AddressCase{"900001", Word, ReadWrite, 58091},
        AddressCase{"A00001", Word, ReadWrite, 58091}, AddressCase{"", Word, ReadWrite, 58091}),
    [](const auto &info) { return "case_" + std::to_string(info.index); });

TEST(splitAddress, ReportsEachShape)
{
    using AddressText::Split;
    EXPECT_EQ(AddressText::splitAddress(u"400001").error, Split::None);
    EXPECT_EQ(AddressText::splitAddress(u"4000011").error, Split::BadRegister);
    EXPECT_EQ(AddressText::splitAddress(u"40a001").error, Split::BadRegister);
    EXPECT_EQ(AddressText::splitAddress(u"4.0.1").error, Split::SeveralDots);
    EXPECT_EQ(AddressText::splitAddress(u"4.").error, Split::MisplacedDot);
    EXPECT_EQ(AddressText::splitAddress(u".41").error, Split::MisplacedDot);
    EXPECT_EQ(AddressText::splitAddress(u"4.1").error, Split::None);
    EXPECT_EQ(AddressText::splitAddress(u"400001.123").error, Split::BadBit);
    EXPECT_EQ(AddressText::splitAddress(u"400001.x").error, Split::BadBit);
    const auto split = AddressText::splitAddress(u"400001.15");
    EXPECT_TRUE(split.hasOneDot);
    EXPECT_EQ(split.registerPart, QStringLiteral("400001"));
    EXPECT_EQ(split.bitPart, QStringLiteral("15"));
}

TEST(normalizeAddress, ShortNumbersBecomeSixDigitCoils)
{
    CModTag tag;
    tag.TagAddress = QStringLiteral("5");
    tag.DataType = Boolean;
    normalizeAddress(tag, NormalizeStep::BeforeValidation);
    EXPECT_EQ(tag.TagAddress, QStringLiteral("05"));
    EXPECT_EQ(tag.AddressNumber, 5);
    QString error;
    ASSERT_TRUE(validateAddress(tag, error));
    normalizeAddress(tag, NormalizeStep::AfterValidation);
    EXPECT_EQ(tag.TagAddress, QStringLiteral("000005"));

    tag.TagAddress = QStringLiteral("400001.5");
    normalizeAddress(tag, NormalizeStep::BeforeValidation);
    EXPECT_EQ(tag.AddressNumber, 400001);
    EXPECT_EQ(tag.TagAddress, QStringLiteral("400001.5"));

    tag.TagAddress = QStringLiteral("99999999999999999999");
    normalizeAddress(tag, NormalizeStep::BeforeValidation);
    EXPECT_EQ(tag.AddressNumber, std::numeric_limits<qint32>::max());
}

TEST(CModDataText, FormatsByType)
{
    CModData data;
    data.setChar(65);
    EXPECT_EQ(data.text(), QStringLiteral("A"));
    // A Boolean holding 2, as a host message may carry it.
    RecordRegistry none;
    const QByteArray two = QByteArray::fromHex("01 02 00 00 00");
    ASSERT_TRUE(readPayload(two, data, none).ok());
    EXPECT_EQ(data.text(), QStringLiteral("0")) << "only exactly 1 reads as 1";
    EXPECT_TRUE(data.asBoolean());
    data.setBoolean(true);
    EXPECT_EQ(data.text(), QStringLiteral("1"));
    data.setFloat(0.1f);
    EXPECT_EQ(data.text(), QStringLiteral("0.1000000015"));
    data.setDouble(-12345.678);
    EXPECT_EQ(data.text(), QStringLiteral("-12345.678"));
    data.setDWord(4294967295u);
    EXPECT_EQ(data.text(), QStringLiteral("4294967295"));
    data.setShort(-5);
    EXPECT_EQ(data.text(), QStringLiteral("-5"));

    CModData untyped;
    untyped.setFromInteger(7, 12);
    QString text = QStringLiteral("kept");
    untyped.formatValue(text);
    EXPECT_EQ(text, QStringLiteral("kept"));
}

TEST(CModDataAccessors, ConvertByType)
{
    CModData data;
    data.setChar(-2);
    EXPECT_EQ(data.asRegisterWord(), 0xFFFE);
    EXPECT_EQ(data.asInteger(), -2);
    data.setByte(0xFE);
    EXPECT_EQ(data.asRegisterWord(), 0x00FE);
    EXPECT_EQ(data.asInteger(), 254);
    data.setFloat(-3.9f);
    EXPECT_EQ(data.asInteger(), -3);
    EXPECT_EQ(data.asRegisterWord(), 0xFFFD);
    data.setDouble(std::nan(""));
    EXPECT_TRUE(data.asBoolean()) << "a NaN counts as true";
    data.setDouble(0.0);
    EXPECT_FALSE(data.asBoolean());
    data.setDWord(0x80000000u);
    EXPECT_EQ(data.asInteger64(), 0x80000000ll);
    EXPECT_FLOAT_EQ(data.asFloat(), 2147483648.0f) << "unsigned converts as unsigned";
    data.setFromInteger(0x12345, Word);
    EXPECT_EQ(data.asRegisterWord(), 0x2345);
    EXPECT_TRUE(data.equals(0x2345));
    data.setFromInteger(0x10000, Boolean);
    EXPECT_FALSE(data.asBoolean()) << "only the low 16 bits count";
    data.setFromInteger(0x1FF, Byte);
    EXPECT_TRUE(data.equals(0x00FF));
    data.setLong(7);
    EXPECT_FALSE(data.equals(7)) << "no 16-bit equality for Long";
}

TEST(CModDataArchive, WritesTheTypeByteThenTheValue)
{
    CModData data;
    data.setWord(0x1234);
    EXPECT_EQ(writePayload(data).toHex(' '), QByteArray("05 34 12"));
    data.setDouble(1.0);
    EXPECT_EQ(writePayload(data).toHex(' '), QByteArray("09 00 00 00 00 00 00 f0 3f"));
    data.setFromInteger(1, 0);
    EXPECT_EQ(writePayload(data).toHex(' '), QByteArray("00")) << "no value for String";

    RecordRegistry none;
    CModData back;
    const QByteArray bytes = QByteArray::fromHex("08 00 00 80 3f");
    ASSERT_TRUE(readPayload(bytes, back, none, TrailingBytes::Rejected).ok());
    EXPECT_EQ(back.type(), Float);
    EXPECT_FLOAT_EQ(back.asFloat(), 1.0f);
}

TEST(DataTypeNames, TablesAndCaseInsensitiveCsvNames)
{
    EXPECT_EQ(DataTypeCode::listName(Float), QStringLiteral("Float"));
    EXPECT_EQ(DataTypeCode::plainCsvName(Boolean), QStringLiteral("BOOL"));
    EXPECT_EQ(DataTypeCode::masterCsvName(Float), QStringLiteral("Real"));
    EXPECT_EQ(DataTypeCode::masterCsvName(Boolean), QStringLiteral("Discrete"));
    EXPECT_EQ(DataTypeCode::dialogName(Double), QString());
    EXPECT_EQ(DataTypeCode::plainCsvName(13), QString());
    EXPECT_EQ(DataTypeCode::fromPlainCsvName(u"dword"), DWord);
    EXPECT_EQ(DataTypeCode::fromPlainCsvName(u"Discrete"), std::nullopt);
    EXPECT_EQ(ClientAccessCode::dialogName(ReadWrite), QStringLiteral("Read\\Write"));
    EXPECT_EQ(ClientAccessCode::listName(ReadWrite), QStringLiteral("Read/Write"));
    EXPECT_EQ(ClientAccessCode::fromPlainCsvName(u"read_only"), ReadOnly);
    EXPECT_EQ(ClientAccessCode::masterCsvName(ReadOnly), QStringLiteral("RO"));
}

} // namespace
