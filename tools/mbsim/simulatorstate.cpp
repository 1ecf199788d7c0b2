#include "simulatorstate.h"

#include "requesthandler.h"

#include <algorithm>
#include <modbus.h>

namespace mbsim {

SimulatorState::SimulatorState(const std::vector<std::uint8_t> &unitIds,
                               UnknownUnitPolicy unknownUnitPolicy, std::size_t requestLogLimit)
    : m_data(unitIds), m_unknownUnitPolicy(unknownUnitPolicy), m_requestLogLimit(requestLogLimit)
{}

ReplyPlan SimulatorState::handleRequest(std::span<const std::uint8_t> adu)
{
    const Request request = parseRequest(adu);
    std::lock_guard lock(m_mutex);
    ++m_counters.requestsReceived;

    LoggedRequest entry{request.transactionId,
                        request.unitId,
                        request.function,
                        request.address,
                        request.quantity,
                        request.values,
                        0,
                        std::nullopt,
                        Clock::now()};
    ReplyPlan plan;
    UnitTables *tables = m_data.unit(request.unitId);
    if (!tables) {
        if (m_unknownUnitPolicy == UnknownUnitPolicy::GatewayTargetFailed) {
            entry.exceptionCode = MODBUS_EXCEPTION_GATEWAY_TARGET;
            plan.adu = encodeAdu(request.transactionId, request.unitId,
                                 exceptionPdu(request.function, entry.exceptionCode));
        }
        appendToLog(std::move(entry));
        return plan;
    }

    const auto refused = m_refusedFunctions.find(request.unitId);
    if (refused != m_refusedFunctions.end() && refused->second.contains(request.function)) {
        entry.exceptionCode = MODBUS_EXCEPTION_ILLEGAL_FUNCTION;
        plan.adu = encodeAdu(request.transactionId, request.unitId,
                             exceptionPdu(request.function, entry.exceptionCode));
        appendToLog(std::move(entry));
        return plan;
    }

    plan.fault = takeMatchingFault(request);
    if (plan.fault)
        entry.fault = plan.fault->kind;
    std::vector<std::uint8_t> pdu;
    if (plan.fault && plan.fault->kind == FaultKind::Exception) {
        pdu = exceptionPdu(request.function, plan.fault->exceptionCode);
    } else if (plan.fault && plan.fault->kind == FaultKind::Drop) {
        // The connection closes before the device gets to the request.
        appendToLog(std::move(entry));
        return plan;
    } else {
        pdu = executeRequest(request, *tables);
    }
    if (pdu.size() == 2 && (pdu[0] & 0x80))
        entry.exceptionCode = pdu[1];
    plan.adu = encodeAdu(request.transactionId, request.unitId, pdu);
    appendToLog(std::move(entry));
    return plan;
}

std::optional<FaultRule> SimulatorState::takeMatchingFault(const Request &request)
{
    auto it = std::find_if(m_faults.begin(), m_faults.end(),
                           [&](const ActiveFault &fault) { return fault.rule.matches(request); });
    if (it == m_faults.end())
        return std::nullopt;
    FaultRule rule = it->rule;
    if (it->rule.times > 0 && --it->rule.times == 0)
        m_faults.erase(it);
    return rule;
}

void SimulatorState::appendToLog(LoggedRequest entry)
{
    m_requestLog.push_back(std::move(entry));
    // A long benchmark run must not grow the log without end: the oldest go first.
    while (m_requestLog.size() > m_requestLogLimit)
        m_requestLog.pop_front();
}

void SimulatorState::refuseFunction(std::uint8_t unitId, std::uint8_t function)
{
    std::lock_guard lock(m_mutex);
    m_refusedFunctions[unitId].insert(function);
}

void SimulatorState::acceptFunction(std::uint8_t unitId, std::uint8_t function)
{
    std::lock_guard lock(m_mutex);
    const auto unit = m_refusedFunctions.find(unitId);
    if (unit != m_refusedFunctions.end())
        unit->second.erase(function);
}

int SimulatorState::addFault(const FaultRule &rule)
{
    std::lock_guard lock(m_mutex);
    const int id = m_nextId++;
    m_faults.push_back({id, rule});
    return id;
}

bool SimulatorState::removeFault(int id)
{
    std::lock_guard lock(m_mutex);
    return std::erase_if(m_faults, [id](const ActiveFault &fault) { return fault.id == id; }) > 0;
}

void SimulatorState::clearFaults()
{
    std::lock_guard lock(m_mutex);
    m_faults.clear();
}

int SimulatorState::addTask(std::chrono::milliseconds period, DataTask task, Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    const int id = m_nextId++;
    period = std::max(period, std::chrono::milliseconds(1));
    m_tasks.push_back({id, period, now + period, std::move(task)});
    return id;
}

bool SimulatorState::removeTask(int id)
{
    std::lock_guard lock(m_mutex);
    return std::erase_if(m_tasks, [id](const ScheduledTask &task) { return task.id == id; }) > 0;
}

std::optional<Clock::time_point> SimulatorState::runDueTasks(Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    std::optional<Clock::time_point> nextDue;
    for (ScheduledTask &task : m_tasks) {
        if (task.next <= now) {
            task.task(m_data);
            task.next += task.period;
            // After a stall, skip the missed periods instead of running them in a burst.
            if (task.next <= now)
                task.next = now + task.period;
        }
        if (!nextDue || task.next < *nextDue)
            nextDue = task.next;
    }
    return nextDue;
}

std::vector<LoggedRequest> SimulatorState::requestLog() const
{
    std::lock_guard lock(m_mutex);
    return {m_requestLog.begin(), m_requestLog.end()};
}

void SimulatorState::clearRequestLog()
{
    std::lock_guard lock(m_mutex);
    m_requestLog.clear();
}

SimulatorCounters SimulatorState::counters() const
{
    std::lock_guard lock(m_mutex);
    return m_counters;
}

void SimulatorState::countConnectionAccepted()
{
    std::lock_guard lock(m_mutex);
    ++m_counters.connectionsAccepted;
}

void SimulatorState::countConnectionClosed()
{
    std::lock_guard lock(m_mutex);
    ++m_counters.connectionsClosed;
}

void SimulatorState::countFramingError()
{
    std::lock_guard lock(m_mutex);
    ++m_counters.framingErrors;
}

} // namespace mbsim
