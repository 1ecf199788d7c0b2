#pragma once

#include "smtptransport.h"
#include "stunnelconfig.h"

#include <QLoggingCategory>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

Q_DECLARE_LOGGING_CATEGORY(mailProxyLog)

// Starts and watches the stunnel client on the GUI thread: a child started
// from the short-lived sender thread would lose its parent-death signal when
// that thread ends. The configuration lies in a private folder made at set-up
// and removed with the supervisor; stunnel is stopped by its process id.
class StunnelSupervisor : public QObject
{
    Q_OBJECT
public:
    // Error codes of setUp (1 is success).
    enum SetUpError {
        ProgramNotFound = -2,
        FolderNotWritable = -3,
        StartFailed = -4,
        PortsNotListening = -5,
        CaFileMissing = -6,
    };
    static constexpr std::chrono::milliseconds ListenDeadline{15000};

    // `proxyFolder`: stunnel (or stunnel4) there is used before the one on
    // PATH, and stunnel.pem there is the client certificate.
    StunnelSupervisor(QString proxyFolder, QList<StunnelService> services, QString caFile,
                      QObject *parent = nullptr);
    ~StunnelSupervisor() override;

    int setUp();
    bool isRunning() const;
    void stop();
    // Stops stunnel for good: a set-up asked for later (by a sender that was
    // cancelled while it waited) is refused.
    void shutDown();
    qint64 processId() const;
    QString configPath() const;

    // True when something listens on 127.0.0.1:`port` (read from the kernel's
    // socket table, without connecting).
    static bool isListening(int port);

private:
    QString findProgram() const;

    bool m_shutDown = false;
    QString m_proxyFolder;
    QList<StunnelService> m_services;
    QString m_caFile;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<QProcess> m_process;
};

// The sender's view of the supervisor: each call runs on the supervisor's
// thread while the sender waits, and gives up when the relay is closing (the
// GUI thread then no longer serves it).
class ProxyFromSenderThread : public ProxyControl
{
public:
    ProxyFromSenderThread(StunnelSupervisor &supervisor, const std::atomic<bool> &cancel)
        : m_supervisor(supervisor), m_cancel(cancel)
    {}
    int setUp() override;
    bool isRunning() override;

private:
    template<class F> auto callOnOwnerThread(F function, decltype(function()) whenCancelled);

    StunnelSupervisor &m_supervisor;
    const std::atomic<bool> &m_cancel;
};
