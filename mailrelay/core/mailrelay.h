#pragma once

#include "curlsmtp.h"
#include "eventlist.h"
#include "hostmsg.h"
#include "mailaccounts.h"
#include "mailintake.h"
#include "mailqueues.h"
#include "mailsender.h"
#include "mailsettings.h"
#include "stunnelsupervisor.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

// The relay without its window: intake of the host runtime's messages, the
// queues, the timer that starts one sender thread at a time, the SSL proxy,
// and the orderly end. The dialog shows it and decides about closing.
class MailRelay : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds TickInterval{2000};
    // Sending starts at this tick after start.
    static constexpr int StartUpTicks = 2;

    // `library` and `proxy` replace the real SMTP library and stunnel (tests).
    explicit MailRelay(const MailSettings &settings, QObject *parent = nullptr);
    MailRelay(const MailSettings &settings, std::unique_ptr<SmtpLibrary> library,
              std::unique_ptr<ProxyControl> proxy, QObject *parent = nullptr);
    ~MailRelay() override;

    // Starts the timer.
    void start(std::chrono::milliseconds interval = TickInterval);

    // A message to the relay's window: copy-data codes 100 and 200, and the
    // close-when-drained message.
    qint64 handleMessage(const hostmsg::Message &message);

    // Stops the timer, cancels and awaits a running sender, stops the proxy
    // and drops what is still queued, saying how many. Idempotent.
    void shutDown();

    // One timer tick (public for tests that step the timer).
    void onTick();

    const MailSettings &settings() const { return m_settings; }
    EventList &events() { return m_events; }
    MailQueues &queues() { return m_queues; }
    MailIntake &intake() { return m_intake; }
    const MailSender &sender() const { return *m_sender; }
    bool senderRunning() const { return m_senderRunning.load(); }
    bool closeRequested() const { return m_closeRequested; }
    StunnelSupervisor *stunnel() const { return m_stunnel.get(); }

Q_SIGNALS:
    // Both queues are empty after a close-when-drained message: the window is
    // to close without asking.
    void drainedCloseDue();

private:
    void joinFinishedSender();

    MailSettings m_settings;
    EventList m_events;
    MailQueues m_queues;
    MailAccounts m_accounts;
    MailIntake m_intake;
    std::atomic<bool> m_cancel{false};
    std::unique_ptr<StunnelSupervisor> m_stunnel;
    std::unique_ptr<SmtpLibrary> m_library;
    std::unique_ptr<ProxyControl> m_proxy;
    std::unique_ptr<MailSender> m_sender;
    QTimer m_timer;
    int m_startUpTicks = 0;
    bool m_closeRequested = false;
    bool m_shutDown = false;
    std::atomic<bool> m_senderRunning{false};
    std::thread m_thread;
};
