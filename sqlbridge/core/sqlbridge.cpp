#include "sqlbridge.h"

#include "bridgelogging.h"
#include "bridgetexts.h"
#include "messagelog.h"
#include "reportchannel.h"
#include "statementbuilder.h"
#include "writerpass.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace {

QString defaultUnsentPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/unsent.sql");
}

} // namespace

SqlBridge::SqlBridge(MessageLog &log, QObject *parent) : SqlBridge(log, Options(), parent) {}

SqlBridge::SqlBridge(MessageLog &log, Options options, QObject *parent)
    : QObject(parent), m_log(log), m_options(std::move(options))
{
    if (m_options.unsentFilePath.isEmpty())
        m_options.unsentFilePath = defaultUnsentPath();
    MariaDbConnection::initializeLibrary();
    m_shared = std::make_shared<WriterShared>(m_options.unsentFilePath);
    m_shared->timeouts = m_options.timeouts;
    m_reports = std::make_shared<ReportChannel>(
        this, [this](const PassReport &report) { onReport(report); });
    connect(&m_timer, &QTimer::timeout, this, &SqlBridge::onTimerTick);
    if (m_options.timerInterval.count() > 0)
        m_timer.start(m_options.timerInterval);
}

SqlBridge::~SqlBridge()
{
    shutdown();
}

int SqlBridge::failedConnections() const
{
    return m_shared->failedConnections;
}

std::size_t SqlBridge::bufferedTagValues() const
{
    return m_shared->tags.size();
}

std::size_t SqlBridge::bufferedAlarms() const
{
    return m_shared->alarms.size();
}

QString SqlBridge::unsentFilePath() const
{
    return m_shared->unsent.path();
}

SqlPayload::ConnectionSettings SqlBridge::connectionSettings() const
{
    return m_shared->settings.get();
}

qint64 SqlBridge::handleMessage(const hostmsg::Message &message)
{
    if (message.msg == hostmsg::WM_COPYDATA)
        return handleCopyData(message.dwData, message.payload);
    if (message.msg == SqlPayload::CloseWhenDrainedMessage) {
        requestCloseWhenDrained();
        return 1;
    }
    return 0;
}

void SqlBridge::requestCloseWhenDrained()
{
    qCInfo(lcSqlIntake) << "close requested once the buffers are empty";
    m_closeRequested = true;
}

qint64 SqlBridge::handleCopyData(quint64 code, QByteArrayView payload)
{
    if (m_shutDown)
        return 0;
    if (isStopped()) {
        // Stopped for good: nothing more is taken. Whatever still waits is
        // kept in the unsent file rather than thrown away.
        keepBufferedRecords(QStringLiteral("the SQL Interface stopped"));
        return 0;
    }
    switch (code) {
    case SqlPayload::TagValuesCode:
        return takeTagValues(payload);
    case SqlPayload::AlarmsCode:
        return takeAlarms(payload);
    case SqlPayload::SettingsCode:
        return takeSettings(payload);
    case SqlPayload::VersionCode:
        return checkVersion(payload);
    default:
        return 1;
    }
}

qint64 SqlBridge::takeTagValues(QByteArrayView payload)
{
    if (m_shared->tags.size() >= TagBufferLimit) {
        m_log.append(BridgeText::tagBufferFull());
        return 0;
    }
    SqlTagList received;
    const ArchiveStatus status = SqlPayload::decodeTagValues(payload, received);
    if (!status.ok()) {
        m_log.append(QStringLiteral("Tag values refused, the payload is unreadable: %1")
                         .arg(describeArchiveStatus(status)));
        return 0;
    }
    qint64 result = 1;
    const qsizetype count = qsizetype(received.size());
    if (!received.empty() && !m_shared->tags.tryAppend(received)) {
        m_log.append(QStringLiteral("Tag buffer busy, %1 tag values refused.").arg(count));
        result = 0;
    }
    qCDebug(lcSqlIntake) << "tag values" << count << "result" << result;
    if (m_shared->tags.size() >= TagStartThreshold)
        postStartWriterCommand();
    return result;
}

qint64 SqlBridge::takeAlarms(QByteArrayView payload)
{
    if (m_shared->alarms.size() >= AlarmBufferLimit) {
        m_log.append(BridgeText::alarmBufferFull());
        return 0;
    }
    SqlAlarmList received;
    const ArchiveStatus status = SqlPayload::decodeAlarms(payload, received);
    if (!status.ok()) {
        m_log.append(QStringLiteral("Alarms refused, the payload is unreadable: %1")
                         .arg(describeArchiveStatus(status)));
        return 0;
    }
    qint64 result = 1;
    const qsizetype count = qsizetype(received.size());
    if (!received.empty() && !m_shared->alarms.tryAppend(received)) {
        m_log.append(QStringLiteral("Alarm buffer busy, %1 alarms refused.").arg(count));
        result = 0;
    }
    qCDebug(lcSqlIntake) << "alarms" << count << "result" << result;
    if (m_shared->alarms.size() >= AlarmStartThreshold)
        postStartWriterCommand();
    return result;
}

qint64 SqlBridge::takeSettings(QByteArrayView payload)
{
    SqlPayload::ConnectionSettings settings;
    const ArchiveStatus status = SqlPayload::decodeSettings(payload, settings);
    if (!status.ok()) {
        m_log.append(QStringLiteral("Connection settings refused, the payload is unreadable: %1")
                         .arg(describeArchiveStatus(status)));
        return 0;
    }
    // Never the password: it stays in memory only.
    qCInfo(lcSqlIntake).noquote() << "connection settings: server" << settings.server << "database"
                                  << settings.database << "tables" << settings.tagTable
                                  << settings.alarmTable << "user" << settings.user;
    m_shared->settings.set(std::move(settings));
    return 1;
}

