// The channel's connection against a real simulator: connecting, reading,
// losing the connection and coming back, giving up after the attempt limit,
// transaction ids, and peers that misbehave on the wire.
#include "runtimefixture.h"

#include <QTcpServer>

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
