#include "plantsession.h"

#include "datatypes.h"
#include "mailpayload.h"
#include "mailrecords.h"
#include "sqlpayload.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

using namespace std::chrono_literals;

namespace hostrun {

namespace {

// How long a started program may take to show its window.
constexpr auto PeerStartPatience = 30s;
// How long the session waits at its end for the programs to take what is
// still waiting, and then to write or send it all and close.
constexpr auto DrainPatience = 60s;
constexpr auto ClosePatience = 120s;
constexpr auto StopPollInterval = 100ms;
// Emails wait in far smaller numbers than rows.
constexpr qsizetype EmailLimit = 1000;

void printLine(std::FILE *stream, const QString &line)
{
    std::fputs(line.toLocal8Bit().append('\n').constData(), stream);
    std::fflush(stream);
}

void printNote(const QString &text)
{
    printLine(stderr, QStringLiteral("hostrun plant: ") + text);
}

QString rowCount(std::size_t count, const char *kind)
{
    return QStringLiteral("%1 %2 row%3")
        .arg(count)
        .arg(QLatin1StringView(kind), count == 1 ? QString() : QStringLiteral("s"));
}

QString number(double value)
{
    return QString::number(value, 'g', 15);
}

} // namespace

int runPlantCommand(const QStringList &arguments)
{
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        std::fputs(qPrintable(QStringLiteral("Usage:\n") + plantUsageText()), stdout);
        return 0;
    }
    if (arguments.size() != 1 || arguments.first().startsWith(QLatin1Char('-'))) {
        printNote(QStringLiteral("give one config file"));
        std::fputs(qPrintable(plantUsageText()), stderr);
        return 2;
    }
    const QString path = arguments.first();
    LoadedPlantConfig loaded = loadPlantConfig(path);
    if (!loaded.config) {
        for (const QString &problem : std::as_const(loaded.problems))
            printLine(stderr, QStringLiteral("%1: %2").arg(path, problem));
        return 2;
    }
    hostmsg::Desktop desktop;
    if (!desktop.open()) {
        printNote(desktop.errorString());
        return 1;
    }
    PlantSession session(std::move(*loaded.config), desktop);
    if (!session.start())
        return session.exitCode();
    QCoreApplication::exec();
    return session.exitCode();
}

QString plantUsageText()
{
    return QStringLiteral(
        "  hostrun plant CONFIG.json\n"
        "      Runs a whole plant as its host runtime: starts (or finds) tagpoller,\n"
        "      sqlbridge and mailrelay as CONFIG names them, writes every value the\n"
        "      driver delivers as a tag row, raises and clears the alarms of its rules\n"
        "      as alarm rows and emails each activation. Prints one line per alarm\n"
        "      change and a status line every few seconds. Ctrl+C or SIGTERM stops the\n"
        "      driver, hands over what waits and closes the bridge and the relay.\n");
}

PlantSession::PlantSession(PlantConfig config, hostmsg::Desktop &desktop)
    : m_config(std::move(config))
    , m_desktop(desktop)
    , m_alarms(m_config.alarms)
    , m_bridgeOutbox(desktop, QString::fromLatin1(SqlPayload::WindowTitle),
                     QStringLiteral("sqlbridge"))
    , m_relayOutbox(desktop, QString::fromLatin1(MailProtocol::WindowTitle),
                    QStringLiteral("mailrelay"), EmailLimit)
    , m_bridge(desktop, QString::fromLatin1(SqlPayload::WindowTitle), QStringLiteral("sqlbridge"))
    , m_relay(desktop, QString::fromLatin1(MailProtocol::WindowTitle), QStringLiteral("mailrelay"))
{
    m_driverCommand.verb = Verb::Driver;
    m_driverCommand.timeout = m_config.driverTimeout;
    m_driverCommand.driver.items = m_config.items;
    m_driverCommand.driver.program = m_config.driverProgram;

    connect(&m_bridgeOutbox, &PayloadOutbox::note, this, &printNote);
    connect(&m_relayOutbox, &PayloadOutbox::note, this, &printNote);
    m_statusTimer.setInterval(m_config.statusInterval);
    connect(&m_statusTimer, &QTimer::timeout, this, &PlantSession::printStatus);
    m_stopTimer.setInterval(StopPollInterval);
}

