#pragma once

#include "datastore.h"
#include "faultrule.h"
#include "simulatorserver.h"
#include "simulatorstate.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace mbsim {

struct SimulatorConfig
{
    std::vector<std::uint8_t> units{1};
    std::uint16_t port = 0; // 0: a free port chosen by the system
    UnknownUnitPolicy unknownUnit = UnknownUnitPolicy::GatewayTargetFailed;
    std::size_t requestLogLimit = 100000;
};

// A Modbus TCP device (or a gateway with several unit ids) on 127.0.0.1 that
// serves from its own thread. Values, faults, tasks, the log and the counters may
// be used from any thread while it serves; start() and stop() belong to the thread
// that owns the object. The destructor stops it.
//
//     mbsim::Simulator sim({.units = {1, 2}});
//     const quint16 port = sim.start();
//     sim.setHoldingRegister(1, 0, 123);
class Simulator
{
public:
    explicit Simulator(SimulatorConfig config = {});
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Returns the port it listens on, or 0 with errorString() saying why.
    std::uint16_t start();
    void stop();
    bool isRunning() const;
    std::uint16_t port() const { return m_port; }
    std::string errorString() const { return m_error; }

    // Values; a unit that is not configured reads 0 and ignores writes.
    void setCoil(std::uint8_t unit, std::uint16_t address, bool value);
    bool coil(std::uint8_t unit, std::uint16_t address) const;
    void setDiscreteInput(std::uint8_t unit, std::uint16_t address, bool value);
    bool discreteInput(std::uint8_t unit, std::uint16_t address) const;
    void setInputRegister(std::uint8_t unit, std::uint16_t address, std::uint16_t value);
    std::uint16_t inputRegister(std::uint8_t unit, std::uint16_t address) const;
    void setHoldingRegister(std::uint8_t unit, std::uint16_t address, std::uint16_t value);
    std::uint16_t holdingRegister(std::uint8_t unit, std::uint16_t address) const;
    // Bulk access to any table (bits as 0 or 1). False when the unit is unknown or
    // the block passes address 65535.
    bool setValues(std::uint8_t unit, Table table, std::uint16_t address,
                   std::span<const std::uint16_t> values);
    std::vector<std::uint16_t> values(std::uint8_t unit, Table table, std::uint16_t address,
                                      std::size_t count) const;

    // Scripted changes, run on the server thread every `period` with the tables
    // locked. A task must not call back into the Simulator. Returns the task id.
    int every(std::chrono::milliseconds period, DataTask task);
    // Counts every value of the block up by one per period (registers wrap at
    // 65535, bits toggle).
    int addRamp(std::uint8_t unit, Table table, std::uint16_t address, std::size_t count,
                std::chrono::milliseconds period);
    bool removeTask(int id);

    // A unit that lacks a function: requests for it get exception 1.
    void refuseFunction(std::uint8_t unit, std::uint8_t function);
    void acceptFunction(std::uint8_t unit, std::uint8_t function);

    // Faults; returns the rule id.
    int addFault(const FaultRule &rule);
    bool removeFault(int id);
    void clearFaults();

    // Every request received, in arrival order; writeLog() keeps functions 5, 6, 15, 16, 22.
    std::vector<LoggedRequest> requestLog() const;
    std::vector<LoggedRequest> writeLog() const;
    void clearRequestLog();

    SimulatorCounters counters() const;

private:
    SimulatorConfig m_config;
    SimulatorState m_state;
    SimulatorServer m_server; // after m_state: stopped before the state goes
    std::uint16_t m_port = 0;
    std::string m_error;
};

} // namespace mbsim
