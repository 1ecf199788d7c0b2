#pragma once

#include "clientconnection.h"
#include "simulatorstate.h"
#include "uniquefd.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace mbsim {

struct StartResult
{
    std::uint16_t port = 0; // 0 when the server did not start
    std::string error;
};

// The listening socket on 127.0.0.1, the client connections and the thread that
// serves them with one poll() loop. Requests are handed to the shared state.
class SimulatorServer
{
public:
    explicit SimulatorServer(SimulatorState &state);
    ~SimulatorServer();
    SimulatorServer(const SimulatorServer &) = delete;
    SimulatorServer &operator=(const SimulatorServer &) = delete;

    // Binds (port 0: a free port chosen by the system) and starts the thread.
    StartResult start(std::uint16_t port);
    void stop();
    bool isRunning() const { return m_thread.joinable(); }
    // Makes the loop look at its schedule again (a task was added).
    void wake();

private:
    void run();
    void acceptConnections();
    // False when the connection is to be closed.
    bool serveReadable(ClientConnection &connection);
    int pollTimeoutMs(Clock::time_point now, std::optional<Clock::time_point> nextTask) const;

    SimulatorState &m_state;
    UniqueFd m_listener;
    UniqueFd m_wakeReader;
    UniqueFd m_wakeWriter;
    std::atomic<bool> m_stopRequested{false};
    std::vector<std::unique_ptr<ClientConnection>> m_connections; // server thread only
    std::thread m_thread;
};

} // namespace mbsim
