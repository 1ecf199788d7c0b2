// The command line's value formats, parsed without a simulator.
#include "commandline.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

TEST(CommandLineTest, UnitListWithRanges)
{
    std::string error;
    const auto units = mbsim::parseUnitList("1,3-5,255", error);
    ASSERT_TRUE(units) << error;
    EXPECT_EQ(*units, (std::vector<std::uint8_t>{1, 3, 4, 5, 255}));
    EXPECT_FALSE(mbsim::parseUnitList("256", error));
    EXPECT_FALSE(mbsim::parseUnitList("5-3", error));
    EXPECT_FALSE(mbsim::parseUnitList("", error));
}

TEST(CommandLineTest, ValueSetting)
{
    std::string error;
    const auto setting = mbsim::parseValueSetting("hr:1:10-19=123", error);
    ASSERT_TRUE(setting) << error;
    EXPECT_EQ(setting->table, mbsim::Table::HoldingRegisters);
    EXPECT_EQ(setting->unit, 1);
    EXPECT_EQ(setting->address, 10);
    EXPECT_EQ(setting->count, 10u);
    EXPECT_EQ(setting->value, 123);
    EXPECT_FALSE(mbsim::parseValueSetting("xx:1:0=1", error));
    EXPECT_FALSE(mbsim::parseValueSetting("hr:1:0=65536", error));
    EXPECT_FALSE(mbsim::parseValueSetting("hr:*:0=1", error));
}

TEST(CommandLineTest, TypedValuesAndTheirLayouts)
{
    std::string error;
    // 1.0 is 0x3FF0'0000'0000'0000; by default the low double word and the low
    // word come first.
    auto setting = mbsim::parseValueSetting("hr:1:20=double:1", error);
    ASSERT_TRUE(setting) << error;
    EXPECT_EQ(setting->address, 20);
    EXPECT_EQ(setting->count, 4u);
    EXPECT_EQ(setting->registers, (std::vector<std::uint16_t>{0x0000, 0x0000, 0x0000, 0x3FF0}));
    setting = mbsim::parseValueSetting("hr:1:20=double,word-high,dword-high:1", error);
    ASSERT_TRUE(setting) << error;
    EXPECT_EQ(setting->registers, (std::vector<std::uint16_t>{0x3FF0, 0x0000, 0x0000, 0x0000}));
    setting = mbsim::parseValueSetting("ir:1:0=double,bytes-swapped:1", error);
    ASSERT_TRUE(setting) << error;
    EXPECT_EQ(setting->registers, (std::vector<std::uint16_t>{0x0000, 0x0000, 0x0000, 0xF03F}));

    setting = mbsim::parseValueSetting("hr:2:5=bcd:1234", error);
    ASSERT_TRUE(setting) << error;
    EXPECT_EQ(setting->registers, (std::vector<std::uint16_t>{0x1234}));
    setting = mbsim::parseValueSetting("hr:2:5=lbcd:12345678", error);
    ASSERT_TRUE(setting) << error;
    EXPECT_EQ(setting->registers, (std::vector<std::uint16_t>{0x5678, 0x1234}));
    setting = mbsim::parseValueSetting("hr:2:5=lbcd,word-high,bytes-swapped:12345678", error);
    ASSERT_TRUE(setting) << error;
    EXPECT_EQ(setting->registers, (std::vector<std::uint16_t>{0x3412, 0x7856}));

    EXPECT_FALSE(mbsim::parseValueSetting("hr:1:0=bcd:10000", error));
    EXPECT_FALSE(mbsim::parseValueSetting("hr:1:0=lbcd:100000000", error));
    EXPECT_FALSE(mbsim::parseValueSetting("hr:1:0=double:1.5x", error));
    EXPECT_FALSE(mbsim::parseValueSetting("hr:1:0=double,upside-down:1", error));
    EXPECT_FALSE(mbsim::parseValueSetting("hr:1:0=float:1", error));
    EXPECT_FALSE(mbsim::parseValueSetting("co:1:0=bcd:1", error));
    EXPECT_FALSE(mbsim::parseValueSetting("hr:1:0-3=double:1", error));
    EXPECT_FALSE(mbsim::parseValueSetting("hr:1:65533=double:1", error));
}

TEST(CommandLineTest, RefusalSetting)
{
    std::string error;
    const auto refusal = mbsim::parseRefusalSetting("1,3-4:5,6,22", error);
    ASSERT_TRUE(refusal) << error;
    EXPECT_EQ(refusal->units, (std::vector<std::uint8_t>{1, 3, 4}));
    EXPECT_EQ(refusal->functions, (std::vector<std::uint8_t>{5, 6, 22}));
    EXPECT_FALSE(mbsim::parseRefusalSetting("1", error));
    EXPECT_FALSE(mbsim::parseRefusalSetting("1:0", error));
    EXPECT_FALSE(mbsim::parseRefusalSetting("1:128", error));
    EXPECT_FALSE(mbsim::parseRefusalSetting("1:", error));
}

TEST(CommandLineTest, RampSetting)
{
    std::string error;
    const auto ramp = mbsim::parseRampSetting("ir:2:0-99@100ms", error);
    ASSERT_TRUE(ramp) << error;
    EXPECT_EQ(ramp->table, mbsim::Table::InputRegisters);
    EXPECT_EQ(ramp->count, 100u);
    EXPECT_EQ(ramp->period, 100ms);
    EXPECT_FALSE(mbsim::parseRampSetting("ir:2:0@0ms", error));
}

TEST(CommandLineTest, FaultRules)
{
    std::string error;
    const auto exception = mbsim::parseFaultRule("hr:1:100-109=exception:2", error);
    ASSERT_TRUE(exception) << error;
    EXPECT_EQ(exception->kind, mbsim::FaultKind::Exception);
    EXPECT_EQ(exception->exceptionCode, 2);
    EXPECT_EQ(exception->unitId, std::optional<std::uint8_t>(1));
    EXPECT_EQ(exception->start, 100);
    EXPECT_EQ(exception->count, 10u);

    const auto delay = mbsim::parseFaultRule("co:*:0=delay:1500ms*3", error);
    ASSERT_TRUE(delay) << error;
    EXPECT_FALSE(delay->unitId);
    EXPECT_EQ(delay->kind, mbsim::FaultKind::Delay);
    EXPECT_EQ(delay->pause, 1500ms);
    EXPECT_EQ(delay->times, 3);

    const auto split = mbsim::parseFaultRule("ir:1:0=split:3:50", error);
    ASSERT_TRUE(split) << error;
    EXPECT_EQ(split->byteCount, 3u);
    EXPECT_EQ(split->pause, 50ms);

    for (const char *kind : {"drop", "merge", "wrong-tid", "garbage", "truncate:5"})
        EXPECT_TRUE(mbsim::parseFaultRule(std::string("hr:1:0=") + kind, error)) << kind;
    EXPECT_FALSE(mbsim::parseFaultRule("hr:1:0=explode", error));
    EXPECT_FALSE(mbsim::parseFaultRule("hr:1:0=drop:1", error));
    EXPECT_FALSE(mbsim::parseFaultRule("hr:1:0=exception:0", error));
}

} // namespace
