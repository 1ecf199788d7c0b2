// Reading the value text of the tag write dialog: each type code's conversion,
// the strtol and strtod rules shared by all of them, and which tags the
// dialog may write at all.
#include "cmodtag.h"
#include "datatypes.h"
#include "tagvaluetext.h"
#include "valuemakers.h"

#include <QString>

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <ostream>
#include <string>

namespace {

using namespace Qt::StringLiterals;

std::string show(const std::optional<CModData> &value)
{
    if (!value)
        return "nothing";
    QString text = DataTypeCode::listName(value->type()) + u' ';
    if (value->type() == DataTypeCode::Float)
        text += QString::number(value->asDouble(), 'g', 9);
    else
        text += QString::number(value->asInteger64());
    return text.toStdString();
}

struct ConversionRow
{
    const char *name;
    quint8 currentValueType;
    const char16_t *text;
    std::optional<CModData> expected;
};

void PrintTo(const ConversionRow &row, std::ostream *out)
{
    *out << row.name;
}

constexpr float FloatMax = std::numeric_limits<float>::max();
constexpr float Infinity = std::numeric_limits<float>::infinity();

const ConversionRow conversionRows[] = {
    // Boolean: whether the low 16 bits of the number are set.
    {"boolean_2", DataTypeCode::Boolean, u"2", boolValue(true)},
    {"boolean_65536_has_no_low_bits", DataTypeCode::Boolean, u"65536", boolValue(false)},
    {"boolean_65537", DataTypeCode::Boolean, u"65537", boolValue(true)},
    {"boolean_minus_1", DataTypeCode::Boolean, u"-1", boolValue(true)},
    {"boolean_0", DataTypeCode::Boolean, u"0", boolValue(false)},
    {"boolean_hex_reads_the_0_only", DataTypeCode::Boolean, u"0x10", boolValue(false)},
    // Char and Byte: the low 8 bits.
    {"byte_300", DataTypeCode::Byte, u"300", byteValue(44)},
    {"byte_255", DataTypeCode::Byte, u"255", byteValue(255)},
    {"byte_256", DataTypeCode::Byte, u"256", byteValue(0)},
    {"byte_minus_1", DataTypeCode::Byte, u"-1", byteValue(255)},
    {"char_300", DataTypeCode::Char, u"300", charValue(44)},
    {"char_200", DataTypeCode::Char, u"200", charValue(-56)},
    {"char_minus_128", DataTypeCode::Char, u"-128", charValue(-128)},
    // Short and Word: the low 16 bits.
    {"short_32767", DataTypeCode::Short, u"32767", shortValue(32767)},
    {"short_32768", DataTypeCode::Short, u"32768", shortValue(-32768)},
    {"short_minus_1", DataTypeCode::Short, u"-1", shortValue(-1)},
    {"word_65535", DataTypeCode::Word, u"65535", wordValue(65535)},
    {"word_65536", DataTypeCode::Word, u"65536", wordValue(0)},
    {"word_70000", DataTypeCode::Word, u"70000", wordValue(4464)},
    {"word_minus_1", DataTypeCode::Word, u"-1", wordValue(65535)},
    {"word_saturates_before_taking_bits", DataTypeCode::Word, u"99999999999", wordValue(0xFFFF)},
    {"word_garbage", DataTypeCode::Word, u"abc", wordValue(0)},
    // Long: the signed 32-bit number, saturating.
    {"long_2147483647", DataTypeCode::Long, u"2147483647", longValue(2147483647)},
    {"long_2147483648_saturates", DataTypeCode::Long, u"2147483648", longValue(2147483647)},
    {"long_99999999999_saturates", DataTypeCode::Long, u"99999999999", longValue(2147483647)},
    {"long_minus_2147483648", DataTypeCode::Long, u"-2147483648",
     longValue(std::numeric_limits<qint32>::min())},
    {"long_minus_2147483649_saturates", DataTypeCode::Long, u"-2147483649",
     longValue(std::numeric_limits<qint32>::min())},
    {"long_endless_digits_saturate", DataTypeCode::Long,
     u"123456789012345678901234567890123456789012345678901234567890", longValue(2147483647)},
    {"long_space_sign_digits_then_text", DataTypeCode::Long, u"  -12abc", longValue(-12)},
    {"long_tab_and_plus", DataTypeCode::Long, u"\t+7", longValue(7)},
    {"long_line_breaks_are_space", DataTypeCode::Long, u"\r\n\v\f 5", longValue(5)},
    {"long_space_after_sign_is_no_number", DataTypeCode::Long, u"- 5", longValue(0)},
    {"long_sign_alone", DataTypeCode::Long, u"-", longValue(0)},
    {"long_empty", DataTypeCode::Long, u"", longValue(0)},
    {"long_decimal_part_dropped", DataTypeCode::Long, u"12.9", longValue(12)},
    {"long_garbage", DataTypeCode::Long, u"ten", longValue(0)},
    {"long_leading_zeros", DataTypeCode::Long, u"0000042", longValue(42)},
    {"long_non_ascii_digits_stop", DataTypeCode::Long, u"4\u0665", longValue(4)},
    // DWord: the unsigned 32-bit number, saturating at both ends.
    {"dword_4000000000", DataTypeCode::DWord, u"4000000000", dwordValue(4000000000u)},
    {"dword_2147483648", DataTypeCode::DWord, u"2147483648", dwordValue(2147483648u)},
    {"dword_4294967295", DataTypeCode::DWord, u"4294967295", dwordValue(4294967295u)},
    {"dword_4294967296_saturates", DataTypeCode::DWord, u"4294967296", dwordValue(4294967295u)},
    {"dword_99999999999_saturates", DataTypeCode::DWord, u"99999999999", dwordValue(4294967295u)},
    {"dword_minus_1_saturates_at_0", DataTypeCode::DWord, u"-1", dwordValue(0)},
    {"dword_minus_0", DataTypeCode::DWord, u"-0", dwordValue(0)},
    {"dword_garbage", DataTypeCode::DWord, u"x", dwordValue(0)},
    // Float: strtod's number, as a float.
    {"float_1_5e3", DataTypeCode::Float, u"1.5e3", floatValue(1500.0f)},
    {"float_capital_exponent_and_sign", DataTypeCode::Float, u"2.5E+2", floatValue(250.0f)},
    {"float_negative_exponent", DataTypeCode::Float, u"125e-3", floatValue(0.125f)},
    {"float_fraction_only", DataTypeCode::Float, u" -.5", floatValue(-0.5f)},
    {"float_trailing_point", DataTypeCode::Float, u"3.", floatValue(3.0f)},
    {"float_exponent_without_digits_ignored", DataTypeCode::Float, u"2e", floatValue(2.0f)},
    {"float_exponent_sign_without_digits_ignored", DataTypeCode::Float, u"2e+x", floatValue(2.0f)},
    {"float_text_after_number", DataTypeCode::Float, u"1.25kg", floatValue(1.25f)},
    {"float_comma_ends_the_number", DataTypeCode::Float, u"1,5", floatValue(1.0f)},
    {"float_garbage", DataTypeCode::Float, u"abc", floatValue(0.0f)},
    {"float_point_alone", DataTypeCode::Float, u".", floatValue(0.0f)},
    {"float_largest", DataTypeCode::Float, u"3.40282346638528859811704183484516925440e38",
     floatValue(FloatMax)},
    {"float_beyond_float_range", DataTypeCode::Float, u"1e39", floatValue(Infinity)},
    {"float_beyond_double_range", DataTypeCode::Float, u"1e400", floatValue(Infinity)},
    {"float_negative_beyond_double_range", DataTypeCode::Float, u"-1e400", floatValue(-Infinity)},
    {"float_small_digits_big_exponent", DataTypeCode::Float, u"0.0000001e400",
     floatValue(Infinity)},
    {"float_below_double_range", DataTypeCode::Float, u"1e-400", floatValue(0.0f)},
    {"float_zero_with_huge_exponent", DataTypeCode::Float, u"0e99999999", floatValue(0.0f)},
    // Codes that carry no value the dialog writes.
    {"string_writes_nothing", DataTypeCode::String, u"1", std::nullopt},
    {"double", DataTypeCode::Double, u"-1234.5678", doubleValue(-1234.5678)},
    {"bcd_writes_nothing", DataTypeCode::BCD, u"1", std::nullopt},
    {"date_writes_nothing", DataTypeCode::Date, u"1", std::nullopt},
    {"unknown_code_writes_nothing", 200, u"1", std::nullopt},
};

class TagValueConversionTest : public ::testing::TestWithParam<ConversionRow>
{};

TEST_P(TagValueConversionTest, convertsByTheCurrentValueType)
{
    const ConversionRow &row = GetParam();
    const std::optional<CModData> value =
        tagValueFromText(QString::fromUtf16(row.text), row.currentValueType);
    EXPECT_EQ(value.has_value(), row.expected.has_value()) << show(value);
    if (value && row.expected) {
        EXPECT_TRUE(*value == *row.expected)
            << "got " << show(value) << ", expected " << show(row.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, TagValueConversionTest, ::testing::ValuesIn(conversionRows),
                         [](const ::testing::TestParamInfo<ConversionRow> &info) {
                             return std::string(info.param.name);
                         });

CModTag tagOf(int dataType)
{
    CModTag tag;
    tag.TagName = u"T"_s;
    tag.DataType = dataType;
    return tag;
}

TEST(TagValueTypeTest, aTagWithoutValueIsReadAsLong)
{
    const CModTag word = tagOf(DataTypeCode::Word);
    ASSERT_EQ(word.value.type(), DataTypeCode::Long) << "a fresh value carries the Long code";
    EXPECT_EQ(writeTypeCode(word), DataTypeCode::Long);
    const std::optional<CModData> value = tagValueFromText(u"70000"_s, writeTypeCode(word));
    EXPECT_TRUE(value && *value == longValue(70000)) << show(value);
}

TEST(TagValueTypeTest, aTagWithValueIsReadByTheValuesType)
{
    CModTag word = tagOf(DataTypeCode::Word);
    word.value.setWord(3);
    EXPECT_EQ(writeTypeCode(word), DataTypeCode::Word);

    // The value's code wins over the tag's own type.
    CModTag mismatched = tagOf(DataTypeCode::Word);
    mismatched.value.setByte(3);
    EXPECT_EQ(writeTypeCode(mismatched), DataTypeCode::Byte);
}

TEST(TagValueTypeTest, aDWordTagIsReadAsDWordBeforeItsFirstValue)
{
    CModTag dword = tagOf(DataTypeCode::DWord);
    EXPECT_EQ(writeTypeCode(dword), DataTypeCode::DWord);
    const std::optional<CModData> value = tagValueFromText(u"4000000000"_s, writeTypeCode(dword));
    EXPECT_TRUE(value && *value == dwordValue(4000000000u)) << show(value);

    dword.value.setDWord(1);
    EXPECT_EQ(writeTypeCode(dword), DataTypeCode::DWord);
}

struct AccessRow
{
    const char *name;
    qint32 addressNumber;
    int clientAccess;
    bool writable;
};

void PrintTo(const AccessRow &row, std::ostream *out)
{
    *out << row.name;
}

const AccessRow accessRows[] = {
    {"coil_000001", 1, ClientAccessCode::ReadWrite, true},
    {"coil_065535", 65535, ClientAccessCode::ReadWrite, true},
    {"first_input_coil_065536", 65536, ClientAccessCode::ReadWrite, false},
    {"input_coil_100001", 100001, ClientAccessCode::ReadWrite, false},
    {"input_register_300001", 300001, ClientAccessCode::ReadWrite, false},
    {"last_input_address_399999", 399999, ClientAccessCode::ReadWrite, false},
    {"holding_400000", 400000, ClientAccessCode::ReadWrite, true},
    {"holding_400001", 400001, ClientAccessCode::ReadWrite, true},
    {"read_only_holding_400001", 400001, ClientAccessCode::ReadOnly, false},
    {"read_only_coil_000001", 1, ClientAccessCode::ReadOnly, false},
};

class WritableTagTest : public ::testing::TestWithParam<AccessRow>
{};

TEST_P(WritableTagTest, onlyReadWriteTagsOutsideTheInputSpaces)
{
    const AccessRow &row = GetParam();
    CModTag tag;
    tag.AddressNumber = row.addressNumber;
    tag.ClientAccess = row.clientAccess;
    EXPECT_EQ(canWriteFromDialog(tag), row.writable);
}

INSTANTIATE_TEST_SUITE_P(Rows, WritableTagTest, ::testing::ValuesIn(accessRows),
                         [](const ::testing::TestParamInfo<AccessRow> &info) {
                             return std::string(info.param.name);
                         });

struct WholeNumberRow
{
    const char *name;
    quint8 typeCode;
    const char16_t *text;
    bool accepted;
};

void PrintTo(const WholeNumberRow &row, std::ostream *out)
{
    *out << row.name;
}

const WholeNumberRow wholeNumberRows[] = {
    {"word_plain", DataTypeCode::Word, u"1234", true},
    {"word_blanks_around", DataTypeCode::Word, u" \t42 ", true},
    {"word_top", DataTypeCode::Word, u"65535", true},
    {"word_letters", DataTypeCode::Word, u"abc", false},
    {"word_number_then_letters", DataTypeCode::Word, u"12abc", false},
    {"word_fraction", DataTypeCode::Word, u"1.5", false},
    {"word_too_big", DataTypeCode::Word, u"70000", false},
    {"word_negative", DataTypeCode::Word, u"-1", false},
    {"word_empty", DataTypeCode::Word, u"", false},
    {"word_sign_alone", DataTypeCode::Word, u"+", false},
    {"word_hex", DataTypeCode::Word, u"0x10", false},
    {"word_endless_digits", DataTypeCode::Word, u"123456789012345678901234567890", false},
    {"boolean_one", DataTypeCode::Boolean, u"1", true},
    {"boolean_two", DataTypeCode::Boolean, u"2", false},
    {"char_bottom", DataTypeCode::Char, u"-128", true},
    {"char_beyond", DataTypeCode::Char, u"128", false},
    {"byte_top", DataTypeCode::Byte, u"255", true},
    {"short_bottom", DataTypeCode::Short, u"-32768", true},
    {"short_beyond", DataTypeCode::Short, u"32768", false},
    {"long_bottom", DataTypeCode::Long, u"-2147483648", true},
    {"long_beyond", DataTypeCode::Long, u"2147483648", false},
    {"long_huge", DataTypeCode::Long, u"1000000000000", false},
    {"dword_top", DataTypeCode::DWord, u"4294967295", true},
    {"dword_beyond", DataTypeCode::DWord, u"4294967296", false},
    {"dword_negative", DataTypeCode::DWord, u"-1", false},
    {"float_exponent", DataTypeCode::Float, u"-1.5e3", true},
    {"float_fraction_only", DataTypeCode::Float, u".5", true},
    {"float_trailing_point", DataTypeCode::Float, u"3.", true},
    {"float_point_alone", DataTypeCode::Float, u".", false},
    {"float_exponent_without_digits", DataTypeCode::Float, u"2e", false},
    {"float_unit", DataTypeCode::Float, u"1.25kg", false},
    {"float_comma", DataTypeCode::Float, u"1,5", false},
    {"float_nan", DataTypeCode::Float, u"nan", false},
    {"float_inf", DataTypeCode::Float, u"inf", false},
    {"float_beyond_float_range", DataTypeCode::Float, u"1e39", false},
    {"double_exponent", DataTypeCode::Double, u"-1.5e300", true},
    {"double_beyond_range", DataTypeCode::Double, u"1e400", false},
    {"double_unit", DataTypeCode::Double, u"1.5m", false},
    {"string_has_no_text", DataTypeCode::String, u"1", false},
};

class WholeNumberTest : public ::testing::TestWithParam<WholeNumberRow>
{};

TEST_P(WholeNumberTest, onlyTextThatIsWhollyANumberOfTheType)
{
    const WholeNumberRow &row = GetParam();
    EXPECT_EQ(isValueTextOfType(QStringView(row.text), row.typeCode), row.accepted);
}

INSTANTIATE_TEST_SUITE_P(Rows, WholeNumberTest, ::testing::ValuesIn(wholeNumberRows),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(TagValueTypeTest, theDialogChecksByTheTagsOwnTypeBeforeItsFirstValue)
{
    CModTag word;
    word.DataType = DataTypeCode::Word;
    EXPECT_EQ(dialogTypeCode(word), DataTypeCode::Word) << "70000 is no Word even as a Long";
    CModTag doubleTag;
    doubleTag.DataType = DataTypeCode::Double;
    EXPECT_EQ(dialogTypeCode(doubleTag), DataTypeCode::Double);
    CModTag dateTag;
    dateTag.DataType = DataTypeCode::Date;
    EXPECT_EQ(dialogTypeCode(dateTag), writeTypeCode(dateTag));
}

} // namespace
