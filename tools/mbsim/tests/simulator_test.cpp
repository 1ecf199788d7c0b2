// The simulator against a real libmodbus client on loopback.
#include "rawclient.h"
#include "simulator.h"

#include <gtest/gtest.h>
#include <modbus.h>

#include <cerrno>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

namespace {

struct ModbusClientDeleter
{
    void operator()(modbus_t *context) const
    {
        modbus_close(context);
        modbus_free(context);
    }
};
using ModbusClient = std::unique_ptr<modbus_t, ModbusClientDeleter>;

ModbusClient connectClient(std::uint16_t port, int unit = 1)
{
    ModbusClient client(modbus_new_tcp("127.0.0.1", port));
    if (!client)
        return client;
    modbus_set_slave(client.get(), unit);
    modbus_set_response_timeout(client.get(), 5, 0);
    if (modbus_connect(client.get()) != 0)
        client.reset();
    return client;
}

// Waits, bounded, until `condition` holds: for effects of the server thread that
// have no reply to wait for.
template<typename Condition> bool eventually(Condition condition)
{
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (condition())
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

class SimulatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_port = m_simulator.start();
        ASSERT_NE(m_port, 0) << m_simulator.errorString();
        m_client = connectClient(m_port);
        ASSERT_TRUE(m_client);
    }

    mbsim::Simulator m_simulator{{.units = {1, 2}}};
    std::uint16_t m_port = 0;
    ModbusClient m_client;
};

TEST_F(SimulatorTest, ReadsAllFourTables)
{
    m_simulator.setCoil(1, 10, true);
    m_simulator.setCoil(1, 12, true);
    m_simulator.setDiscreteInput(1, 65535, true);
    m_simulator.setInputRegister(1, 100, 0xBEEF);
    const std::vector<std::uint16_t> holding{1, 2, 0xFFFF};
    ASSERT_TRUE(m_simulator.setValues(1, mbsim::Table::HoldingRegisters, 0, holding));

    std::uint8_t bits[3] = {};
    ASSERT_EQ(modbus_read_bits(m_client.get(), 10, 3, bits), 3);
    EXPECT_EQ(bits[0], 1);
    EXPECT_EQ(bits[1], 0);
    EXPECT_EQ(bits[2], 1);
    std::uint8_t input = 0;
    ASSERT_EQ(modbus_read_input_bits(m_client.get(), 65535, 1, &input), 1);
    EXPECT_EQ(input, 1);
    std::uint16_t registers[3] = {};
    ASSERT_EQ(modbus_read_input_registers(m_client.get(), 100, 1, registers), 1);
    EXPECT_EQ(registers[0], 0xBEEF);
    ASSERT_EQ(modbus_read_registers(m_client.get(), 0, 3, registers), 3);
    EXPECT_EQ(registers[0], 1);
    EXPECT_EQ(registers[1], 2);
    EXPECT_EQ(registers[2], 0xFFFF);

    const auto log = m_simulator.requestLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].function, MODBUS_FC_READ_COILS);
    EXPECT_EQ(log[0].address, 10);
    EXPECT_EQ(log[0].quantity, 3);
    EXPECT_EQ(log[3].function, MODBUS_FC_READ_HOLDING_REGISTERS);
    EXPECT_EQ(m_simulator.counters().requestsReceived, 4u);
    EXPECT_EQ(m_simulator.counters().connectionsAccepted, 1u);
}

