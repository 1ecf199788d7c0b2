// The bytes on the wire, read by a plain socket: framing of requests and the
// exact shape of faulty replies.
#include "rawclient.h"
#include "simulator.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using mbsim::testing::Bytes;
using mbsim::testing::RawClient;
using mbsim::testing::readRequest;

namespace {

class RawSocketTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_port = m_simulator.start();
        ASSERT_NE(m_port, 0) << m_simulator.errorString();
        m_simulator.setHoldingRegister(1, 0, 0x1234);
        m_simulator.setHoldingRegister(1, 1, 0x5678);
    }

    mbsim::Simulator m_simulator{{.units = {1}}};
    std::uint16_t m_port = 0;
};

// Reading holding register 0 (0x1234) with transaction id 7.
const Bytes kReadRegister0 = readRequest(7, 1, 3, 0, 1);
const Bytes kReplyRegister0{0x00, 0x07, 0x00, 0x00, 0x00, 0x05, 0x01, 0x03, 0x02, 0x12, 0x34};

TEST_F(RawSocketTest, PlainReplyBytes)
{
    RawClient client(m_port);
    ASSERT_TRUE(client.send(kReadRegister0));
    EXPECT_EQ(client.receiveExactly(kReplyRegister0.size()), kReplyRegister0);
}

TEST_F(RawSocketTest, ExceptionReplyBytes)
{
    m_simulator.addFault({.kind = mbsim::FaultKind::Exception, .exceptionCode = 6});
    RawClient client(m_port);
    ASSERT_TRUE(client.send(kReadRegister0));
    const Bytes expected{0x00, 0x07, 0x00, 0x00, 0x00, 0x03, 0x01, 0x83, 0x06};
    EXPECT_EQ(client.receiveExactly(expected.size()), expected);
}

TEST_F(RawSocketTest, RequestSplitAcrossSegmentsIsServed)
{
    RawClient client(m_port);
    ASSERT_TRUE(client.send(Bytes(kReadRegister0.begin(), kReadRegister0.begin() + 5)));
    // The server has only half a header: nothing may come back yet.
    EXPECT_EQ(client.receiveOnce(100), Bytes{});
    ASSERT_TRUE(client.send(Bytes(kReadRegister0.begin() + 5, kReadRegister0.end())));
    EXPECT_EQ(client.receiveExactly(kReplyRegister0.size()), kReplyRegister0);
}

TEST_F(RawSocketTest, TwoRequestsInOneSegmentAreBothServedInOrder)
{
    RawClient client(m_port);
    Bytes both = kReadRegister0;
    const Bytes second = readRequest(8, 1, 3, 1, 1);
    both.insert(both.end(), second.begin(), second.end());
    ASSERT_TRUE(client.send(both));
    Bytes expected = kReplyRegister0;
    const Bytes secondReply{0x00, 0x08, 0x00, 0x00, 0x00, 0x05, 0x01, 0x03, 0x02, 0x56, 0x78};
    expected.insert(expected.end(), secondReply.begin(), secondReply.end());
    EXPECT_EQ(client.receiveExactly(expected.size()), expected);
}

TEST_F(RawSocketTest, SplitReplyArrivesInTwoReads)
{
    // The pause is long so that the client is surely waiting when the first part comes.
    m_simulator.addFault({.kind = mbsim::FaultKind::Split, .pause = 500ms, .byteCount = 3});
    RawClient client(m_port);
    ASSERT_TRUE(client.send(kReadRegister0));
    // The first read ends with the first part, unless this process was kept
    // off the processor for the whole pause; the bytes are right either way.
    const auto first = client.receiveOnce();
    ASSERT_TRUE(first.has_value());
    Bytes received = *first;
    ASSERT_TRUE(received.size() == 3 || received.size() == kReplyRegister0.size())
        << received.size();
    if (received.size() == 3) {
        const Bytes rest = client.receiveExactly(kReplyRegister0.size() - 3);
        received.insert(received.end(), rest.begin(), rest.end());
    }
    EXPECT_EQ(received, kReplyRegister0);
}

