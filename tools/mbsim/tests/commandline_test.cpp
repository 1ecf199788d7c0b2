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