TEST_F(SimulatorTest, WritesAreVisibleAndLoggedInOrder)
{
    ASSERT_EQ(modbus_write_bit(m_client.get(), 5, 1), 1);
    ASSERT_EQ(modbus_write_register(m_client.get(), 7, 0x1234), 1);
    const std::uint8_t coils[3] = {1, 0, 1};
    ASSERT_EQ(modbus_write_bits(m_client.get(), 20, 3, coils), 3);
    std::uint16_t readBack = 0;
    ASSERT_EQ(modbus_read_registers(m_client.get(), 7, 1, &readBack), 1);
    const std::uint16_t registers[2] = {0xAAAA, 0x5555};
    ASSERT_EQ(modbus_write_registers(m_client.get(), 30, 2, registers), 2);

    EXPECT_TRUE(m_simulator.coil(1, 5));
    EXPECT_EQ(m_simulator.holdingRegister(1, 7), 0x1234);
    EXPECT_EQ(m_simulator.values(1, mbsim::Table::Coils, 20, 3),
              (std::vector<std::uint16_t>{1, 0, 1}));
    EXPECT_EQ(m_simulator.holdingRegister(1, 30), 0xAAAA);
    EXPECT_EQ(m_simulator.holdingRegister(1, 31), 0x5555);

    const auto log = m_simulator.requestLog();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[3].function, MODBUS_FC_READ_HOLDING_REGISTERS);
    const auto writes = m_simulator.writeLog();
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[0].function, MODBUS_FC_WRITE_SINGLE_COIL);
    EXPECT_EQ(writes[0].values, (std::vector<std::uint16_t>{1}));
    EXPECT_EQ(writes[1].function, MODBUS_FC_WRITE_SINGLE_REGISTER);
    EXPECT_EQ(writes[1].address, 7);
    EXPECT_EQ(writes[1].values, (std::vector<std::uint16_t>{0x1234}));
    EXPECT_EQ(writes[2].function, MODBUS_FC_WRITE_MULTIPLE_COILS);
    EXPECT_EQ(writes[2].values, (std::vector<std::uint16_t>{1, 0, 1}));
    EXPECT_EQ(writes[3].function, MODBUS_FC_WRITE_MULTIPLE_REGISTERS);
    EXPECT_EQ(writes[3].quantity, 2);
    EXPECT_EQ(writes[3].values, (std::vector<std::uint16_t>{0xAAAA, 0x5555}));
    // libmodbus numbers its transactions: the log keeps them in order.
    EXPECT_LT(log[0].transactionId, log[4].transactionId);
}

TEST_F(SimulatorTest, MaskWriteChangesOnlyTheMaskedBits)
{
    m_simulator.setHoldingRegister(1, 7, 0xA5F0);
    // Sets bit 3 and clears bit 15; every other bit keeps its value.
    EXPECT_EQ(modbus_mask_write_register(m_client.get(), 7, 0x7FF7, 0x0008), 1);
    EXPECT_EQ(m_simulator.holdingRegister(1, 7), 0x25F8);
    EXPECT_EQ(modbus_mask_write_register(m_client.get(), 7, 0xFFF7, 0x0000), 1);
    EXPECT_EQ(m_simulator.holdingRegister(1, 7), 0x25F0);

    const std::vector<mbsim::LoggedRequest> writes = m_simulator.writeLog();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].function, MODBUS_FC_MASK_WRITE_REGISTER);
    EXPECT_EQ(writes[0].address, 7);
    EXPECT_EQ(writes[0].values, (std::vector<std::uint16_t>{0x7FF7, 0x0008}));
    EXPECT_LE(writes[0].received, writes[1].received);
}

