#include "eventlogtesting.h"
#include "savedmessages.h"

#include <gtest/gtest.h>

using namespace eventlogtest;

namespace {

// Two messages: "Hi" at 14:03:07 and "Ab" a second later. The second element
// names its class by reference to the first.
const char *const TwoMessages =
    "02 00"
    "ff ff 01 00 07 00 43 4d 6f 64 4d 73 67" // new class CModMsg, schema 1
    "00 00 ff fe ff 02 48 00 69 00"
    "0a 00 00 80 fb dc e4 58 00 00 00 00"
    "01 80" // class 1 again
    "00 00 ff fe ff 02 41 00 62 00"
    "0a 00 00 80 fc dc e4 58 00 00 00 00";

savedmessages::Messages twoMessages()
{
    return {std::make_shared<CModMsg>(QStringLiteral("Hi"), AprilFifth2017At140307),
            std::make_shared<CModMsg>(QStringLiteral("Ab"), AprilFifth2017At140307 + 1s)};
}

TEST(SavedMessages, EncodesOneObjectArrayOfCModMsgAndNothingElse)
{
    EXPECT_EQ(savedmessages::encode(twoMessages()).toHex(' '), fromHex(TwoMessages).toHex(' '));
}

TEST(SavedMessages, EmptyLogIsAnEmptyArray)
{
    EXPECT_EQ(savedmessages::encode({}), fromHex("00 00"));
    const auto decoded = savedmessages::decode(fromHex("00 00"));
    ASSERT_TRUE(decoded.ok());
    EXPECT_TRUE(decoded.messages.empty());
}

TEST(SavedMessages, DecodesTextsAndTimesInFileOrder)
{
    const auto decoded = savedmessages::decode(fromHex(TwoMessages));
    ASSERT_TRUE(decoded.ok()) << decoded.status.message.toStdString();
    ASSERT_EQ(decoded.messages.size(), 2u);
    EXPECT_EQ(decoded.messages[0]->text(), QStringLiteral("Hi"));
    EXPECT_EQ(decoded.messages[0]->time(), AprilFifth2017At140307);
    EXPECT_EQ(decoded.messages[1]->text(), QStringLiteral("Ab"));
    EXPECT_EQ(decoded.messages[1]->time(), AprilFifth2017At140307 + 1s);
}

TEST(SavedMessages, AcceptsTheOlderThirtyTwoBitTime)
{
    const auto decoded =
        savedmessages::decode(fromHex("01 00 ff ff 01 00 07 00 43 4d 6f 64 4d 73 67"
                                      "00 00 ff fe ff 01 41 00 fb dc e4 58"));
    ASSERT_TRUE(decoded.ok()) << decoded.status.message.toStdString();
    ASSERT_EQ(decoded.messages.size(), 1u);
    EXPECT_EQ(decoded.messages[0]->time(), AprilFifth2017At140307);
}

TEST(SavedMessages, RoundTripsManyMessagesWithAnyText)
{
    savedmessages::Messages messages;
    for (int i = 0; i < 70000; ++i) // beyond 0x7FFF indexes and a 16-bit count
        messages.push_back(
            std::make_shared<CModMsg>(QStringLiteral("Nachricht %1: Ä€😀").arg(i),
                                      AprilFifth2017At140307 + std::chrono::seconds(i)));
    const auto decoded = savedmessages::decode(savedmessages::encode(messages));
    ASSERT_TRUE(decoded.ok()) << decoded.status.message.toStdString();
    ASSERT_EQ(decoded.messages.size(), messages.size());
    for (size_t i = 0; i < messages.size(); i += 997) {
        EXPECT_EQ(decoded.messages[i]->text(), messages[i]->text());
        EXPECT_EQ(decoded.messages[i]->time(), messages[i]->time());
    }
    EXPECT_EQ(decoded.messages.back()->text(), messages.back()->text());
}

TEST(SavedMessages, EveryTruncationIsRefusedAsAWhole)
{
    const QByteArray bytes = fromHex(TwoMessages);
    for (qsizetype length = 0; length < bytes.size(); ++length) {
        const auto decoded = savedmessages::decode(QByteArrayView(bytes).first(length));
        ASSERT_EQ(decoded.status.error, ArchiveError::EndOfData) << "truncated to " << length;
        EXPECT_TRUE(decoded.messages.empty()) << "truncated to " << length;
        EXPECT_FALSE(decoded.status.message.isEmpty());
    }
}

struct BadFile
{
    const char *name;
    QByteArray bytes;
    ArchiveError error;
};

void PrintTo(const BadFile &file, std::ostream *os)
{
    *os << file.name;
}

class SavedMessagesRefused : public ::testing::TestWithParam<BadFile>
{};

TEST_P(SavedMessagesRefused, WithAReasonAndNoMessages)
{
    const auto decoded = savedmessages::decode(GetParam().bytes);
    EXPECT_EQ(decoded.status.error, GetParam().error) << decoded.status.message.toStdString();
    EXPECT_TRUE(decoded.messages.empty());
    EXPECT_FALSE(decoded.status.message.isEmpty());
}

QByteArray withTrailingByte()
{
    return fromHex(TwoMessages) + fromHex("00");
}

QByteArray withReplaced(qsizetype at, const char *hex)
{
    QByteArray bytes = fromHex(TwoMessages);
    const QByteArray replacement = fromHex(hex);
    bytes.replace(at, replacement.size(), replacement);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    SavedMessages, SavedMessagesRefused,
    ::testing::Values(
        BadFile{"trailing-byte", withTrailingByte(), ArchiveError::Generic},
        BadFile{"other-class-name", withReplaced(8, "43 4d 6f 64 54 61 67"),
                ArchiveError::BadClass},
        BadFile{"schema-2", withReplaced(4, "02 00"), ArchiveError::BadSchema},
        BadFile{"null-element", fromHex("01 00 00 00"), ArchiveError::BadIndex},
        BadFile{"class-index-not-defined", fromHex("01 00 05 80"), ArchiveError::BadIndex},
        BadFile{"hostile-count-no-elements", fromHex("ff ff ff ff ff ff"), ArchiveError::EndOfData},
        BadFile{"hostile-string-length",
                fromHex("01 00 ff ff 01 00 07 00 43 4d 6f 64 4d 73 67 00 00"
                        "ff fe ff ff ff ff fe ff ff 7f"),
                ArchiveError::EndOfData},
        BadFile{"random-text", QByteArray("this is not a message file\n"), ArchiveError::BadIndex}),
    [](const auto &info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

} // namespace
