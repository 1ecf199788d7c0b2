#pragma once

#include <QString>

// The relay's numbered texts, by their string ids.
enum class MailString {
    QueueFull = 50000,
    UnsupportedEmailServer = 50001,
    EmptyAccount = 50002,
    UnsupportedAccountServer = 50003,
    EmptyTo = 50004,
    BadTo = 50005,
    BadCc = 50006,
    BadBcc = 50007,
    EmptySubjectAndBody = 50008,
    LibraryAttachFailed = 50009,
    SendGaveUp = 50010,
    ConnectFailed = 50012,
    CloseQuestion = 50013,
    DateColumn = 50015,
    TimeColumn = 50016,
    ChannelColumn = 50017,
    MessageColumn = 50018,
};

QString mailText(MailString id);

// The unnumbered texts of the sender.
namespace MailText {
QString emailSent(const QString &subject);
QString sendError(int code);
QString connectDetailsCodes(int code, int proxyPort, int smtpPort);
// The password is never shown: it is masked whatever its length.
QString connectDetailsAccount(const QString &host, const QString &user);
QString connectDetailsSender(const QString &senderAddress);
QString proxyFolderMissing();
QString proxySetupError(int code);
QString proxySetupHint();
QString proxyRestarting();
QString droppedAtClose(int count);
inline constexpr char MaskedPassword[] = "********";
} // namespace MailText