TEST_F(SimulatorTest, RefusedFunctionsAnswerIllegalFunctionPerUnit)
{
    m_simulator.refuseFunction(1, MODBUS_FC_WRITE_SINGLE_REGISTER);
    m_simulator.refuseFunction(1, MODBUS_FC_MASK_WRITE_REGISTER);
    EXPECT_EQ(modbus_write_register(m_client.get(), 3, 77), -1);
    EXPECT_EQ(errno, EMBXILFUN);
    EXPECT_EQ(modbus_mask_write_register(m_client.get(), 3, 0, 0xFFFF), -1);
    EXPECT_EQ(errno, EMBXILFUN);
    EXPECT_EQ(m_simulator.holdingRegister(1, 3), 0);
    // The multiple form and the other unit are served.
    const std::uint16_t value = 78;
    EXPECT_EQ(modbus_write_registers(m_client.get(), 3, 1, &value), 1);
    EXPECT_EQ(m_simulator.holdingRegister(1, 3), 78);
    modbus_set_slave(m_client.get(), 2);
    EXPECT_EQ(modbus_write_register(m_client.get(), 3, 79), 1);
    EXPECT_EQ(m_simulator.holdingRegister(2, 3), 79);

    m_simulator.acceptFunction(1, MODBUS_FC_WRITE_SINGLE_REGISTER);
    modbus_set_slave(m_client.get(), 1);
    EXPECT_EQ(modbus_write_register(m_client.get(), 3, 80), 1);
    const auto log = m_simulator.writeLog();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0].exceptionCode, MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
    EXPECT_EQ(log[1].exceptionCode, MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
    EXPECT_EQ(log[4].exceptionCode, 0);
}

TEST_F(SimulatorTest, ServesEachUnitFromItsOwnTables)
{
    m_simulator.setHoldingRegister(1, 0, 11);
    m_simulator.setHoldingRegister(2, 0, 22);
    std::uint16_t value = 0;
    ASSERT_EQ(modbus_read_registers(m_client.get(), 0, 1, &value), 1);
    EXPECT_EQ(value, 11);
    modbus_set_slave(m_client.get(), 2);
    ASSERT_EQ(modbus_read_registers(m_client.get(), 0, 1, &value), 1);
    EXPECT_EQ(value, 22);
    ASSERT_EQ(modbus_write_register(m_client.get(), 0, 33), 1);
    EXPECT_EQ(m_simulator.holdingRegister(2, 0), 33);
    EXPECT_EQ(m_simulator.holdingRegister(1, 0), 11);
}

TEST_F(SimulatorTest, UnknownUnitAnswersGatewayTargetFailed)
{
    modbus_set_slave(m_client.get(), 9);
    std::uint16_t value = 0;
    EXPECT_EQ(modbus_read_registers(m_client.get(), 0, 1, &value), -1);
    EXPECT_EQ(errno, EMBXGTAR);
    EXPECT_EQ(m_simulator.requestLog().at(0).exceptionCode, MODBUS_EXCEPTION_GATEWAY_TARGET);
}

TEST(SimulatorSilentUnitTest, UnknownUnitCanStaySilent)
{
    mbsim::Simulator simulator({.units = {1}, .unknownUnit = mbsim::UnknownUnitPolicy::NoReply});
    const std::uint16_t port = simulator.start();
    ASSERT_NE(port, 0);
    ModbusClient client = connectClient(port, 9);
    ASSERT_TRUE(client);
    modbus_set_response_timeout(client.get(), 0, 200000);
    std::uint16_t value = 0;
    EXPECT_EQ(modbus_read_registers(client.get(), 0, 1, &value), -1);
    EXPECT_EQ(errno, ETIMEDOUT);
}

TEST_F(SimulatorTest, ExceptionRulesAnswerTheirCode)
{
    m_simulator.addFault({.unitId = 1,
                          .table = mbsim::Table::HoldingRegisters,
                          .start = 100,
                          .count = 10,
                          .kind = mbsim::FaultKind::Exception,
                          .exceptionCode = 2});
    m_simulator.addFault({.table = mbsim::Table::InputRegisters,
                          .start = 0,
                          .count = 1,
                          .kind = mbsim::FaultKind::Exception,
                          .exceptionCode = 3});
    m_simulator.addFault({.table = mbsim::Table::Coils,
                          .function = MODBUS_FC_WRITE_SINGLE_COIL,
                          .kind = mbsim::FaultKind::Exception,
                          .exceptionCode = 6});

    std::uint16_t registers[10] = {};
    // The block 95..104 overlaps the rule's range.
    EXPECT_EQ(modbus_read_registers(m_client.get(), 95, 10, registers), -1);
    EXPECT_EQ(errno, EMBXILADD);
    EXPECT_EQ(modbus_read_registers(m_client.get(), 90, 10, registers), 10);
    EXPECT_EQ(modbus_read_input_registers(m_client.get(), 0, 1, registers), -1);
    EXPECT_EQ(errno, EMBXILVAL);
    EXPECT_EQ(modbus_write_bit(m_client.get(), 3, 1), -1);
    EXPECT_EQ(errno, EMBXSBUSY);
    // An exception means the write was not carried out.
    EXPECT_FALSE(m_simulator.coil(1, 3));
    std::uint8_t bit = 0;
    EXPECT_EQ(modbus_read_bits(m_client.get(), 3, 1, &bit), 1);
    // Unit 2 is not covered by the first rule.
    modbus_set_slave(m_client.get(), 2);
    EXPECT_EQ(modbus_read_registers(m_client.get(), 100, 1, registers), 1);
}

