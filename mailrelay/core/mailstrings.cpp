#include "mailstrings.h"

QString mailText(MailString id)
{
    switch (id) {
    case MailString::QueueFull:
        return QStringLiteral("Email queue full, can not accept more emails. Email with subject "
                              "(%1) discarded.");
    case MailString::UnsupportedEmailServer:
        return QStringLiteral("Email with non supported server (%1) received, discarded.");
    case MailString::EmptyAccount:
        return QStringLiteral(
            "Empty password or username for channel - %1, information discarded.");
    case MailString::UnsupportedAccountServer:
        return QStringLiteral(
            "User name and password received for non supported server (%1) discarded.");
    case MailString::EmptyTo:
        return QStringLiteral("Mail To address empty for email with subect (%1), email discarded.");
    case MailString::BadTo:
        return QStringLiteral("Error in Mail To address (%1), email discarded.");
    case MailString::BadCc:
        return QStringLiteral("Error in CC To address (%1), email discarded.");
    case MailString::BadBcc:
        return QStringLiteral("Error in BCC To address (%1), email discarded.");
    case MailString::EmptySubjectAndBody:
        return QStringLiteral("Subject and email body totally empty for (%1), email discarded.");
    case MailString::LibraryAttachFailed:
        return QStringLiteral("Failed to connect to see dll, can't send emails.");
    case MailString::SendGaveUp:
        return QStringLiteral("Failed to send email (To : %1, Subject : %2), email discarded.");
    case MailString::ConnectFailed:
        return QStringLiteral("SMTP Connect failed.");
    case MailString::CloseQuestion:
        return QStringLiteral("Close Email client ?");
    case MailString::DateColumn:
        return QStringLiteral("Date");
    case MailString::TimeColumn:
        return QStringLiteral("Time");
    case MailString::ChannelColumn:
        return QStringLiteral("Channel");
    case MailString::MessageColumn:
        return QStringLiteral("Message");
    }
    return QString();
}

namespace MailText {

QString emailSent(const QString &subject)
{
    return QStringLiteral("Email sent (subject %1).").arg(subject);
}

QString sendError(int code)
{
    return QStringLiteral("Error in SendEmail code = %1, will retry sending it later.").arg(code);
}

QString connectDetailsCodes(int code, int proxyPort, int smtpPort)
{
    return QStringLiteral("SmtpConnectSSL Details [Return Code: %1, Proxy Port = %2, SMTP Port = "
                          "%3]")
        .arg(code)
        .arg(proxyPort)
        .arg(smtpPort);
}

QString connectDetailsAccount(const QString &host, const QString &user)
{
    return QStringLiteral("SmtpConnectSSL Details [SMTP Host: %1, User: %2, Password: %3]")
        .arg(host, user, QLatin1StringView(MaskedPassword));
}

QString connectDetailsSender(const QString &senderAddress)
{
    return QStringLiteral("SmtpConnectSSL Details [Mail From: %1]").arg(senderAddress);
}

QString proxyFolderMissing()
{
    return QStringLiteral("Path for Proxy dll Stunnel not found in registry, sending emails is "
                          "not possible.");
}

QString proxySetupError(int code)
{
    return QStringLiteral("HandleStunnel Error %1, sending emails is not possible").arg(code);
}

QString proxySetupHint()
{
    return QStringLiteral(
        "Check for proper setting of path for Stunnel Proxy Server files in registry.");
}

QString proxyRestarting()
{
    return QStringLiteral("The SSL proxy has stopped; setting it up again.");
}

QString droppedAtClose(int count)
{
    return QStringLiteral("Closing with %1 email(s) still queued; they are not sent.").arg(count);
}

} // namespace MailText
