#pragma once

#include "commandline.h"
#include "desktop.h"
#include "outputqueue.h"
#include "terminationsignals.h"
#include "valueline.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

#include <functional>
#include <memory>

namespace hostrun {

// One value of a delivery, with the item it was requested as.
struct DeliveredValue
{
    QString item;
    CModData value;
    bool inError = false;
};

// Runs "driver": the host runtime's side of a session with the Modbus driver,
// and returns the exit status: 0 ended as asked, 1 failed, 2 bad usage (a
// write names an item that is not requested).
int runDriverCommand(const Command &command);

// One session with the driver: launch it (or find it running), ask for the
// items, print what it delivers, send the writes, and stop it at the end.
//
// Deliveries are synchronous sends that can arrive while this session waits
// in a send of its own; the handler therefore only prints and notes, and
// everything that sends or ends is queued for the event loop.
class DriverSession : public QObject
{
    Q_OBJECT
public:
    // The driver's main window title, by which the host runtime finds it.
    static const QString DriverTitle;

    DriverSession(const Command &command, QStringList items, hostmsg::Desktop &desktop);
    ~DriverSession() override;

    // Sets everything up and starts the session; the event loop then runs it
    // and quits it at the end. False (with the status in exitCode()) when it
    // could not start.
    bool start();
    int exitCode() const { return m_exitCode; }

    // For a host session built around the driver's: each delivery goes to
    // `handler` instead of standard output. The handler runs inside the
    // driver's synchronous send and must not send anything itself.
    void setDeliveryHandler(std::function<void(const QList<DeliveredValue> &)> handler)
    {
        m_deliveryHandler = std::move(handler);
    }
    // Called once the session has ended, instead of quitting the event loop.
    void setFinishedHandler(std::function<void()> handler)
    {
        m_finishedHandler = std::move(handler);
    }
    // Leaves SIGINT and SIGTERM to whoever owns the session.
    void setWatchSignals(bool watch) { m_watchSignals = watch; }
    // Ends the session in order: the driver is stopped and awaited.
    void stop() { finish(0); }
    bool isDone() const { return m_phase == Phase::Done; }

private:
    enum class Phase { Requesting, Running, Stopping, Done };

    bool launchDriver();
    void requestItems();
    void onAccepted();
    qint64 onMessage(const hostmsg::Message &message);
    void onFirstValues();
    void sendWrite(const ItemWrite &write);
    void readStandardInput();
    void takeInputLine(const QString &line);
    void watchDriverWindow();
    void onDriverProcessFinished(int exitCode, QProcess::ExitStatus exitStatus);

    // Ends the session with `status` (the worst one given counts). With
    // `stopDriver` the driver is asked to stop when this session launched it
    // or was told to stop it; the session then waits for it to go.
    void finish(int status, bool stopDriver = true);
    void waitForDriverToGo();
    void forceDriverToEnd();
    void done();

    void fail(const QString &text);

    const Command &m_command;
    const QStringList m_items; // request id n is m_items[n - 1]
    QHash<QString, qint32> m_idOfItem;
    hostmsg::Desktop &m_desktop;
    ValueLineFormat m_format = ValueLineFormat::Text;

    Phase m_phase = Phase::Requesting;
    int m_exitCode = 0;
    std::unique_ptr<TerminationSignals> m_signals;
    std::unique_ptr<hostmsg::Window> m_window;
    std::unique_ptr<QProcess> m_process; // only when this session launched the driver
    hostmsg::Handle m_driverWindow = 0;

    QDeadlineTimer m_requestDeadline;
    qint64 m_lastRequestReply = -1; // -1: no request sent yet
    bool m_driverRuns = false;      // its answers show its project runs
    QTimer m_requestTimer;
    QTimer m_durationTimer;
    QTimer m_watchTimer;
    QTimer m_stopTimer;
    QDeadlineTimer m_stopDeadline;
    bool m_stopDriver = false; // the session asked the driver to stop and waits for it
    bool m_forcing = false;    // the driver is being terminated or killed

    int m_printed = 0;
    bool m_firstValuesSeen = false;
    QHash<qint32, int> m_lastTypeOfId;
    int m_failedWrites = 0;

    // Values are printed from here, so that a slow reader never delays an answer.
    OutputQueue m_output{stdout};

    std::function<void(const QList<DeliveredValue> &)> m_deliveryHandler;
    std::function<void()> m_finishedHandler;
    bool m_watchSignals = true;

    std::unique_ptr<QSocketNotifier> m_input;
    QByteArray m_inputBuffer;
};

} // namespace hostrun