TEST_F(SimulatorTest, RuleWithTimesAppliesOnlyThatOften)
{
    const int id = m_simulator.addFault({.start = 0,
                                         .count = 1,
                                         .kind = mbsim::FaultKind::Exception,
                                         .exceptionCode = 6,
                                         .times = 2});
    std::uint16_t value = 0;
    EXPECT_EQ(modbus_read_registers(m_client.get(), 0, 1, &value), -1);
    EXPECT_EQ(modbus_read_registers(m_client.get(), 0, 1, &value), -1);
    EXPECT_EQ(modbus_read_registers(m_client.get(), 0, 1, &value), 1);
    EXPECT_FALSE(m_simulator.removeFault(id)); // used up
}

TEST_F(SimulatorTest, RemovedRuleNoLongerApplies)
{
    const int id = m_simulator.addFault({.kind = mbsim::FaultKind::Exception, .exceptionCode = 2});
    std::uint16_t value = 0;
    EXPECT_EQ(modbus_read_registers(m_client.get(), 0, 1, &value), -1);
    EXPECT_TRUE(m_simulator.removeFault(id));
    EXPECT_EQ(modbus_read_registers(m_client.get(), 0, 1, &value), 1);
}

TEST_F(SimulatorTest, DelayedReplyTimesOutAShorterClientTimeout)
{
    m_simulator.addFault({.kind = mbsim::FaultKind::Delay, .pause = 3000ms});
    modbus_set_response_timeout(m_client.get(), 0, 100000);
    std::uint16_t value = 0;
    EXPECT_EQ(modbus_read_registers(m_client.get(), 0, 1, &value), -1);
    EXPECT_EQ(errno, ETIMEDOUT);
}

TEST_F(SimulatorTest, DelayedReplyStillArrivesForAPatientClient)
{
    m_simulator.setHoldingRegister(1, 0, 77);
    m_simulator.addFault({.kind = mbsim::FaultKind::Delay, .pause = 50ms});
    std::uint16_t value = 0;
    ASSERT_EQ(modbus_read_registers(m_client.get(), 0, 1, &value), 1);
    EXPECT_EQ(value, 77);
}

TEST_F(SimulatorTest, DropClosesTheConnectionAndANewOneIsServed)
{
    m_simulator.addFault({.kind = mbsim::FaultKind::Drop, .times = 1});
    std::uint16_t value = 0;
    EXPECT_EQ(modbus_write_register(m_client.get(), 4, 9), -1);
    // The device never got to the write.
    EXPECT_EQ(m_simulator.holdingRegister(1, 4), 0);
    ModbusClient second = connectClient(m_port);
    ASSERT_TRUE(second);
    EXPECT_EQ(modbus_read_registers(second.get(), 0, 1, &value), 1);
    EXPECT_EQ(m_simulator.counters().connectionsAccepted, 2u);
    EXPECT_EQ(m_simulator.requestLog().at(0).fault, mbsim::FaultKind::Drop);
}

