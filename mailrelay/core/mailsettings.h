#pragma once

#include "mailprovider.h"

#include <QSettings>
#include <QString>

// The relay's machine-wide settings (group "Run Mode/Settings" of the
// "Quenlor"/"ORVALA HMI" system settings), read once at start.
struct MailSettings
{
    QString proxyFolder;       // Stunnel_Path: the proxy program and its files
    int proxyPortGmail = 8801; // ProxyPortGmail
    int proxyPortYahoo = 8802; // ProxyPortYahoo
    QString smtpHostGmail = QStringLiteral("smtp.gmail.com");      // SmtpHostGmail
    QString smtpHostYahoo = QStringLiteral("smtp.mail.yahoo.com"); // SmtpHostYahoo
    int smtpPortGmail = 465;                                       // SmtpPortGmail
    int smtpPortYahoo = 465;                                       // SmtpPortYahoo
    QString caFile; // Stunnel_CAfile; empty: the system's CA bundle

    int proxyPort(MailProvider provider) const
    {
        return provider == MailProvider::Gmail ? proxyPortGmail : proxyPortYahoo;
    }
    QString smtpHost(MailProvider provider) const
    {
        return provider == MailProvider::Gmail ? smtpHostGmail : smtpHostYahoo;
    }
    int smtpPort(MailProvider provider) const
    {
        return provider == MailProvider::Gmail ? smtpPortGmail : smtpPortYahoo;
    }

    // `defaultProxyFolder` is the folder "stunnel" beside the program.
    static MailSettings read(const QSettings &store, const QString &defaultProxyFolder);
};

// The group of the machine key that holds the settings.
inline constexpr char MailSettingsGroup[] = "Run Mode/Settings";
