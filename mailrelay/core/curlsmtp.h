#pragma once

#include "smtptransport.h"

#include <QLoggingCategory>

#include <atomic>
#include <memory>

Q_DECLARE_LOGGING_CATEGORY(mailSmtpLog)

typedef void CURL;

// One provider's SMTP channel on libcurl. It speaks plain SMTP to the local
// proxy port (127.0.0.1), where stunnel does the TLS; one easy handle keeps
// the connection open across the emails of a send pass.
class CurlSmtpTransport : public SmtpTransport
{
public:
    // `cancel` aborts a transfer in progress (the relay is closing).
    explicit CurlSmtpTransport(const std::atomic<bool> &cancel);
    ~CurlSmtpTransport() override;

    SmtpOutcome connect(const ServerAccount &account) override;
    SmtpOutcome send(const CMailDetails &email) override;
    void close() override;

    // The alternative text of an HTML email.
    static constexpr char AlternativeText[] =
        "Your email client does not support HTML email messages.";

private:
    struct Transfer;
    SmtpOutcome perform(Transfer &transfer);
    void applyCommonOptions(Transfer &transfer);

    const std::atomic<bool> &m_cancel;
    CURL *m_curl = nullptr;
    ServerAccount m_account;
};

// libcurl attached once for the process, with a channel per provider.
class CurlSmtpLibrary : public SmtpLibrary
{
public:
    explicit CurlSmtpLibrary(const std::atomic<bool> &cancel);
    ~CurlSmtpLibrary() override;

    bool attach() override;
    SmtpTransport &channel(MailProvider provider) override;

private:
    bool m_attached = false;
    std::unique_ptr<CurlSmtpTransport> m_channels[2];
};