qint64 SqlBridge::checkVersion(QByteArrayView payload)
{
    SqlPayload::Version version;
    const ArchiveStatus status = SqlPayload::decodeVersion(payload, version);
    if (!status.ok()) {
        m_log.append(QStringLiteral("Version check refused, the payload is unreadable: %1")
                         .arg(describeArchiveStatus(status)));
        return 0;
    }
    if (version.major == VersionMajor && version.minor == VersionMinor)
        return 1;
    m_log.append(BridgeText::versionMismatch(version.major, version.minor));
    m_log.append(BridgeText::sendingImpossible());
    return 0;
}

void SqlBridge::postStartWriterCommand()
{
    Q_EMIT startWriterCommandPosted();
    QMetaObject::invokeMethod(this, &SqlBridge::onStartWriterCommand, Qt::QueuedConnection);
}

void SqlBridge::onStartWriterCommand()
{
    // After a failed connection only the timer starts passes, so that five
    // attempts span the timer's ten seconds and a short server restart does
    // not stop the interface.
    if (m_passRunning || m_shutDown || failedConnections() > 0)
        return;
    startPass();
}

void SqlBridge::onTimerTick()
{
    if (m_shutDown)
        return;
    if (!m_shared->tags.isEmpty() || !m_shared->alarms.isEmpty()) {
        if (!m_passRunning && !isStopped())
            startPass();
        return;
    }
    // The last rows are in the table only once the pass that took them ended.
    if (m_closeRequested && !m_passRunning) {
        m_closeRequested = false;
        qCInfo(lcSqlIntake) << "buffers drained, closing as the host runtime asked";
        Q_EMIT drainedCloseDue();
    }
}

void SqlBridge::startPass()
{
    m_passRunning = true;
    auto done = std::make_shared<std::promise<void>>();
    m_passDone = done->get_future();
    m_passThread = std::thread([shared = m_shared, reports = m_reports, done] {
        WriterPass(*shared, *reports).run();
        reports->post({PassReport::Kind::Finished, QString(), 0});
        done->set_value();
    });
    Q_EMIT passStarted();
}

void SqlBridge::onReport(const PassReport &report)
{
    switch (report.kind) {
    case PassReport::Kind::Line:
        m_log.append(report.text);
        break;
    case PassReport::Kind::TagsWritten:
        m_tagValuesSent += report.count;
        Q_EMIT tagTotalChanged(m_tagValuesSent);
        break;
    case PassReport::Kind::AlarmsWritten:
        m_alarmsSent += report.count;
        Q_EMIT alarmTotalChanged(m_alarmsSent);
        break;
    case PassReport::Kind::Finished:
        onPassEnded();
        break;
    }
}

void SqlBridge::onPassEnded()
{
    if (m_passThread.joinable())
        m_passThread.join();
    m_passRunning = false;
    if (isStopped())
        keepBufferedRecords(QStringLiteral("the SQL Interface stopped"));
    Q_EMIT passFinished();
}

void SqlBridge::keepBufferedRecords(const QString &reason)
{
    SqlTagList tags = m_shared->tags.takeAll();
    SqlAlarmList alarms = m_shared->alarms.takeAll();
    if (tags.empty() && alarms.empty())
        return;
    const SqlPayload::ConnectionSettings settings = m_shared->settings.get();
    const StatementBuilder builder({settings.database, settings.tagTable, settings.alarmTable},
                                   &StatementBuilder::escapeWithoutConnection);
    const auto keep = [&](QByteArrayList statements, const QString &what) {
        if (statements.isEmpty())
            return;
        const UnsentFile::Outcome outcome = m_shared->unsent.append(statements, reason);
        if (outcome.written)
            m_log.append(QStringLiteral("%1 %2 written to the unsent file %3 (%4).")
                             .arg(outcome.written)
                             .arg(what, m_shared->unsent.path(), reason));
        if (outcome.lost)
            m_log.append(QStringLiteral("%1 %2 lost: the unsent file %3 cannot take them (%4).")
                             .arg(outcome.lost)
                             .arg(what, m_shared->unsent.path(), outcome.problem));
    };
    QByteArrayList tagStatements;
    for (std::size_t i = 0; i < tags.size(); ++i)
        tagStatements << builder.tagStatement(tags, i, 1);
    QByteArrayList alarmStatements;
    for (std::size_t i = 0; i < alarms.size(); ++i)
        alarmStatements << builder.alarmStatement(alarms, i, 1);
    keep(tagStatements, QStringLiteral("tag values"));
    keep(alarmStatements, QStringLiteral("alarms"));
}

void SqlBridge::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_timer.stop();
    if (m_passThread.joinable()) {
        m_shared->stopRequested = true;
        if (m_passDone.wait_for(m_options.shutdownWait) == std::future_status::ready) {
            m_passThread.join();
            // Its last lines and totals are still queued: take them in.
            QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        } else {
            // The pass keeps the shared state alive by itself and its reports
            // go nowhere now; it ends once its database call times out.
            m_log.append(QStringLiteral("The database writer did not end within %1 s; the "
                                        "records it holds may not be written.")
                             .arg(m_options.shutdownWait.count() / 1000));
            m_passThread.detach();
        }
    }
    m_reports->close();
    m_passRunning = false;
    keepBufferedRecords(QStringLiteral("the program ended before they were written"));
}
