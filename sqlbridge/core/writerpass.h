#pragma once

#include "mariadbconnection.h"
#include "sendbuffer.h"
#include "sqlpayload.h"
#include "sqlrecords.h"
#include "unsentfile.h"

#include <atomic>
#include <mutex>

class ReportChannel;
class StatementBuilder;

// The connection settings, written by the GUI thread (code 300) and copied
// whole by a pass as it connects, so it never sees a torn string.
class SettingsStore
{
public:
    void set(SqlPayload::ConnectionSettings settings)
    {
        std::lock_guard lock(m_mutex);
        m_settings = std::move(settings);
    }
    SqlPayload::ConnectionSettings get() const
    {
        std::lock_guard lock(m_mutex);
        return m_settings;
    }

private:
    mutable std::mutex m_mutex;
    SqlPayload::ConnectionSettings m_settings;
};

// Everything the GUI thread and a writer pass share. A pass holds it by shared
// pointer, so it stays valid even for a pass that outlives the bridge.
struct WriterShared
{
    explicit WriterShared(const QString &unsentPath) : unsent(unsentPath) {}

    SendBuffer<CSqlTag> tags;
    SendBuffer<CSqlAlarm> alarms;
    SettingsStore settings;
    std::atomic<int> failedConnections{0};
    std::atomic<bool> stopRequested{false};
    UnsentFile unsent;
    MariaDbConnection::Timeouts timeouts;
};

// One writer pass: takes up to 50 tag values and 10 alarms from the fronts of
// the buffers, connects once, writes them alternately in multi-row statements
// and refills each batch while it can. Records it cannot write for a passing
// reason (no connection, the connection lost) go back to the front of their
// buffer; rows the server refuses go to the unsent file. Runs on the worker
// thread.
class WriterPass
{
public:
    static constexpr std::size_t TagBatchSize = 50;
    static constexpr std::size_t AlarmBatchSize = 10;
    static constexpr int StopAfterFailedConnections = 5;

    WriterPass(WriterShared &shared, ReportChannel &reports);
    void run();

private:
    enum class BatchOutcome { Done, ConnectionLost };

    template<class List> BatchOutcome writeBatch(List &batch);
    static QByteArray statement(const StatementBuilder &builder, const SqlTagList &batch,
                                std::size_t first, std::size_t count);
    static QByteArray statement(const StatementBuilder &builder, const SqlAlarmList &batch,
                                std::size_t first, std::size_t count);
    void putBack(SqlTagList &tags, SqlAlarmList &alarms);
    void keepUnsent(const QByteArrayList &statements, const QString &reason, const QString &what);

    WriterShared &m_shared;
    ReportChannel &m_reports;
    SqlPayload::ConnectionSettings m_settings;
    MariaDbConnection m_connection;
};
