#include "simulator.h"

#include "modbusframe.h"

#include <algorithm>

namespace mbsim {

Simulator::Simulator(SimulatorConfig config)
    : m_config(std::move(config))
    , m_state(m_config.units, m_config.unknownUnit, m_config.requestLogLimit)
    , m_server(m_state)
{}

Simulator::~Simulator()
{
    stop();
}

std::uint16_t Simulator::start()
{
    const StartResult result = m_server.start(m_config.port);
    // A failed second start leaves the running server's port as it is.
    if (result.port != 0)
        m_port = result.port;
    m_error = result.error;
    return result.port;
}

void Simulator::stop()
{
    m_server.stop();
}

bool Simulator::isRunning() const
{
    return m_server.isRunning();
}

void Simulator::setCoil(std::uint8_t unit, std::uint16_t address, bool value)
{
    m_state.withData([&](DataStore &data) { data.setValue(unit, Table::Coils, address, value); });
}

bool Simulator::coil(std::uint8_t unit, std::uint16_t address) const
{
    return m_state.withData([&](const DataStore &data) {
        return data.value(unit, Table::Coils, address).value_or(0) != 0;
    });
}

void Simulator::setDiscreteInput(std::uint8_t unit, std::uint16_t address, bool value)
{
    m_state.withData(
        [&](DataStore &data) { data.setValue(unit, Table::DiscreteInputs, address, value); });
}

bool Simulator::discreteInput(std::uint8_t unit, std::uint16_t address) const
{
    return m_state.withData([&](const DataStore &data) {
        return data.value(unit, Table::DiscreteInputs, address).value_or(0) != 0;
    });
}

void Simulator::setInputRegister(std::uint8_t unit, std::uint16_t address, std::uint16_t value)
{
    m_state.withData(
        [&](DataStore &data) { data.setValue(unit, Table::InputRegisters, address, value); });
}

std::uint16_t Simulator::inputRegister(std::uint8_t unit, std::uint16_t address) const
{
    return m_state.withData([&](const DataStore &data) {
        return data.value(unit, Table::InputRegisters, address).value_or(0);
    });
}

void Simulator::setHoldingRegister(std::uint8_t unit, std::uint16_t address, std::uint16_t value)
{
    m_state.withData(
        [&](DataStore &data) { data.setValue(unit, Table::HoldingRegisters, address, value); });
}

std::uint16_t Simulator::holdingRegister(std::uint8_t unit, std::uint16_t address) const
{
    return m_state.withData([&](const DataStore &data) {
        return data.value(unit, Table::HoldingRegisters, address).value_or(0);
    });
}

bool Simulator::setValues(std::uint8_t unit, Table table, std::uint16_t address,
                          std::span<const std::uint16_t> values)
{
    return m_state.withData(
        [&](DataStore &data) { return data.setValues(unit, table, address, values); });
}

std::vector<std::uint16_t> Simulator::values(std::uint8_t unit, Table table, std::uint16_t address,
                                             std::size_t count) const
{
    return m_state.withData(
        [&](const DataStore &data) { return data.values(unit, table, address, count); });
}

int Simulator::every(std::chrono::milliseconds period, DataTask task)
{
    const int id = m_state.addTask(period, std::move(task), Clock::now());
    m_server.wake();
    return id;
}

int Simulator::addRamp(std::uint8_t unit, Table table, std::uint16_t address, std::size_t count,
                       std::chrono::milliseconds period)
{
    const std::size_t end = std::min(kTableSize, std::size_t{address} + count);
    return every(period, [unit, table, address, end](DataStore &data) {
        for (std::size_t a = address; a < end; ++a) {
            const auto at = static_cast<std::uint16_t>(a);
            const std::uint16_t current = data.value(unit, table, at).value_or(0);
            const auto next =
                static_cast<std::uint16_t>(isBitTable(table) ? !current : current + 1);
            data.setValue(unit, table, at, next);
        }
    });
}

bool Simulator::removeTask(int id)
{
    return m_state.removeTask(id);
}

void Simulator::refuseFunction(std::uint8_t unit, std::uint8_t function)
{
    m_state.refuseFunction(unit, function);
}

void Simulator::acceptFunction(std::uint8_t unit, std::uint8_t function)
{
    m_state.acceptFunction(unit, function);
}

int Simulator::addFault(const FaultRule &rule)
{
    return m_state.addFault(rule);
}

bool Simulator::removeFault(int id)
{
    return m_state.removeFault(id);
}

void Simulator::clearFaults()
{
    m_state.clearFaults();
}

std::vector<LoggedRequest> Simulator::requestLog() const
{
    return m_state.requestLog();
}

std::vector<LoggedRequest> Simulator::writeLog() const
{
    std::vector<LoggedRequest> writes = m_state.requestLog();
    std::erase_if(writes,
                  [](const LoggedRequest &entry) { return !isWriteFunction(entry.function); });
    return writes;
}

void Simulator::clearRequestLog()
{
    m_state.clearRequestLog();
}

SimulatorCounters Simulator::counters() const
{
    return m_state.counters();
}

} // namespace mbsim
