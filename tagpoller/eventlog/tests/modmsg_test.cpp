#include "eventlogtesting.h"
#include "modmsg.h"

#include <gtest/gtest.h>

#include <limits>

using namespace eventlogtest;

namespace {

TEST(CModMsg, RowTextsShowMonthDayYearAndTheClockInLocalTime)
{
    setCentralEuropeanTime();
    const CModMsg message(QStringLiteral("Starting Modbus Driver."), AprilFifth2017At140307);
    EXPECT_EQ(message.dateText(), QStringLiteral("04-05-2017"));
    EXPECT_EQ(message.timeText(), QStringLiteral("14:03:07"));
    EXPECT_EQ(message.text(), QStringLiteral("Starting Modbus Driver."));
}

TEST(CModMsg, RowTextsFollowTheLocalZoneNotTheStoredUtc)
{
    setUniversalTime();
    const CModMsg message(QString(), AprilFifth2017At140307);
    EXPECT_EQ(message.dateText(), QStringLiteral("04-05-2017"));
    EXPECT_EQ(message.timeText(), QStringLiteral("12:03:07"));
}

TEST(CModMsg, RowTextsPadSingleDigitsAndCrossMidnightLocally)
{
    setCentralEuropeanTime();
    // 23:30 UTC on 31 December 2019 is 00:30 on 1 January 2020 in winter time.
    const CModMsg message(QString(), std::chrono::sys_seconds(1577835000s));
    EXPECT_EQ(message.dateText(), QStringLiteral("01-01-2020"));
    EXPECT_EQ(message.timeText(), QStringLiteral("00:30:00"));
}

TEST(CModMsg, TimeWithoutLocalFormShowsZerosAndMinusOnes)
{
    setCentralEuropeanTime();
    for (qint64 seconds :
         {std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min()}) {
        const CModMsg message{QString(), std::chrono::sys_seconds{std::chrono::seconds{seconds}}};
        EXPECT_EQ(message.dateText(), QStringLiteral("00-00-00")) << seconds;
        EXPECT_EQ(message.timeText(), QStringLiteral("-1:-1:-1")) << seconds;
    }
}

TEST(CModMsg, ArchiveFormIsReservedWordTextAndSixtyFourBitTime)
{
    CModMsg message(QStringLiteral("Hi"), AprilFifth2017At140307);
    EXPECT_EQ(writePayload(message).toHex(' '),
              fromHex("00 00"                                // reserved, written as 0
                      "ff fe ff 02 48 00 69 00"              // "Hi" in UTF-16LE
                      "0a 00 00 80 fb dc e4 58 00 00 00 00") // time, 64-bit form
                  .toHex(' '));
}

TEST(CModMsg, ReservedWordIsIgnoredWhenRead)
{
    const QByteArray bytes = fromHex("34 12 ff fe ff 01 41 00 0a 00 00 80 fb dc e4 58 00 00 00 00");
    CModMsg message;
    const ArchiveStatus status =
        readPayload(bytes, message, RecordRegistry(), TrailingBytes::Rejected);
    ASSERT_TRUE(status.ok()) << status.message.toStdString();
    EXPECT_EQ(message.text(), QStringLiteral("A"));
    EXPECT_EQ(message.time(), AprilFifth2017At140307);
    EXPECT_EQ(writePayload(message).left(2), fromHex("00 00"));
}

} // namespace
