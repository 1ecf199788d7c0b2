#include "mailsender.h"

#include "eventlist.h"
#include "mailstrings.h"

#include <QFile>

Q_LOGGING_CATEGORY(mailSenderLog, "mailrelay.sender")

MailSender::MailSender(EventList &events, MailQueues &queues, MailAccounts &accounts,
                       SmtpLibrary &library, ProxyControl &proxy, QString proxyFolder)
    : m_events(events)
    , m_queues(queues)
    , m_accounts(accounts)
    , m_library(library)
    , m_proxy(proxy)
    , m_proxyFolder(std::move(proxyFolder))
{}

void MailSender::run(const std::atomic<bool> &cancel)
{
    static constexpr MailProvider turns[TurnsPerRun] = {MailProvider::Yahoo, MailProvider::Gmail,
                                                        MailProvider::Yahoo, MailProvider::Gmail,
                                                        MailProvider::Yahoo};
    for (MailProvider provider : turns) {
        if (cancel.load() || m_stopped.load())
            return;
        const int waiting = m_queues.length(provider);
        if (waiting == 0 &&
            m_queues.length(provider == MailProvider::Gmail ? MailProvider::Yahoo
                                                            : MailProvider::Gmail) == 0)
            return;
        if (!m_attached && !attachAndSetUp()) {
            m_stopped = true;
            return;
        }
        if (waiting == 0)
            continue;
        ProviderState &state = m_state[channelOf(provider)];
        if (state.suspended) {
            if (++state.waitCounter >= TurnsSuspended) {
                state = ProviderState{false, false, 0, 0, state.detailsWritten};
                qCInfo(mailSenderLog)
                    << "retrying" << providerName(provider) << "after its suspension";
            }
            if (state.suspended)
                continue;
        }
        sendPass(provider, cancel);
    }
}

bool MailSender::attachAndSetUp()
{
    if (!m_library.attach()) {
        m_events.append(CommonChannel, mailText(MailString::LibraryAttachFailed));
        return false;
    }
    if (m_proxyFolder.isEmpty()) {
        m_events.append(CommonChannel, MailText::proxyFolderMissing());
        return false;
    }
    const int result = m_proxy.setUp();
    if (result != 1) {
        m_events.append(CommonChannel, MailText::proxySetupError(result));
        m_events.append(CommonChannel, MailText::proxySetupHint());
        return false;
    }
    m_attached = true;
    return true;
}

bool MailSender::proxyReady()
{
    if (m_proxy.isRunning())
        return true;
    m_events.append(CommonChannel, MailText::proxyRestarting());
    const int result = m_proxy.setUp();
    if (result == 1)
        return true;
    m_events.append(CommonChannel, MailText::proxySetupError(result));
    m_events.append(CommonChannel, MailText::proxySetupHint());
    m_stopped = true;
    return false;
}

void MailSender::sendPass(MailProvider provider, const std::atomic<bool> &cancel)
{
    ProviderState &state = m_state[channelOf(provider)];
    SmtpTransport &transport = m_library.channel(provider);
    const int channel = channelOf(provider);
    if (m_queues.length(provider) == 0)
        return;
    ServerAccount account;
    int sent = 0;
    while (sent < EmailsPerPass && !cancel.load()) {
        if (!state.connected) {
            if (!proxyReady())
                return;
            account = m_accounts.get(provider);
            const SmtpOutcome connected = transport.connect(account);
            if (cancel.load())
                return;
            if (!connected.ok()) {
                countConnectionFailure(provider, connected.code, account);
                return;
            }
            state.connected = true;
        }
        std::optional<MailQueues::Taken> taken = m_queues.takeFirst(provider);
        if (!taken)
            break;
        QueuedEmail &queued = taken->email;
        const SmtpOutcome outcome = transport.send(queued.email);
        if (outcome.ok()) {
            ++sent;
            m_events.append(channel, MailText::emailSent(queued.email.subject));
            deleteFiles(queued.email);
            m_queues.showLength(provider, taken->lengthBefore - 1);
        } else if (outcome.kind == SmtpOutcome::Kind::Transport) {
            // The email never reached a server that could judge it: it keeps
            // its place and its attempts, and the outage counts against the
            // connection instead.
            m_queues.putFront(provider, std::move(queued));
            transport.close();
            state.connected = false;
            countConnectionFailure(provider, outcome.code, account);
            return;
        } else {
            m_events.append(channel, MailText::sendError(outcome.code));
            if (++queued.attempts >= AttemptsPerEmail) {
                m_events.append(
                    channel,
                    mailText(MailString::SendGaveUp).arg(queued.email.to, queued.email.subject));
                m_queues.showLength(provider, taken->lengthBefore - 1);
            } else {
                m_queues.putBack(provider, std::move(queued));
            }
        }
        if (m_queues.length(provider) == 0)
            break;
    }
    if (state.connected) {
        transport.close();
        state.connected = false;
        state.connectionFailures = 0;
    }
}

void MailSender::countConnectionFailure(MailProvider provider, int code,
                                        const ServerAccount &account)
{
    ProviderState &state = m_state[channelOf(provider)];
    const int channel = channelOf(provider);
    if (++state.connectionFailures >= FailuresBeforeSuspension) {
        state.suspended = true;
        state.waitCounter = 0;
        qCInfo(mailSenderLog) << providerName(provider) << "suspended after"
                              << state.connectionFailures << "failed connections";
        return;
    }
    m_events.append(channel, mailText(MailString::ConnectFailed));
    if (state.detailsWritten)
        return;
    state.detailsWritten = true;
    m_events.append(channel,
                    MailText::connectDetailsCodes(code, account.proxyPort, account.smtpPort));
    m_events.append(channel, MailText::connectDetailsAccount(account.smtpHost, account.user));
    m_events.append(channel, MailText::connectDetailsSender(account.senderAddress()));
}

void MailSender::deleteFiles(const CMailDetails &email)
{
    if (email.body.startsWith(u'@'))
        QFile::remove(email.body.mid(1));
    for (const QString &path : email.embeddedFiles.split(u';', Qt::SkipEmptyParts))
        QFile::remove(path);
}
