#pragma once

#include "alarmrules.h"
#include "commandline.h"
#include "driversession.h"
#include "payloadoutbox.h"
#include "peerprogram.h"
#include "plantconfig.h"
#include "sqlrecords.h"
#include "terminationsignals.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <memory>

class CMailDetails;

namespace hostrun {

// "hostrun plant CONFIG.json". Returns the exit status: 0 ended as asked,
// 1 failed or lost something, 2 a mistake in the config or the command line.
int runPlantCommand(const QStringList &arguments);

QString plantUsageText();

// One host session for a whole plant: the driver delivers the configured
// items, every value goes to the SQL bridge as a tag row, the alarm rules turn
// values into alarm rows and, on activation, emails through the email relay.
// Ends in order on SIGINT or SIGTERM: the driver is stopped, everything still
// waiting is handed over, and the bridge and the relay close once drained.
class PlantSession : public QObject
{
    Q_OBJECT
public:
    PlantSession(PlantConfig config, hostmsg::Desktop &desktop);
    ~PlantSession() override;

    // Starts every program and the driver session; the event loop then runs
    // the plant and quits at its end. False (with exitCode()) when it could
    // not start.
    bool start();
    int exitCode() const { return m_exitCode; }

private:
    enum class Phase { Running, StoppingDriver, Draining, Closing, Done };

    bool startPeers();
    void takeDelivery(const QList<DeliveredValue> &values);
    void addAlarmChange(const AlarmChange &change, const QString &group, const QString &tag,
                        std::chrono::sys_seconds time);
    void flush();
    void printStatus();
    void beginStop();
    void onDriverDone();
    void checkDrained();
    void checkClosed();
    void finish();

    const PlantConfig m_config;
    hostmsg::Desktop &m_desktop;
    Command m_driverCommand; // the driver session keeps a reference
    AlarmMonitor m_alarms;
    PayloadOutbox m_bridgeOutbox;
    PayloadOutbox m_relayOutbox;
    PeerProgram m_bridge;
    PeerProgram m_relay;
    std::unique_ptr<DriverSession> m_driver;
    std::unique_ptr<TerminationSignals> m_signals;

    Phase m_phase = Phase::Running;
    int m_exitCode = 0;

    // Gathered inside deliveries, sent from the event loop.
    SqlTagList m_pendingTags;
    SqlAlarmList m_pendingAlarms;
    QList<std::shared_ptr<CMailDetails>> m_pendingEmails;
    bool m_flushQueued = false;

    qint64 m_valuesReceived = 0;
    qint64 m_badValues = 0;
    qint64 m_alarmChanges = 0;
    qint64 m_emailsMade = 0;

    QTimer m_statusTimer;
    QTimer m_stopTimer;
    QDeadlineTimer m_stopDeadline;
};

} // namespace hostrun
