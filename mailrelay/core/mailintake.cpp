#include "mailintake.h"

#include "addresslist.h"
#include "eventlist.h"
#include "mailpayload.h"
#include "mailstrings.h"

Q_LOGGING_CATEGORY(mailIntakeLog, "mailrelay.intake")

MailIntake::MailIntake(const MailSettings &settings, EventList &events, MailQueues &queues,
                       MailAccounts &accounts)
    : m_settings(settings), m_events(events), m_queues(queues), m_accounts(accounts)
{}

qint64 MailIntake::handleCopyData(quint64 code, QByteArrayView payload)
{
    if (code == MailProtocol::AccountCode) {
        CSMTPDetails account;
        const ArchiveStatus status = MailPayload::decodeAccount(payload, account);
        if (!status.ok()) {
            qCWarning(mailIntakeLog).noquote()
                << "account payload refused:" << describeArchiveStatus(status);
            return 0;
        }
        return acceptAccount(account);
    }
    if (code == MailProtocol::EmailCode) {
        CMailDetails email;
        const ArchiveStatus status = MailPayload::decodeEmail(payload, email);
        if (!status.ok()) {
            qCWarning(mailIntakeLog).noquote()
                << "email payload refused:" << describeArchiveStatus(status);
            return 0;
        }
        return acceptEmail(std::move(email));
    }
    return 0;
}

qint64 MailIntake::acceptAccount(const CSMTPDetails &account)
{
    const std::optional<MailProvider> provider = providerFromName(account.channelName);
    if (!provider) {
        m_events.append(CommonChannel,
                        mailText(MailString::UnsupportedAccountServer).arg(account.channelName));
        return 0;
    }
    if (account.user.isEmpty() || account.password.isEmpty()) {
        m_events.append(channelOf(*provider),
                        mailText(MailString::EmptyAccount).arg(providerName(*provider)));
        return 0;
    }
    ServerAccount server;
    server.smtpHost = m_settings.smtpHost(*provider);
    server.user = account.user;
    server.password = account.password;
    server.smtpPort = m_settings.smtpPort(*provider);
    server.proxyPort = m_settings.proxyPort(*provider);
    m_accounts.set(*provider, server);
    return 1;
}

qint64 MailIntake::acceptEmail(CMailDetails email)
{
    const std::optional<MailProvider> provider = providerFromName(email.channelName);
    if (!provider) {
        m_events.append(CommonChannel,
                        mailText(MailString::UnsupportedEmailServer).arg(email.channelName));
        return 0;
    }
    const int channel = channelOf(*provider);
    auto refuse = [&](MailString id, const QString &fill) {
        m_events.append(channel, mailText(id).arg(fill));
        return 0;
    };
    if (email.to.isEmpty())
        return refuse(MailString::EmptyTo, email.subject);
    const std::optional<QString> to = AddressList::normalized(email.to);
    if (!to)
        return refuse(MailString::BadTo, email.to);
    const std::optional<QString> cc = AddressList::normalized(email.cc);
    if (!cc)
        return refuse(MailString::BadCc, email.cc);
    const std::optional<QString> bcc = AddressList::normalized(email.bcc);
    if (!bcc)
        return refuse(MailString::BadBcc, email.bcc);
    if (email.subject.isEmpty() && email.body.isEmpty())
        return refuse(MailString::EmptySubjectAndBody, email.to);
    email.to = *to;
    email.cc = *cc;
    email.bcc = *bcc;

    const QString subject = email.subject;
    const std::optional<int> length = m_queues.append(
        *provider, QueuedEmail{std::move(email), 0, std::chrono::steady_clock::now()});
    if (!length)
        return refuse(MailString::QueueFull, subject);
    m_queues.showLength(*provider, *length);
    return 1;
}