PlantSession::~PlantSession() = default;

bool PlantSession::start()
{
    m_signals = std::make_unique<TerminationSignals>();
    if (!m_signals->isActive()) {
        printNote(QStringLiteral("cannot watch for SIGINT and SIGTERM"));
        m_exitCode = 1;
        return false;
    }
    connect(m_signals.get(), &TerminationSignals::received, this, [this](int signalNumber) {
        if (m_phase != Phase::Running)
            return;
        printNote(QStringLiteral("stopping on signal %1").arg(signalNumber));
        beginStop();
    });

    if (!startPeers()) {
        m_exitCode = 1;
        return false;
    }

    m_driver = std::make_unique<DriverSession>(m_driverCommand, m_config.items, m_desktop);
    m_driver->setWatchSignals(false);
    m_driver->setDeliveryHandler(
        [this](const QList<DeliveredValue> &values) { takeDelivery(values); });
    m_driver->setFinishedHandler([this] { onDriverDone(); });
    if (!m_driver->start()) {
        m_exitCode = std::max(m_exitCode, m_driver->exitCode());
        // The bridge and the relay got their settings already: close them in order.
        m_phase = Phase::StoppingDriver;
        QMetaObject::invokeMethod(this, &PlantSession::onDriverDone, Qt::QueuedConnection);
        return true;
    }
    m_statusTimer.start();
    return true;
}

bool PlantSession::startPeers()
{
    if (!m_bridge.findOrStart(m_config.bridgeProgram, QStringLiteral("sqlbridge"),
                              PeerStartPatience)) {
        printNote(m_bridge.errorString());
        return false;
    }
    if (!m_relay.findOrStart(m_config.relayProgram, QStringLiteral("mailrelay"),
                             PeerStartPatience)) {
        printNote(m_relay.errorString());
        return false;
    }
    // The bridge takes data only after the version and its settings; the
    // outbox keeps that order even when it has to retry.
    m_bridgeOutbox.send(SqlPayload::VersionCode, SqlPayload::encodeVersion({1, 0}), 0,
                        QStringLiteral("the version"));
    m_bridgeOutbox.send(SqlPayload::SettingsCode, SqlPayload::encodeSettings(m_config.database), 0,
                        QStringLiteral("the connection settings"));
    printNote(QStringLiteral("sqlbridge: %1 database %2, tables %3 and %4, user %5")
                  .arg(m_config.database.server, m_config.database.database,
                       m_config.database.tagTable, m_config.database.alarmTable,
                       m_config.database.user));
    for (const MailAccount &account : m_config.mailAccounts) {
        CSMTPDetails details;
        details.channelName = account.provider;
        details.user = account.user;
        details.password = account.password;
        m_relayOutbox.send(MailProtocol::AccountCode, MailPayload::encodeAccount(details), 0,
                           QStringLiteral("the %1 account").arg(account.provider));
        printNote(QStringLiteral("mailrelay: %1 account %2").arg(account.provider, account.user));
    }
    return true;
}

void PlantSession::takeDelivery(const QList<DeliveredValue> &values)
{
    // Inside the driver's synchronous send: gather only, send from the event loop.
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    for (const DeliveredValue &delivered : values) {
        ++m_valuesReceived;
        if (delivered.inError) {
            // A tag in error carries no current value: nothing to record or judge.
            ++m_badValues;
            continue;
        }
        const qsizetype dot = delivered.item.lastIndexOf(QLatin1Char('.'));
        auto row = std::make_shared<CSqlTag>();
        row->time = now;
        row->groupName = delivered.item.left(dot);
        row->tagName = delivered.item.mid(dot + 1);
        const int type = delivered.value.type();
        const bool numeric = type >= DataTypeCode::Boolean && type <= DataTypeCode::Double &&
                             type != DataTypeCode::Char;
        if (numeric) {
            row->numericValue = delivered.value.asDouble();
        } else {
            row->valueKind = CSqlTag::TextValueKind;
            row->textValue = delivered.value.text();
        }
        m_pendingTags.push_back(row);
        if (numeric) {
            const QList<AlarmChange> changes = m_alarms.evaluate(delivered.item, row->numericValue);
            for (const AlarmChange &change : changes)
                addAlarmChange(change, row->groupName, row->tagName, now);
        }
    }
    if (!m_flushQueued) {
        m_flushQueued = true;
        QMetaObject::invokeMethod(this, &PlantSession::flush, Qt::QueuedConnection);
    }
}

