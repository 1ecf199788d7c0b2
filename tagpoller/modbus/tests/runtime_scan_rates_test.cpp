// Scan rates honoured ("HonourScanRates" 1) against a real simulator: each
// frame is read again only once the shortest scan rate of its tags has passed,
// and writes do not wait for reads.
#include "runtimefixture.h"
#include "valuemakers.h"

#include <vector>

namespace {

using namespace std::chrono_literals;

class ScanRatesTest : public RuntimeTest
{
protected:
    ScanRatesTest() { honourScanRates = true; }

    static std::vector<mbsim::Clock::time_point> readsAt(const mbsim::Simulator &sim,
                                                         std::uint8_t unit, std::uint16_t address)
    {
        std::vector<mbsim::Clock::time_point> times;
        for (const mbsim::LoggedRequest &request : sim.requestLog()) {
            if (request.unitId == unit && request.function == 3 && request.address == address)
                times.push_back(request.received);
        }
        return times;
    }
};

TEST_F(ScanRatesTest, eachFrameIsReadAtTheShortestRateOfItsTags)
{
    mbsim::Simulator &sim = startSimulator();
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel);
    // Two frames, far apart: the first at the shorter of its two tags' rates.
    addTag(device, QStringLiteral("Fast"), QStringLiteral("400001"), DataTypeCode::Word, 1)
        .ScanRate = 500;
    addTag(device, QStringLiteral("Fast2"), QStringLiteral("400002"), DataTypeCode::Word, 2)
        .ScanRate = 3000;
    addTag(device, QStringLiteral("Slow"), QStringLiteral("401001"), DataTypeCode::Word, 3)
        .ScanRate = 2000;
    startRuntime();
    ASSERT_EQ(deviceRuntime().frames().size(), 2u);

    // Three reads of the slow frame span at least four seconds.
    ASSERT_TRUE(waitFor([&] { return readsAt(sim, 1, 1000).size() >= 4; }, 30000));
    const std::vector<mbsim::Clock::time_point> slow = readsAt(sim, 1, 1000);
    const std::vector<mbsim::Clock::time_point> fast = readsAt(sim, 1, 0);
    // Never early: a reply that came back late may shorten the gap seen by the
    // simulator by its delay, so a little slack below the rate.
    for (size_t i = 1; i < slow.size(); ++i)
        EXPECT_GE(slow[i] - slow[i - 1], 1900ms) << i;
    for (size_t i = 1; i < fast.size(); ++i)
        EXPECT_GE(fast[i] - fast[i - 1], 400ms) << i;
    // And not much less often than asked: between the first and the fourth
    // slow read (6 s) the fast frame is read about twelve times. A loaded
    // machine may stretch the gaps, so only the far end is checked.
    const auto window = slow[3] - slow[0];
    const auto fastInWindow = std::count_if(fast.begin(), fast.end(),
                                            [&](auto at) { return at >= slow[0] && at < slow[3]; });
    EXPECT_GE(fastInWindow, 6) << "over " << (window / 1ms) << " ms";
    EXPECT_LE(fastInWindow, window / 400ms + 1);
}

TEST_F(ScanRatesTest, writesGoOutAtOnceWhateverTheReadRate)
{
    mbsim::Simulator &sim = startSimulator();
    CModTCPChnl &channel = addChannel(sim.port());
    CModTCPDev &device = addDevice(channel);
    // Read once, then not again for 100 s.
    addTag(device, QStringLiteral("Setpoint"), QStringLiteral("400001"), DataTypeCode::Word, 1)
        .ScanRate = 100000;
    addTag(device, QStringLiteral("Low"), QStringLiteral("400002"), DataTypeCode::Word, 2)
        .ScanRate = 100000;
    addTag(device, QStringLiteral("High"), QStringLiteral("400003"), DataTypeCode::Word, 3)
        .ScanRate = 100000;
    channel.DutyCycle = 1; // a read is owed after every write, and none is due
    startRuntime();
    ASSERT_TRUE(waitForValue(1));

    ASSERT_TRUE(runtime->writeHostValue(1, wordValue(321)));
    ASSERT_TRUE(waitFor([&] { return sim.holdingRegister(1, 0) == 321; }));
    ASSERT_TRUE(runtime->writeHostValue(1, wordValue(322)));
    ASSERT_TRUE(runtime->writeHostValue(2, wordValue(10)));
    ASSERT_TRUE(runtime->writeHostValue(3, wordValue(90)));
    ASSERT_TRUE(waitFor([&] {
        return sim.holdingRegister(1, 0) == 322 && sim.holdingRegister(1, 1) == 10 &&
               sim.holdingRegister(1, 2) == 90;
    }));
    EXPECT_EQ(readsAt(sim, 1, 0).size(), 1u) << "the writes did not wait for a read";
    EXPECT_EQ(sim.writeLog().size(), 4u);
}

TEST_F(ScanRatesTest, devicesThatAreNotDueLeaveTheTurnToOthers)
{
    mbsim::Simulator &sim = startSimulator({1, 2});
    CModTCPChnl &channel = addChannel(sim.port());
    addTag(addDevice(channel, 1, QStringLiteral("Idle")), QStringLiteral("Idle"),
           QStringLiteral("400001"), DataTypeCode::Word, 1)
        .ScanRate = 100000;
    addTag(addDevice(channel, 2, QStringLiteral("Busy")), QStringLiteral("Busy"),
           QStringLiteral("400001"), DataTypeCode::Word, 2)
        .ScanRate = 200;
    startRuntime();
    ASSERT_TRUE(waitFor([&] { return readsAt(sim, 2, 0).size() >= 10; }));
    EXPECT_EQ(readsAt(sim, 1, 0).size(), 1u);
}

} // namespace
