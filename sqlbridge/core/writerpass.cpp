#include "writerpass.h"

#include "bridgelogging.h"
#include "bridgetexts.h"
#include "reportchannel.h"
#include "statementbuilder.h"

#include <type_traits>

namespace {

// Server errors that refuse every row of a statement alike (no such table,
// column, database or right): trying the rows one by one would only repeat
// them.
bool refusesEveryRow(unsigned errorNumber)
{
    switch (errorNumber) {
    case 1044: // access denied to the database
    case 1046: // no database selected
    case 1049: // unknown database
    case 1054: // unknown column
    case 1142: // command denied on the table
    case 1146: // no such table
        return true;
    default:
        return false;
    }
}

StatementBuilder::Tables tablesOf(const SqlPayload::ConnectionSettings &settings)
{
    return {settings.database, settings.tagTable, settings.alarmTable};
}

} // namespace

WriterPass::WriterPass(WriterShared &shared, ReportChannel &reports)
    : m_shared(shared), m_reports(reports)
{}

void WriterPass::putBack(SqlTagList &tags, SqlAlarmList &alarms)
{
    if (!tags.empty())
        m_shared.tags.putBackFront(tags);
    if (!alarms.empty())
        m_shared.alarms.putBackFront(alarms);
}

void WriterPass::run()
{
    if (m_shared.tags.isEmpty() && m_shared.alarms.isEmpty())
        return;
    SqlTagList tags = m_shared.tags.tryTakeFront(TagBatchSize);
    SqlAlarmList alarms = m_shared.alarms.tryTakeFront(AlarmBatchSize);
    if (tags.empty() && alarms.empty())
        return;

    m_settings = m_shared.settings.get();
    const MariaDbConnection::Result connected = m_connection.open(m_settings, m_shared.timeouts);
    if (!connected.ok) {
        // Nothing is lost for want of a connection: the records wait in
        // their buffers, in their order, for the next pass.
        putBack(tags, alarms);
        m_reports.line(connected.errorText);
        const int failures = ++m_shared.failedConnections;
        qCWarning(lcSqlWriter) << "connection failed" << failures << "time(s) in a row";
        if (failures >= StopAfterFailedConnections)
            m_reports.line(BridgeText::interfaceStopped(StopAfterFailedConnections));
        return;
    }
    m_shared.failedConnections = 0;

    bool refillTags = !tags.empty();
    bool refillAlarms = !alarms.empty();
    while ((!tags.empty() || !alarms.empty()) && !m_shared.stopRequested) {
        if (!tags.empty()) {
            if (writeBatch(tags) == BatchOutcome::ConnectionLost)
                break;
            if (refillTags) {
                tags = m_shared.tags.tryTakeFront(TagBatchSize);
                refillTags = !tags.empty();
            }
        }
        if (!alarms.empty() && !m_shared.stopRequested) {
            if (writeBatch(alarms) == BatchOutcome::ConnectionLost)
                break;
            if (refillAlarms) {
                alarms = m_shared.alarms.tryTakeFront(AlarmBatchSize);
                refillAlarms = !alarms.empty();
            }
        }
    }
    putBack(tags, alarms);
    m_connection.close();
}

// The two kinds of batch differ only in their statements and texts.
QByteArray WriterPass::statement(const StatementBuilder &builder, const SqlTagList &batch,
                                 std::size_t first, std::size_t count)
{
    return builder.tagStatement(batch, first, count);
}

QByteArray WriterPass::statement(const StatementBuilder &builder, const SqlAlarmList &batch,
                                 std::size_t first, std::size_t count)
{
    return builder.alarmStatement(batch, first, count);
}

template<class List> WriterPass::BatchOutcome WriterPass::writeBatch(List &batch)
{
    constexpr bool tags = std::is_same_v<List, SqlTagList>;
    const QString kind = tags ? QStringLiteral("tag values") : QStringLiteral("alarms");
    const PassReport::Kind written =
        tags ? PassReport::Kind::TagsWritten : PassReport::Kind::AlarmsWritten;
    const StatementBuilder builder(tablesOf(m_settings),
                                   [this](const QString &t) { return m_connection.escape(t); });

    const MariaDbConnection::Result result =
        m_connection.execute(statement(builder, batch, 0, batch.size()));
    if (result.ok) {
        m_reports.post({written, QString(), qint64(batch.size())});
        batch.clear();
        return BatchOutcome::Done;
    }
    m_reports.line(result.errorText);
    if (result.connectionLost()) {
        // The batch stays whole and goes back to its buffer. Had the server
        // executed the statement before the connection dropped, its rows are
        // stored twice once it is sent again; there is no telling from here.
        m_reports.line(QStringLiteral("Connection lost while sending %1 %2; they are kept and "
                                      "sent again (if the server stored them before the "
                                      "connection dropped, they appear twice).")
                           .arg(batch.size())
                           .arg(kind));
        return BatchOutcome::ConnectionLost;
    }

    // The server refused the statement: try each row alone, so that only the
    // rows it refuses are kept aside.
    const StatementBuilder fileBuilder(tablesOf(m_settings),
                                       &StatementBuilder::escapeWithoutConnection);
    QByteArrayList refused;
    qint64 accepted = 0;
    const bool everyRow = refusesEveryRow(result.errorNumber);
    std::size_t i = 0;
    for (; i < batch.size(); ++i) {
        MariaDbConnection::Result rowResult = result;
        if (!everyRow)
            rowResult = m_connection.execute(statement(builder, batch, i, 1));
        if (rowResult.ok) {
            ++accepted;
            continue;
        }
        if (rowResult.connectionLost()) {
            m_reports.line(rowResult.errorText);
            break;
        }
        m_reports.line(QStringLiteral("Refused by the database: %1 (%2)")
                           .arg(StatementBuilder::describe(*batch[i]), rowResult.errorText));
        refused << statement(fileBuilder, batch, i, 1);
    }
    if (accepted)
        m_reports.post({written, QString(), accepted});
    if (!refused.isEmpty()) {
        m_reports.line(tags ? BridgeText::tagsFailed(refused.size())
                            : BridgeText::alarmsFailed(refused.size()));
        keepUnsent(refused, QStringLiteral("refused by the database: ") + result.errorText, kind);
    }
    if (i < batch.size()) {
        batch.erase(batch.begin(), batch.begin() + std::ptrdiff_t(i));
        m_reports.line(QStringLiteral("Connection lost while sending %1 %2 one by one; they are "
                                      "kept and sent again.")
                           .arg(batch.size())
                           .arg(kind));
        return BatchOutcome::ConnectionLost;
    }
    batch.clear();
    return BatchOutcome::Done;
}

void WriterPass::keepUnsent(const QByteArrayList &statements, const QString &reason,
                            const QString &what)
{
    const UnsentFile::Outcome outcome = m_shared.unsent.append(statements, reason);
    if (outcome.written)
        m_reports.line(QStringLiteral("%1 %2 written to the unsent file %3.")
                           .arg(outcome.written)
                           .arg(what, m_shared.unsent.path()));
    if (outcome.lost)
        m_reports.line(QStringLiteral("%1 %2 lost: the unsent file %3 cannot take them (%4).")
                           .arg(outcome.lost)
                           .arg(what, m_shared.unsent.path(), outcome.problem));
}
