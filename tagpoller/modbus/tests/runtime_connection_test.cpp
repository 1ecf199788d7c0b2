// The channel's connection against a real simulator: connecting, reading,
// losing the connection and coming back, giving up after the attempt limit,
// transaction ids, and peers that misbehave on the wire.
#include "runtimefixture.h"

#include <QTcpServer>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class ConnectionTest : public RuntimeTest
{};

TEST_F(ConnectionTest, readsAValueAndHandsItOverOnce)
{
    mbsim::Simulator &sim = startSimulator();
    sim.setHoldingRegister(1, 0, 100);
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel);
    addTag(device, QStringLiteral("Level"), QStringLiteral("400001"), DataTypeCode::Word, 7);
    startRuntime();

    const auto first = waitForValue(7);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->value.asInteger(), 100);
    EXPECT_FALSE(first->inError);
    // Many more reads of the unchanged register hand nothing over.
    ASSERT_TRUE(waitFor([&] { return deviceRuntime().frames()[0].readsOk() >= 20; }));
    EXPECT_EQ(sink.count(7), 1);

    sim.setHoldingRegister(1, 0, 101);
    ASSERT_TRUE(waitFor([&] { return sink.latest(7)->value.asInteger() == 101; }));
    EXPECT_EQ(sink.count(7), 2);
    EXPECT_TRUE(logContains(QStringLiteral("Channel Chnl1, Connect success...")));
    EXPECT_TRUE(logContains(QStringLiteral("Channel Chnl1, Socket ready to communicate.")));
}

} // namespace

namespace {

// A loopback port with nobody listening on it.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

const QString AttemptLine =
    QStringLiteral("Channel Chnl1 : Attempting to connect : IP Address 127:0:0:1, Port %1");

TEST_F(ConnectionTest, oneReconnectAttemptAllowedGivesUpAfterOnePause)
{
    const quint16 port = closedPort();
    CModTCPChnl &channel = addChannel(port);
    channel.MaxReconnectAttempts = 1;
    addTag(addDevice(channel), QStringLiteral("T"), QStringLiteral("400001"));
    startRuntime();

    ASSERT_TRUE(waitFor([&] { return channelRuntime().isAbandoned(); }));
    EXPECT_EQ(logCount(AttemptLine.arg(port)), 1);
    EXPECT_EQ(logCount(QStringLiteral("Channel Chnl1, Connection attempt Failed.")), 1);
    EXPECT_TRUE(logContains(QStringLiteral("Reconnect will not be attempted for channel Chnl1")));
    EXPECT_FALSE(logContains(QStringLiteral(" Attempting Reconnect for channel Chnl1")));

    // Abandoned stays abandoned for the rest of the run.
    QTest::qWait(1500);
    EXPECT_EQ(logCount(AttemptLine.arg(port)), 1);
}

TEST_F(ConnectionTest, noAttemptLimitKeepsTryingUntilTheDeviceAppears)
{
    // The simulator is started on the port only after some attempts failed.
    const quint16 port = closedPort();
    CModTCPChnl &channel = addChannel(port);
    channel.MaxReconnectAttempts = 0;
    addTag(addDevice(channel), QStringLiteral("T"), QStringLiteral("400001"), DataTypeCode::Word,
           1);
    startRuntime();

    ASSERT_TRUE(waitFor(
        [&] { return logCount(QStringLiteral(" Attempting Reconnect for channel Chnl1")) >= 2; }));
    EXPECT_FALSE(channelRuntime().isAbandoned());
    EXPECT_GE(logCount(QStringLiteral("Channel Chnl1, Connection attempt Failed.")), 2);

    simulators.push_back(
        std::make_unique<mbsim::Simulator>(mbsim::SimulatorConfig{.units = {1}, .port = port}));
    ASSERT_NE(simulators.back()->start(), 0) << simulators.back()->errorString();
    simulators.back()->setHoldingRegister(1, 0, 4711);
    const auto value = waitForValue(1);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->value.asInteger(), 4711);
    EXPECT_EQ(channelRuntime().attemptCount(), 0);
}

// A loopback listener that never accepts and whose accept queue is full:
// further connection attempts get no answer to their SYN and hang, as they do
// against a device that is switched off.
class SilentListener
{
public:
    SilentListener()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_listener, 0);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        for (int i = 0; i < 3; ++i) {
            const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(filler, reinterpret_cast<sockaddr *>(&address), sizeof address);
            m_fillers.push_back(filler);
        }
    }
    ~SilentListener()
    {
        for (int filler : m_fillers)
            ::close(filler);
        ::close(m_listener);
    }
    quint16 port() const { return m_port; }

private:
    int m_listener = -1;
    quint16 m_port = 0;
    std::vector<int> m_fillers;
};