TEST_F(SimulatorTest, SplitReplyIsReassembledByLibmodbus)
{
    m_simulator.setHoldingRegister(1, 0, 0x0102);
    m_simulator.addFault({.kind = mbsim::FaultKind::Split, .pause = 50ms, .byteCount = 3});
    std::uint16_t value = 0;
    ASSERT_EQ(modbus_read_registers(m_client.get(), 0, 1, &value), 1);
    EXPECT_EQ(value, 0x0102);
}

TEST_F(SimulatorTest, WrongTransactionIdIsRejectedByLibmodbus)
{
    m_simulator.addFault({.kind = mbsim::FaultKind::WrongTransactionId});
    std::uint16_t value = 0;
    EXPECT_EQ(modbus_read_registers(m_client.get(), 0, 1, &value), -1);
    EXPECT_EQ(errno, EMBBADDATA);
}

TEST_F(SimulatorTest, RampCountsRegistersUpAndTogglesBits)
{
    m_simulator.setHoldingRegister(1, 0, 0xFFFF);
    const int ramp = m_simulator.addRamp(1, mbsim::Table::HoldingRegisters, 0, 2, 10ms);
    m_simulator.addRamp(1, mbsim::Table::Coils, 0, 1, 10ms);
    // 0xFFFF wraps to 0 on the first step; a few steps later both have moved on.
    EXPECT_TRUE(eventually([&] { return m_simulator.holdingRegister(1, 1) >= 3; }));
    EXPECT_TRUE(m_simulator.removeTask(ramp));
    std::uint16_t values[2] = {};
    ASSERT_EQ(modbus_read_registers(m_client.get(), 0, 2, values), 2);
    // Both registers took the same number of steps; 0 started one step "behind".
    EXPECT_EQ(static_cast<std::uint16_t>(values[0] + 1), values[1]);
    EXPECT_TRUE(eventually([&] { return m_simulator.coil(1, 0); }));
}

TEST_F(SimulatorTest, EveryRunsAGenericTask)
{
    m_simulator.every(5ms, [](mbsim::DataStore &data) {
        data.setValue(2, mbsim::Table::InputRegisters, 8, 4242);
    });
    EXPECT_TRUE(eventually([&] { return m_simulator.inputRegister(2, 8) == 4242; }));
}

TEST_F(SimulatorTest, GarbageFromOneClientDoesNotDisturbAnother)
{
    mbsim::testing::RawClient vandal(m_port);
    ASSERT_TRUE(vandal.isConnected());
    ASSERT_TRUE(vandal.send({0xDE, 0xAD, 0xBE, 0xEF, 0xDE, 0xAD, 0xBE, 0xEF, 0x00}));
    EXPECT_TRUE(vandal.waitForClose());
    std::uint16_t value = 0;
    EXPECT_EQ(modbus_read_registers(m_client.get(), 0, 1, &value), 1);
    EXPECT_EQ(m_simulator.counters().framingErrors, 1u);
}

TEST_F(SimulatorTest, StopAndDestroyWhileClientsAreConnected)
{
    mbsim::testing::RawClient idle(m_port);
    ASSERT_TRUE(idle.isConnected());
    m_simulator.addFault({.kind = mbsim::FaultKind::Delay, .pause = 60000ms});
    ASSERT_TRUE(idle.send(mbsim::testing::readRequest(1, 1, 3, 0, 1)));
    EXPECT_TRUE(eventually([&] { return m_simulator.counters().requestsReceived == 1; }));
    m_simulator.stop();
    EXPECT_FALSE(m_simulator.isRunning());
    EXPECT_TRUE(idle.waitForClose());
}

TEST(SimulatorStartTest, ReportsAPortInUse)
{
    mbsim::Simulator first;
    const std::uint16_t port = first.start();
    ASSERT_NE(port, 0);
    mbsim::Simulator second({.port = port});
    EXPECT_EQ(second.start(), 0);
    EXPECT_FALSE(second.errorString().empty());
}

} // namespace
