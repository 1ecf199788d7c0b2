#pragma once

#include "mailaccounts.h"
#include "mailqueues.h"
#include "smtptransport.h"

#include <QLoggingCategory>
#include <QString>

#include <atomic>
#include <functional>

class EventList;

Q_DECLARE_LOGGING_CATEGORY(mailSenderLog)

// Empties the two queues: one run is what one sender thread does, up to five
// turns alternating between the providers (Yahoo first), each turn a send pass
// of at most five emails over one connection. Connection failures suspend a
// provider after three in a row, for 60 of its turns with mail waiting.
//
// The state that outlives a run (attached, stopped, the providers' connection
// state) lives here; a run uses it from the sender thread only, while the GUI
// thread reads the stop flag.
class MailSender
{
public:
    static constexpr int TurnsPerRun = 5;
    static constexpr int EmailsPerPass = 5;
    static constexpr int AttemptsPerEmail = 3;
    static constexpr int FailuresBeforeSuspension = 3;
    static constexpr int TurnsSuspended = 60;

    struct ProviderState
    {
        bool connected = false;
        bool suspended = false;
        int connectionFailures = 0;
        int waitCounter = 0;
        bool detailsWritten = false;
    };

    MailSender(EventList &events, MailQueues &queues, MailAccounts &accounts, SmtpLibrary &library,
               ProxyControl &proxy, QString proxyFolder);

    // One sender thread's work. `cancel` ends it early (between emails).
    void run(const std::atomic<bool> &cancel);

    // Setting up the library or the proxy failed: nothing is sent any more.
    bool stopped() const { return m_stopped.load(); }
    bool attached() const { return m_attached; }
    const ProviderState &state(MailProvider provider) const { return m_state[channelOf(provider)]; }

    // Deletes the files an email names, once it has been sent: the "@" body
    // file and every embedded file.
    static void deleteFiles(const CMailDetails &email);

private:
    bool attachAndSetUp();
    bool proxyReady();
    void sendPass(MailProvider provider, const std::atomic<bool> &cancel);
    void countConnectionFailure(MailProvider provider, int code, const ServerAccount &account);

    EventList &m_events;
    MailQueues &m_queues;
    MailAccounts &m_accounts;
    SmtpLibrary &m_library;
    ProxyControl &m_proxy;
    QString m_proxyFolder;
    bool m_attached = false;
    std::atomic<bool> m_stopped{false};
    ProviderState m_state[2];
};