TEST_F(RawSocketTest, MergedReplyComesWithTheNextInOneRead)
{
    m_simulator.addFault({.start = 0, .count = 1, .kind = mbsim::FaultKind::Merge, .times = 1});
    RawClient client(m_port);
    ASSERT_TRUE(client.send(kReadRegister0));
    // Held back until the next reply; absence cannot fail spuriously.
    EXPECT_EQ(client.receiveOnce(100), Bytes{});
    ASSERT_TRUE(client.send(readRequest(8, 1, 3, 1, 1)));
    Bytes expected = kReplyRegister0;
    const Bytes secondReply{0x00, 0x08, 0x00, 0x00, 0x00, 0x05, 0x01, 0x03, 0x02, 0x56, 0x78};
    expected.insert(expected.end(), secondReply.begin(), secondReply.end());
    EXPECT_EQ(client.receiveOnce(), expected);
}

TEST_F(RawSocketTest, WrongTransactionIdIsTheNextNumber)
{
    m_simulator.addFault({.kind = mbsim::FaultKind::WrongTransactionId});
    RawClient client(m_port);
    ASSERT_TRUE(client.send(readRequest(0xFFFF, 1, 3, 0, 1)));
    const Bytes expected{0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x01, 0x03, 0x02, 0x12, 0x34};
    EXPECT_EQ(client.receiveExactly(expected.size()), expected);
}

TEST_F(RawSocketTest, GarbageReplacesTheReply)
{
    m_simulator.addFault({.kind = mbsim::FaultKind::Garbage});
    RawClient client(m_port);
    ASSERT_TRUE(client.send(kReadRegister0));
    EXPECT_EQ(client.receiveExactly(kReplyRegister0.size()), Bytes(kReplyRegister0.size(), 0xA5));
}

TEST_F(RawSocketTest, TruncatedReplyKeepsTheConnectionOpen)
{
    m_simulator.addFault({.kind = mbsim::FaultKind::Truncate, .byteCount = 8, .times = 1});
    RawClient client(m_port);
    ASSERT_TRUE(client.send(kReadRegister0));
    EXPECT_EQ(client.receiveExactly(8),
              Bytes(kReplyRegister0.begin(), kReplyRegister0.begin() + 8));
    // The rule is used up: the next request gets a whole reply on the same connection.
    ASSERT_TRUE(client.send(kReadRegister0));
    EXPECT_EQ(client.receiveExactly(kReplyRegister0.size()), kReplyRegister0);
}

TEST_F(RawSocketTest, DropClosesWithoutAReply)
{
    m_simulator.addFault({.kind = mbsim::FaultKind::Drop});
    RawClient client(m_port);
    ASSERT_TRUE(client.send(kReadRegister0));
    EXPECT_TRUE(client.waitForClose());
}

TEST_F(RawSocketTest, BadProtocolIdClosesTheConnection)
{
    RawClient client(m_port);
    Bytes request = kReadRegister0;
    request[3] = 0x01;
    ASSERT_TRUE(client.send(request));
    EXPECT_TRUE(client.waitForClose());
    RawClient other(m_port);
    ASSERT_TRUE(other.send(kReadRegister0));
    EXPECT_EQ(other.receiveExactly(kReplyRegister0.size()), kReplyRegister0);
}

TEST_F(RawSocketTest, UnknownFunctionAnswersIllegalFunction)
{
    RawClient client(m_port);
    ASSERT_TRUE(client.send({0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x01, 0x2B}));
    const Bytes expected{0x00, 0x01, 0x00, 0x00, 0x00, 0x03, 0x01, 0xAB, 0x01};
    EXPECT_EQ(client.receiveExactly(expected.size()), expected);
}

} // namespace
