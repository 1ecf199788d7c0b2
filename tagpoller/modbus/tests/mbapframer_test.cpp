#include "hexbytes.h"
#include "mbapframer.h"
#include "modbuscodec.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <cstring>
#include <vector>

namespace {

using Kind = MbapFramer::Next::Kind;

const QByteArray RegisterReply = hexBytes("00 03 00 00 00 09 11 03 06 02 2b 00 00 00 64");
const QByteArray ExceptionReply = hexBytes("00 04 00 00 00 03 11 83 02");
const QByteArray WriteEcho = hexBytes("00 05 00 00 00 06 01 05 00 ac ff 00");

std::vector<QByteArray> drain(MbapFramer &framer)
{
    std::vector<QByteArray> adus;
    for (;;) {
        MbapFramer::Next next = framer.takeNext();
        if (next.kind != Kind::Adu)
            return adus;
        adus.push_back(next.adu.toByteArray());
    }
}

TEST(MbapFramer, YieldsAWholeAdu)
{
    MbapFramer framer;
    framer.append(RegisterReply);
    const MbapFramer::Next next = framer.takeNext();
    ASSERT_EQ(next.kind, Kind::Adu);
    EXPECT_EQ(toHex(next.adu.toByteArray()), toHex(RegisterReply));
    EXPECT_EQ(framer.takeNext().kind, Kind::NeedMore);
    EXPECT_EQ(framer.bufferedSize(), 0);
}

TEST(MbapFramer, EverySplitPointOfAReplyJoins)
{
    for (qsizetype split = 1; split < RegisterReply.size(); ++split) {
        MbapFramer framer;
        framer.append(RegisterReply.first(split));
        EXPECT_EQ(framer.takeNext().kind, Kind::NeedMore) << "split at " << split;
        framer.append(RegisterReply.sliced(split));
        const MbapFramer::Next next = framer.takeNext();
        ASSERT_EQ(next.kind, Kind::Adu) << "split at " << split;
        EXPECT_EQ(toHex(next.adu.toByteArray()), toHex(RegisterReply));
        EXPECT_EQ(framer.takeNext().kind, Kind::NeedMore);
    }
}

TEST(MbapFramer, OneByteAtATime)
{
    MbapFramer framer;
    std::vector<QByteArray> adus;
    for (char byte : RegisterReply + WriteEcho) {
        framer.append(QByteArrayView(&byte, 1));
        for (const QByteArray &adu : drain(framer))
            adus.push_back(adu);
    }
    ASSERT_EQ(adus.size(), 2u);
    EXPECT_EQ(toHex(adus[0]), toHex(RegisterReply));
    EXPECT_EQ(toHex(adus[1]), toHex(WriteEcho));
}

TEST(MbapFramer, MergedRepliesEachYielded)
{
    MbapFramer framer;
    framer.append(RegisterReply + ExceptionReply + WriteEcho.first(5));
    const std::vector<QByteArray> adus = drain(framer);
    ASSERT_EQ(adus.size(), 2u);
    EXPECT_EQ(toHex(adus[0]), toHex(RegisterReply));
    EXPECT_EQ(toHex(adus[1]), toHex(ExceptionReply));
    EXPECT_EQ(framer.bufferedSize(), 5) << "the partial third is kept";
    framer.append(WriteEcho.sliced(5));
    const std::vector<QByteArray> rest = drain(framer);
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(toHex(rest[0]), toHex(WriteEcho));
}

TEST(MbapFramer, ShortestAndLongestLengthsAreWhole)
{
    MbapFramer framer;
    const QByteArray shortest = hexBytes("00 01 00 00 00 02 01 03");
    QByteArray longest = hexBytes("00 02 00 00 00 fe 01 03 fb");
    longest.append(QByteArray(251, '\x00'));
    ASSERT_EQ(longest.size(), ModbusTcp::MaxAduSize);
    framer.append(shortest + longest);
    const std::vector<QByteArray> adus = drain(framer);
    ASSERT_EQ(adus.size(), 2u);
    EXPECT_EQ(adus[0], shortest);
    EXPECT_EQ(adus[1], longest);
}

class BadLengthTest : public ::testing::TestWithParam<int>
{};

TEST_P(BadLengthTest, IsAProtocolError)
{
    QByteArray adu = hexBytes("00 01 00 00 00 00 11 03 02 00 01");
    adu[4] = char(GetParam() >> 8);
    adu[5] = char(GetParam() & 0xFF);
    MbapFramer framer;
    framer.append(adu.first(6));
    MbapFramer::Next next = framer.takeNext();
    EXPECT_EQ(next.kind, Kind::ProtocolError) << "known as soon as the length field is in";
    EXPECT_EQ(next.error, MbapFramer::Error::BadLength);
    framer.append(adu.sliced(6) + RegisterReply);
    EXPECT_EQ(framer.takeNext().kind, Kind::ProtocolError) << "sticks until clear()";
    framer.clear();
    framer.append(RegisterReply);
    EXPECT_EQ(framer.takeNext().kind, Kind::Adu);
}

INSTANTIATE_TEST_SUITE_P(Lengths, BadLengthTest, ::testing::Values(0, 1, 255, 300, 0xFFFF));

TEST(MbapFramer, BadProtocolIdIsAProtocolError)
{
    MbapFramer framer;
    framer.append(hexBytes("00 01 00 01"));
    const MbapFramer::Next next = framer.takeNext();
    EXPECT_EQ(next.kind, Kind::ProtocolError);
    EXPECT_EQ(next.error, MbapFramer::Error::BadProtocolId);
    EXPECT_EQ(framer.error(), MbapFramer::Error::BadProtocolId);
}

TEST(MbapFramer, BadAduAfterAGoodOneYieldsTheGoodOneFirst)
{
    MbapFramer framer;
    framer.append(RegisterReply + hexBytes("00 09 12 34 00 06"));
    EXPECT_EQ(framer.takeNext().kind, Kind::Adu);
    EXPECT_EQ(framer.takeNext().kind, Kind::ProtocolError);
}

TEST(MbapFramer, RandomChunkingGivesTheSameAdus)
{
    QRandomGenerator random(20240611);
    for (int round = 0; round < 200; ++round) {
        std::vector<QByteArray> sent;
        QByteArray stream;
        const int count = int(random.bounded(1, 40));
        for (int i = 0; i < count; ++i) {
            const int length =
                int(random.bounded(ModbusTcp::MinMbapLength, ModbusTcp::MaxMbapLength + 1));
            QByteArray adu(ModbusTcp::MbapPrefixSize + length, Qt::Uninitialized);
            for (char &byte : adu)
                byte = char(random.bounded(256));
            adu[0] = char(i >> 8);
            adu[1] = char(i);
            adu[2] = 0;
            adu[3] = 0;
            adu[4] = char(length >> 8);
            adu[5] = char(length);
            sent.push_back(adu);
            stream += adu;
        }

        MbapFramer framer;
        std::vector<QByteArray> received;
        for (qsizetype at = 0; at < stream.size();) {
            const qsizetype chunk = qMin<qsizetype>(stream.size() - at, random.bounded(1, 600));
            // Both ways in: bytes copied in, and bytes received into the
            // framer's own room (a receive may fill less than it offers).
            if (random.bounded(2) == 0) {
                framer.append(QByteArrayView(stream).sliced(at, chunk));
            } else {
                char *room = framer.appendSpace(chunk + qsizetype(random.bounded(0, 300)));
                std::memcpy(room, stream.constData() + at, size_t(chunk));
                framer.commitAppended(chunk);
            }
            at += chunk;
            for (const QByteArray &adu : drain(framer))
                received.push_back(adu);
        }
        ASSERT_EQ(received, sent) << "round " << round;
        EXPECT_EQ(framer.bufferedSize(), 0);
        EXPECT_EQ(framer.error(), MbapFramer::Error::None);
    }
}

} // namespace