TEST_F(ConnectionTest, unansweredConnectIsBoundedByTheConnectTimeout)
{
    SilentListener silent;
    CModTCPChnl &channel = addChannel(silent.port());
    channel.ConnectTimeout = 1;
    channel.MaxReconnectAttempts = 1;
    addTag(addDevice(channel), QStringLiteral("T"), QStringLiteral("400001"));
    startRuntime();

    // The event loop keeps running while the attempt is under way.
    int ticks = 0;
    QTimer counter;
    QObject::connect(&counter, &QTimer::timeout, [&] { ++ticks; });
    counter.start(50);
    ASSERT_TRUE(
        waitFor([&] { return channelRuntime().state() == ChannelRuntime::State::Connecting; }));
    ASSERT_TRUE(waitFor(
        [&] { return logContains(QStringLiteral("Channel Chnl1, Connection attempt Failed.")); }));
    EXPECT_GT(ticks, 5);
    EXPECT_FALSE(channelRuntime().engine()->isConnecting());
}

TEST_F(ConnectionTest, transactionIdsWrapFrom65535To1)
{
    mbsim::Simulator &sim = startSimulator();
    CModTCPChnl &channel = addChannel(sim.port());
    addTag(addDevice(channel), QStringLiteral("T"), QStringLiteral("400001"));
    startRuntime();

    ASSERT_TRUE(waitFor([&] { return sim.counters().requestsReceived >= 65540; }, 120000));
    const std::vector<mbsim::LoggedRequest> requests = sim.requestLog();
    ASSERT_GE(requests.size(), 65540u);
    EXPECT_EQ(requests[0].transactionId, 1);
    for (size_t i = 1; i < 65540; ++i) {
        const quint16 expected = requests[i - 1].transactionId == 0xFFFF
                                     ? 1
                                     : quint16(requests[i - 1].transactionId + 1);
        ASSERT_EQ(requests[i].transactionId, expected) << "request " << i;
    }
    EXPECT_EQ(requests[65534].transactionId, 0xFFFF);
    EXPECT_EQ(requests[65535].transactionId, 1);
}

// Each fault shapes one reply on the wire; every value must still arrive whole.
struct WireFault
{
    const char *name;
    mbsim::FaultKind kind;
    std::size_t byteCount;
    int pauseMs;
};

class WireFaultTest : public RuntimeTest, public ::testing::WithParamInterface<WireFault>
{};

