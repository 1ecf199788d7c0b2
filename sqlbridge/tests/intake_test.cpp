// The bridge's intake: what the host runtime's messages do to the buffers and
// what they answer. No database is needed: no pass connects here, or it
// fails without contacting anything.
#include "bridgetesting.h"
#include "bridgetexts.h"
#include "messagelog.h"
#include "sqlbridge.h"
#include "testenvironment.h"
#include "writerpass.h"

#include <gtest/gtest.h>

using namespace bridgetesting;

namespace {

class IntakeTest : public ::testing::Test
{
protected:
    static SqlBridge::Options manualTimer()
    {
        SqlBridge::Options options;
        options.timerInterval = std::chrono::milliseconds(0); // ticks come from the test
        return options;
    }

    qint64 sendTags(int count, const QString &prefix = QStringLiteral("T"))
    {
        return bridge.handleCopyData(SqlPayload::TagValuesCode,
                                     SqlPayload::encodeTagValues(numericTags(count, prefix)));
    }
    qint64 sendAlarms(int count)
    {
        return bridge.handleCopyData(SqlPayload::AlarmsCode,
                                     SqlPayload::encodeAlarms(alarms(count)));
    }

    MessageLog log;
    SqlBridge bridge{log, manualTimer()};
    int startCommands = 0;

    void SetUp() override
    {
        QObject::connect(&bridge, &SqlBridge::startWriterCommandPosted,
                         [this] { ++startCommands; });
    }
};

} // namespace

TEST_F(IntakeTest, TagBufferLimitAndThreshold)
{
    EXPECT_EQ(sendTags(49), 1);
    EXPECT_EQ(startCommands, 0);
    EXPECT_EQ(sendTags(1), 1);
    EXPECT_EQ(startCommands, 1);
    EXPECT_EQ(sendTags(949), 1);
    EXPECT_EQ(bridge.bufferedTagValues(), 999u);
    // At 999 the payload is taken whole, past the limit.
    EXPECT_EQ(sendTags(5), 1);
    EXPECT_EQ(bridge.bufferedTagValues(), 1004u);
    EXPECT_TRUE(log.lines().isEmpty());
    // At 1000 or more it is refused, with the message, and the host is told.
    EXPECT_EQ(sendTags(3), 0);
    EXPECT_EQ(bridge.bufferedTagValues(), 1004u);
    EXPECT_EQ(log.lines(), QStringList{BridgeText::tagBufferFull()});
}

TEST_F(IntakeTest, AlarmBufferLimitAndThreshold)
{
    EXPECT_EQ(sendAlarms(9), 1);
    EXPECT_EQ(startCommands, 0);
    EXPECT_EQ(sendAlarms(1), 1);
    EXPECT_EQ(startCommands, 1);
    EXPECT_EQ(sendAlarms(489), 1);
    EXPECT_EQ(sendAlarms(2), 1); // at 499
    EXPECT_EQ(sendAlarms(1), 0); // at 501
    EXPECT_EQ(bridge.bufferedAlarms(), 501u);
    EXPECT_EQ(log.lines(), QStringList{BridgeText::alarmBufferFull()});
}

TEST_F(IntakeTest, VersionCheck)
{
    const auto version = [this](qint32 major, qint32 minor) {
        return bridge.handleCopyData(SqlPayload::VersionCode,
                                     SqlPayload::encodeVersion({major, minor}));
    };
    EXPECT_EQ(version(1, 0), 1);
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(version(1, 1), 0);
    EXPECT_EQ(version(2, 0), 0);
    EXPECT_EQ(log.lines(),
              (QStringList{QStringLiteral("Orvala_SQL_Interface Required version is: 1.1. Version "
                                          "of this program is not matching."),
                           BridgeText::sendingImpossible(),
                           QStringLiteral("Orvala_SQL_Interface Required version is: 2.0. Version "
                                          "of this program is not matching."),
                           BridgeText::sendingImpossible()}));
    // Nothing else changes: data is still taken.
    EXPECT_EQ(sendTags(1), 1);
}

