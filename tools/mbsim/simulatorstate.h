#pragma once

#include "datastore.h"
#include "faultrule.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <vector>

namespace mbsim {

using Clock = std::chrono::steady_clock;

// What a request for a unit id that is not configured gets.
enum class UnknownUnitPolicy {
    GatewayTargetFailed, // exception 0x0B, as a gateway answers for an absent device
    NoReply,             // silence, as a device that is switched off
};

// One request as the simulator received it, in arrival order.
struct LoggedRequest
{
    std::uint16_t transactionId = 0;
    std::uint8_t unitId = 0;
    std::uint8_t function = 0;
    std::uint16_t address = 0;
    std::uint16_t quantity = 0;
    std::vector<std::uint16_t> values; // written values (bits as 0 or 1)
    std::uint8_t exceptionCode = 0;    // 0 when the reply was not an exception
    std::optional<FaultKind> fault;    // the fault applied to the reply, if any
    Clock::time_point received{};      // when the whole request was in
};

struct SimulatorCounters
{
    std::uint64_t connectionsAccepted = 0;
    std::uint64_t connectionsClosed = 0;
    std::uint64_t requestsReceived = 0;
    std::uint64_t framingErrors = 0; // connections closed for a header that is not Modbus TCP
};

// The reply to one request before it goes on the wire: the server thread shapes
// the bytes with the fault, if any.
struct ReplyPlan
{
    std::vector<std::uint8_t> adu; // empty: nothing is sent
    std::optional<FaultRule> fault;
};

using DataTask = std::function<void(DataStore &)>;

// Everything the API thread and the server thread share, behind one mutex.
class SimulatorState
{
public:
    SimulatorState(const std::vector<std::uint8_t> &unitIds, UnknownUnitPolicy unknownUnitPolicy,
                   std::size_t requestLogLimit);

    // Server thread: carries out one complete ADU and says what to send.
    ReplyPlan handleRequest(std::span<const std::uint8_t> adu);

    template<typename Function> auto withData(Function &&function)
    {
        std::lock_guard lock(m_mutex);
        return function(m_data);
    }
    template<typename Function> auto withData(Function &&function) const
    {
        std::lock_guard lock(m_mutex);
        return function(static_cast<const DataStore &>(m_data));
    }

    // A unit that refuses a function answers it with exception 1 (illegal
    // function), as a device that lacks it does.
    void refuseFunction(std::uint8_t unitId, std::uint8_t function);
    void acceptFunction(std::uint8_t unitId, std::uint8_t function);

    int addFault(const FaultRule &rule);
    bool removeFault(int id);
    void clearFaults();

    int addTask(std::chrono::milliseconds period, DataTask task, Clock::time_point now);
    bool removeTask(int id);
    // Server thread: runs the tasks that are due; returns when the next one is.
    std::optional<Clock::time_point> runDueTasks(Clock::time_point now);

    std::vector<LoggedRequest> requestLog() const;
    void clearRequestLog();

    SimulatorCounters counters() const;
    void countConnectionAccepted();
    void countConnectionClosed();
    void countFramingError();

private:
    struct ActiveFault
    {
        int id = 0;
        FaultRule rule;
    };
    struct ScheduledTask
    {
        int id = 0;
        std::chrono::milliseconds period{0};
        Clock::time_point next;
        DataTask task;
    };

    std::optional<FaultRule> takeMatchingFault(const Request &request);
    void appendToLog(LoggedRequest entry);

    mutable std::mutex m_mutex;
    DataStore m_data;
    UnknownUnitPolicy m_unknownUnitPolicy;
    std::size_t m_requestLogLimit;
    std::deque<LoggedRequest> m_requestLog;
    std::vector<ActiveFault> m_faults;
    std::map<std::uint8_t, std::set<std::uint8_t>> m_refusedFunctions;
    std::vector<ScheduledTask> m_tasks;
    int m_nextId = 1;
    SimulatorCounters m_counters;
};

} // namespace mbsim
