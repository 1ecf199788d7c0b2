#pragma once

#include "hostmsg.h"
#include "mariadbconnection.h"
#include "sqlpayload.h"

#include <QByteArrayView>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

class MessageLog;
class ReportChannel;
struct PassReport;
struct WriterShared;

// The bridge without its window: takes the host runtime's messages into the
// two send buffers, starts one writer pass at a time on a worker thread (from
// its 2000 ms timer, or when a buffer passes its threshold), counts what was
// written and decides when the program may close by itself. Lives on the GUI
// thread; lines go to the message log.
class SqlBridge : public QObject
{
    Q_OBJECT
public:
    static constexpr std::size_t TagBufferLimit = 1000;
    static constexpr std::size_t AlarmBufferLimit = 500;
    static constexpr std::size_t TagStartThreshold = 50;
    static constexpr std::size_t AlarmStartThreshold = 10;
    static constexpr int StoppedAfterFailedConnections = 5;
    static constexpr qint32 VersionMajor = 1;
    static constexpr qint32 VersionMinor = 0;

    struct Options
    {
        std::chrono::milliseconds timerInterval{2000};
        QString unsentFilePath; // empty: "unsent.sql" in the data folder
        MariaDbConnection::Timeouts timeouts;
        // How long the end of the program waits for a running pass.
        std::chrono::milliseconds shutdownWait{30000};
    };

    explicit SqlBridge(MessageLog &log, QObject *parent = nullptr);
    SqlBridge(MessageLog &log, Options options, QObject *parent = nullptr);
    ~SqlBridge() override;

    // A message to the bridge's window: copy-data or the close-when-drained
    // request. The result goes back to the sender.
    qint64 handleMessage(const hostmsg::Message &message);
    qint64 handleCopyData(quint64 code, QByteArrayView payload);
    void requestCloseWhenDrained();

    // Timer 1: starts a pass while records wait, else closes when asked to.
    void onTimerTick();
    // The start-writer command the intake posts to itself.
    void onStartWriterCommand();

    // Waits for a running pass (bounded) and keeps every record still
    // buffered in the unsent file. Called as the program ends; idempotent.
    void shutdown();

    qint64 tagValuesSent() const { return m_tagValuesSent; }
    qint64 alarmsSent() const { return m_alarmsSent; }
    int failedConnections() const;
    bool isStopped() const { return failedConnections() >= StoppedAfterFailedConnections; }
    bool isPassRunning() const { return m_passRunning; }
    bool isCloseRequested() const { return m_closeRequested; }
    std::size_t bufferedTagValues() const;
    std::size_t bufferedAlarms() const;
    QString unsentFilePath() const;
    SqlPayload::ConnectionSettings connectionSettings() const;

    // For tests: the shared buffers and counters.
    WriterShared &sharedForTests() { return *m_shared; }

Q_SIGNALS:
    void tagTotalChanged(qint64 total);
    void alarmTotalChanged(qint64 total);
    // Both buffers are empty, no pass runs and the host asked for a close.
    void drainedCloseDue();
    void startWriterCommandPosted();
    void passStarted();
    void passFinished();

private:
    qint64 takeTagValues(QByteArrayView payload);
    qint64 takeAlarms(QByteArrayView payload);
    qint64 takeSettings(QByteArrayView payload);
    qint64 checkVersion(QByteArrayView payload);
    void postStartWriterCommand();
    void startPass();
    void onReport(const PassReport &report);
    void onPassEnded();
    void keepBufferedRecords(const QString &reason);

    MessageLog &m_log;
    Options m_options;
    std::shared_ptr<WriterShared> m_shared;
    std::shared_ptr<ReportChannel> m_reports;
    QTimer m_timer;
    std::thread m_passThread;
    std::future<void> m_passDone;
    bool m_passRunning = false;
    bool m_closeRequested = false;
    bool m_shutDown = false;
    qint64 m_tagValuesSent = 0;
    qint64 m_alarmsSent = 0;
};