TEST_F(IntakeTest, SettingsUnknownCodesAndCloseRequest)
{
    const SqlPayload::ConnectionSettings settings{
        QStringLiteral("db"), QStringLiteral("plant"), QStringLiteral("t"),
        QStringLiteral("a"),  QStringLiteral("u"),     QStringLiteral("Pw-secret-1")};
    EXPECT_EQ(bridge.handleCopyData(SqlPayload::SettingsCode, SqlPayload::encodeSettings(settings)),
              1);
    EXPECT_EQ(bridge.connectionSettings(), settings);
    EXPECT_EQ(bridge.handleCopyData(12345, QByteArray("anything")), 1);
    EXPECT_EQ(bridge.bufferedTagValues(), 0u);
    EXPECT_TRUE(log.lines().isEmpty());

    hostmsg::Message close;
    close.kind = hostmsg::Kind::Post;
    close.msg = SqlPayload::CloseWhenDrainedMessage;
    EXPECT_EQ(bridge.handleMessage(close), 1);
    EXPECT_TRUE(bridge.isCloseRequested());
    int closes = 0;
    QObject::connect(&bridge, &SqlBridge::drainedCloseDue, [&] { ++closes; });
    bridge.onTimerTick();
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(bridge.isCloseRequested());
}

TEST_F(IntakeTest, UnreadablePayloadsAreRefusedAndChangeNothing)
{
    const QByteArray tags = SqlPayload::encodeTagValues(numericTags(3));
    EXPECT_EQ(bridge.handleCopyData(SqlPayload::TagValuesCode, tags.left(tags.size() - 1)), 0);
    EXPECT_EQ(bridge.handleCopyData(SqlPayload::TagValuesCode, SqlPayload::encodeAlarms(alarms(1))),
              0);
    EXPECT_EQ(bridge.handleCopyData(SqlPayload::AlarmsCode, tags), 0);
    EXPECT_EQ(bridge.handleCopyData(SqlPayload::SettingsCode, QByteArray("\x01", 1)), 0);
    EXPECT_EQ(bridge.handleCopyData(SqlPayload::VersionCode, QByteArray("\x01\x00\x00", 3)), 0);
    EXPECT_EQ(bridge.bufferedTagValues(), 0u);
    EXPECT_EQ(bridge.bufferedAlarms(), 0u);
    EXPECT_EQ(log.lineCount(), 5);
    EXPECT_TRUE(log.line(0).startsWith(QStringLiteral("Tag values refused, the payload is "
                                                      "unreadable: end of data")))
        << log.line(0).toStdString();
    // Still serving.
    EXPECT_EQ(sendTags(2), 1);
    EXPECT_EQ(bridge.bufferedTagValues(), 2u);
}

TEST_F(IntakeTest, ABusyBufferRefusesThePayload)
{
    std::unique_lock hold(bridge.sharedForTests().tags.mutexForTests());
    std::thread sender([&] {
        // The intake runs on another thread only here, to meet the held lock.
        EXPECT_EQ(sendTags(3), 0);
    });
    sender.join();
    hold.unlock();
    EXPECT_EQ(bridge.bufferedTagValues(), 0u);
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("Tag buffer busy, 3 tag values refused.")});
}

TEST_F(IntakeTest, SettingsNeverReceivedFailEveryConnectionWithoutContact)
{
    ASSERT_EQ(sendTags(3), 1);
    for (int pass = 1; pass <= 5; ++pass) {
        bridge.onTimerTick();
        ASSERT_TRUE(waitUntil([&] { return !bridge.isPassRunning(); }));
        EXPECT_EQ(bridge.failedConnections(), pass);
        // The records wait for the next pass until the interface stops.
        if (pass < 5) {
            EXPECT_EQ(bridge.bufferedTagValues(), 3u);
        }
    }
    EXPECT_TRUE(bridge.isStopped());
    const QStringList lines = log.lines();
    ASSERT_GE(lines.size(), 7);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("DbServer is empty")));
    EXPECT_EQ(lines[5], BridgeText::interfaceStopped(5));
    EXPECT_TRUE(lines[6].startsWith(QStringLiteral("3 tag values written to the unsent file")));
    EXPECT_EQ(bridge.bufferedTagValues(), 0u);
    // Stopped: everything is refused.
    EXPECT_EQ(bridge.handleCopyData(SqlPayload::VersionCode, SqlPayload::encodeVersion({1, 0})), 0);
    EXPECT_EQ(sendTags(1), 0);
    EXPECT_EQ(log.lineCount(), 7);
    // The start-writer command never starts a pass after a failure.
    bridge.onStartWriterCommand();
    EXPECT_FALSE(bridge.isPassRunning());
}