void PlantSession::addAlarmChange(const AlarmChange &change, const QString &group,
                                  const QString &tag, std::chrono::sys_seconds time)
{
    ++m_alarmChanges;
    const QString typeName = alarmTypeName(change.type);
    const QString limitText = change.type == AlarmType::Discrete
                                  ? QStringLiteral("alarm value %1").arg(number(change.limit))
                                  : QStringLiteral("limit %1").arg(number(change.limit));
    printLine(stdout,
              QStringLiteral("alarm %1 %2 %3 = %4 (%5)")
                  .arg(change.active ? QStringLiteral("Active") : QStringLiteral("Inactive"),
                       typeName, change.item, number(change.value), limitText));

    auto alarm = std::make_shared<CSqlAlarm>();
    alarm->eventCode = change.active ? 0 : 3; // Active, Inactive
    alarm->alarmType = quint8(change.type);
    alarm->severity = quint8(change.severity);
    alarm->value = change.value;
    alarm->time = time;
    alarm->groupName = group;
    alarm->tagName = tag;
    alarm->user = QStringLiteral("hostrun");
    alarm->comment = limitText;
    m_pendingAlarms.push_back(alarm);

    if (!change.active || m_config.mailProvider.isEmpty())
        return;
    auto email = std::make_shared<CMailDetails>();
    email->channelName = m_config.mailProvider;
    email->to = m_config.mailTo;
    email->subject =
        QStringLiteral("%1 alarm: %2 = %3").arg(typeName, change.item, number(change.value));
    email->body = QStringLiteral("%1 alarm of %2 became active at %3.\n"
                                 "Value: %4 (%5), severity %6.\n")
                      .arg(typeName, change.item,
                           QDateTime::fromSecsSinceEpoch(time.time_since_epoch().count())
                               .toString(Qt::ISODate),
                           number(change.value), limitText)
                      .arg(change.severity);
    m_pendingEmails.append(email);
    ++m_emailsMade;
}

void PlantSession::flush()
{
    m_flushQueued = false;
    // Taken out first: a send may take in further deliveries meanwhile.
    const SqlTagList tags = std::exchange(m_pendingTags, {});
    const SqlAlarmList alarms = std::exchange(m_pendingAlarms, {});
    const QList<std::shared_ptr<CMailDetails>> emails = std::exchange(m_pendingEmails, {});
    if (!tags.empty())
        m_bridgeOutbox.send(SqlPayload::TagValuesCode, SqlPayload::encodeTagValues(tags),
                            qsizetype(tags.size()), rowCount(tags.size(), "tag"));
    if (!alarms.empty())
        m_bridgeOutbox.send(SqlPayload::AlarmsCode, SqlPayload::encodeAlarms(alarms),
                            qsizetype(alarms.size()), rowCount(alarms.size(), "alarm"));
    for (const auto &email : emails)
        m_relayOutbox.send(MailProtocol::EmailCode, MailPayload::encodeEmail(*email), 1,
                           QStringLiteral("the email \"%1\"").arg(email->subject));
}

void PlantSession::printStatus()
{
    const PayloadOutbox::Counts &bridge = m_bridgeOutbox.counts();
    const PayloadOutbox::Counts &relay = m_relayOutbox.counts();
    QString line = QStringLiteral("status: %1 values received, %2 rows sent, %3 mails queued, "
                                  "%4 alarm changes")
                       .arg(m_valuesReceived)
                       .arg(bridge.rows)
                       .arg(relay.rows)
                       .arg(m_alarmChanges);
    if (m_badValues > 0)
        line += QStringLiteral(", %1 values in error").arg(m_badValues);
    const qint64 refused = bridge.refused + relay.refused;
    if (refused > 0)
        line += QStringLiteral(", %1 refused and retried").arg(refused);
    const qsizetype waiting = m_bridgeOutbox.waitingRows() + m_relayOutbox.waitingRows();
    if (waiting > 0)
        line += QStringLiteral(", %1 waiting").arg(waiting);
    const qint64 dropped = bridge.dropped + relay.dropped;
    if (dropped > 0)
        line += QStringLiteral(", %1 DROPPED").arg(dropped);
    printLine(stdout, line);
}