TEST_P(WireFaultTest, repliesShapedOnTheWireStillDecodeCorrectly)
{
    const WireFault fault = GetParam();
    mbsim::Simulator &sim = startSimulator({1, 2});
    CModTCPChnl &channel = addChannel(sim.port());
    // Two devices, so that merged replies belong to different units too.
    CModTCPDev &first = addDevice(channel, 1, QStringLiteral("Dev1"));
    CModTCPDev &second = addDevice(channel, 2, QStringLiteral("Dev2"));
    addTag(first, QStringLiteral("A"), QStringLiteral("400001"), DataTypeCode::DWord, 1);
    addTag(second, QStringLiteral("B"), QStringLiteral("400001"), DataTypeCode::Word, 2);
    sim.setHoldingRegister(1, 0, 0x1234);
    sim.setHoldingRegister(1, 1, 0x5678);
    sim.setHoldingRegister(2, 0, 42);
    mbsim::FaultRule rule;
    rule.kind = fault.kind;
    rule.byteCount = fault.byteCount;
    rule.pause = std::chrono::milliseconds(fault.pauseMs);
    // A merged reply waits for the next reply on the stream: only the first
    // device's replies wait, the second device's carry them.
    if (fault.kind == mbsim::FaultKind::Merge)
        rule.unitId = 1;
    sim.addFault(rule);
    startRuntime();

    ASSERT_TRUE(waitFor([&] { return sink.latest(1) && sink.latest(2); }));
    // FirstWordLow is the device default: the first register is the low word.
    EXPECT_EQ(quint32(sink.latest(1)->value.asInteger64()), 0x56781234u);
    EXPECT_EQ(sink.latest(2)->value.asInteger(), 42);

    sim.setHoldingRegister(1, 0, 0x0001);
    sim.setHoldingRegister(2, 0, 43);
    ASSERT_TRUE(waitFor([&] {
        return quint32(sink.latest(1)->value.asInteger64()) == 0x56780001u &&
               sink.latest(2)->value.asInteger() == 43;
    }));
    for (const RecordingSink::Delivery &delivery : sink.deliveries)
        EXPECT_FALSE(delivery.inError);
    EXPECT_EQ(channelRuntime().engine()->protocolErrors(), 0u);
    EXPECT_EQ(sim.counters().connectionsAccepted, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Wire, WireFaultTest,
    ::testing::Values(WireFault{"SplitInHeader", mbsim::FaultKind::Split, 3, 20},
                      WireFault{"SplitAfterHeader", mbsim::FaultKind::Split, 8, 20},
                      WireFault{"MergedPairs", mbsim::FaultKind::Merge, 0, 0}),
    [](const ::testing::TestParamInfo<WireFault> &info) { return std::string(info.param.name); });

TEST_F(ConnectionTest, droppedConnectionIsMadeAgainAndValuesFlowAgain)
{
    mbsim::Simulator &sim = startSimulator();
    sim.setHoldingRegister(1, 0, 1);
    CModTCPChnl &channel = addChannel(sim.port());
    addTag(addDevice(channel), QStringLiteral("T"), QStringLiteral("400001"), DataTypeCode::Word,
           1);
    startRuntime();
    ASSERT_TRUE(waitForValue(1));

    mbsim::FaultRule drop;
    drop.kind = mbsim::FaultKind::Drop;
    drop.times = 1;
    sim.addFault(drop);
    ASSERT_TRUE(waitFor([&] { return sim.counters().connectionsAccepted >= 2; }));
    sim.setHoldingRegister(1, 0, 2);
    ASSERT_TRUE(waitFor([&] { return sink.latest(1)->value.asInteger() == 2; }));
    EXPECT_EQ(logCount(QStringLiteral("Channel Chnl1, Connect success...")), 2);
    // A lost connection starts over at once, without the reconnect line.
    EXPECT_FALSE(logContains(QStringLiteral(" Attempting Reconnect for channel Chnl1")));
    // The socket was ready before; it is not announced again.
    EXPECT_EQ(logCount(QStringLiteral("Channel Chnl1, Socket ready to communicate.")), 1);
    // Transaction ids start again at 1 on the new connection.
    const std::vector<mbsim::LoggedRequest> requests = sim.requestLog();
    const auto dropped = std::find_if(requests.begin(), requests.end(),
                                      [](const auto &r) { return r.fault.has_value(); });
    ASSERT_NE(dropped, requests.end());
    ASSERT_NE(dropped + 1, requests.end());
    EXPECT_EQ((dropped + 1)->transactionId, 1);
}

TEST_F(ConnectionTest, garbageOnTheWireClosesTheConnectionAndReadingResumes)
{
    mbsim::Simulator &sim = startSimulator();
    sim.setHoldingRegister(1, 0, 10);
    CModTCPChnl &channel = addChannel(sim.port());
    addTag(addDevice(channel), QStringLiteral("T"), QStringLiteral("400001"), DataTypeCode::Word,
           1);
    mbsim::FaultRule garbage;
    garbage.kind = mbsim::FaultKind::Garbage;
    garbage.times = 3;
    sim.addFault(garbage);
    startRuntime();

    const auto value = waitForValue(1);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->value.asInteger(), 10);
    EXPECT_EQ(channelRuntime().engine()->protocolErrors(), 3u);
    EXPECT_GE(sim.counters().connectionsAccepted, 4u);
    EXPECT_TRUE(logContains(
        QStringLiteral("Channel Chnl1, protocol error (protocol id not 0), connection closed.")));
    // The bad bytes never became a value.
    EXPECT_EQ(sink.count(1), 1);
}

TEST_F(ConnectionTest, truncatedAndStaleRepliesAreNotTakenAndPollingRecovers)
{
    mbsim::Simulator &sim = startSimulator();
    sim.setHoldingRegister(1, 0, 5);
    CModTCPChnl &channel = addChannel(sim.port());
    addTag(addDevice(channel), QStringLiteral("T"), QStringLiteral("400001"), DataTypeCode::Word,
           1);
    // The first reply comes late: the device gives up on it after its reply
    // timeout and asks again, and the late reply (now stale) must not be
    // taken for the answer to the new request.
    mbsim::FaultRule late;
    late.kind = mbsim::FaultKind::Delay;
    late.pause = std::chrono::milliseconds(11000);
    late.times = 1;
    sim.addFault(late);
    startRuntime();

    const auto value = waitForValue(1);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->value.asInteger(), 5);
    EXPECT_GE(deviceRuntime().timeouts(), 1u);
    EXPECT_GE(channelRuntime().engine()->ignoredReplies(), 1u);
    EXPECT_EQ(sim.counters().connectionsAccepted, 1u);

    // A reply cut short is followed by the next request's reply on the same
    // stream: the framer must resynchronise through a protocol error rather
    // than take a mix of the two.
    mbsim::FaultRule cut;
    cut.kind = mbsim::FaultKind::Truncate;
    cut.byteCount = 9;
    cut.times = 1;
    sim.addFault(cut);
    sim.setHoldingRegister(1, 0, 6);
    ASSERT_TRUE(waitFor([&] { return sink.latest(1)->value.asInteger() == 6; }));
    for (const RecordingSink::Delivery &delivery : sink.deliveries)
        EXPECT_TRUE(delivery.value.asInteger() == 5 || delivery.value.asInteger() == 6);
}

} // namespace
