#include "mailrelay.h"

#include "mailpayload.h"
#include "mailstrings.h"

namespace {

QList<StunnelService> proxyServices(const MailSettings &s)
{
    return {{QStringLiteral("gmail"), s.proxyPortGmail, s.smtpHostGmail, s.smtpPortGmail},
            {QStringLiteral("yahoo"), s.proxyPortYahoo, s.smtpHostYahoo, s.smtpPortYahoo}};
}

} // namespace

MailRelay::MailRelay(const MailSettings &settings, QObject *parent)
    : MailRelay(settings, nullptr, nullptr, parent)
{}

MailRelay::MailRelay(const MailSettings &settings, std::unique_ptr<SmtpLibrary> library,
                     std::unique_ptr<ProxyControl> proxy, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_intake(m_settings, m_events, m_queues, m_accounts)
    , m_library(std::move(library))
    , m_proxy(std::move(proxy))
{
    if (!m_library)
        m_library = std::make_unique<CurlSmtpLibrary>(m_cancel);
    if (!m_proxy) {
        m_stunnel = std::make_unique<StunnelSupervisor>(
            m_settings.proxyFolder, proxyServices(m_settings), m_settings.caFile);
        m_proxy = std::make_unique<ProxyFromSenderThread>(*m_stunnel, m_cancel);
    }
    m_sender = std::make_unique<MailSender>(m_events, m_queues, m_accounts, *m_library, *m_proxy,
                                            m_settings.proxyFolder);
    connect(&m_timer, &QTimer::timeout, this, &MailRelay::onTick);
}

MailRelay::~MailRelay()
{
    shutDown();
}

void MailRelay::start(std::chrono::milliseconds interval)
{
    m_timer.start(interval);
}

qint64 MailRelay::handleMessage(const hostmsg::Message &message)
{
    if (m_shutDown)
        return 0;
    if (message.msg == hostmsg::WM_COPYDATA)
        return m_intake.handleCopyData(message.dwData, message.payload);
    if (message.msg == MailProtocol::CloseWhenDrainedMessage) {
        m_closeRequested = true;
        return 1;
    }
    return 0;
}

void MailRelay::joinFinishedSender()
{
    if (m_thread.joinable() && !m_senderRunning.load())
        m_thread.join();
}

void MailRelay::onTick()
{
    if (m_shutDown)
        return;
    if (m_startUpTicks < StartUpTicks) {
        ++m_startUpTicks;
        return;
    }
    joinFinishedSender();
    if (m_sender->stopped() || m_senderRunning.load())
        return;
    if (m_queues.length(MailProvider::Yahoo) > 0 || m_queues.length(MailProvider::Gmail) > 0) {
        m_senderRunning = true;
        m_thread = std::thread([this] {
            m_sender->run(m_cancel);
            m_senderRunning = false;
        });
        return;
    }
    if (m_closeRequested) {
        m_closeRequested = false;
        Q_EMIT drainedCloseDue();
    }
}

void MailRelay::shutDown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_timer.stop();
    // The sender gives up between emails and aborts a transfer in progress;
    // its waits for the GUI thread end as well, so the join is short.
    m_cancel = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_stunnel)
        m_stunnel->shutDown();
    const int dropped = m_queues.clear();
    if (dropped > 0)
        m_events.append(CommonChannel, MailText::droppedAtClose(dropped));
    for (MailProvider p : AllMailProviders)
        m_queues.showLength(p, 0);
}