void PlantSession::beginStop()
{
    if (m_phase != Phase::Running)
        return;
    m_phase = Phase::StoppingDriver;
    m_driver->stop();
}

void PlantSession::onDriverDone()
{
    if (m_phase == Phase::Draining || m_phase == Phase::Closing || m_phase == Phase::Done)
        return;
    if (m_driver)
        m_exitCode = std::max(m_exitCode, m_driver->exitCode());
    if (m_phase == Phase::Running)
        printNote(QStringLiteral("the driver session ended; closing the plant"));
    m_phase = Phase::Draining;
    flush();
    m_stopDeadline = QDeadlineTimer(DrainPatience);
    disconnect(&m_stopTimer, nullptr, this, nullptr);
    connect(&m_stopTimer, &QTimer::timeout, this, &PlantSession::checkDrained);
    m_stopTimer.start();
    checkDrained();
}

void PlantSession::checkDrained()
{
    if (m_phase != Phase::Draining)
        return;
    const bool drained = m_bridgeOutbox.isEmpty() && m_relayOutbox.isEmpty();
    if (!drained && !m_stopDeadline.hasExpired())
        return;
    if (!drained) {
        printNote(QStringLiteral("%1 rows for sqlbridge and %2 emails for mailrelay were still "
                                 "refused after %3 s; they are lost")
                      .arg(m_bridgeOutbox.waitingRows())
                      .arg(m_relayOutbox.waitingRows())
                      .arg(std::chrono::seconds(DrainPatience).count()));
        m_exitCode = std::max(m_exitCode, 1);
    }
    m_phase = Phase::Closing;
    for (PeerProgram *peer : {&m_bridge, &m_relay}) {
        const quint32 message = peer == &m_bridge ? SqlPayload::CloseWhenDrainedMessage
                                                  : MailProtocol::CloseWhenDrainedMessage;
        if (peer->askToClose(message))
            printNote(QStringLiteral("asked %1 to close once drained").arg(peer->name()));
    }
    m_stopDeadline = QDeadlineTimer(ClosePatience);
    disconnect(&m_stopTimer, nullptr, this, nullptr);
    connect(&m_stopTimer, &QTimer::timeout, this, &PlantSession::checkClosed);
    checkClosed();
}

void PlantSession::checkClosed()
{
    if (m_phase != Phase::Closing)
        return;
    const bool bridgeGone = m_bridge.isGone();
    const bool relayGone = m_relay.isGone();
    if (bridgeGone && relayGone) {
        finish();
        return;
    }
    if (!m_stopDeadline.hasExpired())
        return;
    for (PeerProgram *peer : {&m_bridge, &m_relay}) {
        if (!peer->isGone()) {
            printNote(QStringLiteral("%1 has not closed within %2 s; terminating it")
                          .arg(peer->name())
                          .arg(std::chrono::seconds(ClosePatience).count()));
            peer->terminate();
        }
    }
    m_exitCode = std::max(m_exitCode, 1);
    finish();
}

void PlantSession::finish()
{
    m_phase = Phase::Done;
    m_stopTimer.stop();
    m_statusTimer.stop();
    printStatus();
    const qint64 dropped = m_bridgeOutbox.counts().dropped + m_relayOutbox.counts().dropped;
    if (dropped > 0) {
        printNote(QStringLiteral("%1 rows or emails were dropped while the queues were full")
                      .arg(dropped));
        m_exitCode = std::max(m_exitCode, 1);
    }
    printNote(QStringLiteral("the plant is closed"));
    QCoreApplication::exit(0); // the status is the session's
}

} // namespace hostrun
