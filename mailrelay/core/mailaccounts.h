#pragma once

#include "mailprovider.h"

#include <QString>

#include <mutex>

// Where and as whom a provider's emails are sent: the server record of the
// provider, filled by an accepted account.
struct ServerAccount
{
    QString smtpHost;
    QString user;
    QString password;
    int smtpPort = 0;  // set once an account was accepted
    int proxyPort = 0; // the local port of the provider's proxy service

    bool hasAccount() const { return !user.isEmpty() && !password.isEmpty(); }
    // Sender and reply address: the user in angle brackets.
    QString senderAddress() const { return QStringLiteral("<%1>").arg(user); }
};

// The two server records. The GUI thread replaces one when an account arrives
// while the sender may be reading it to connect: both go through copies under
// a lock, so the sender never sees half of an update.
class MailAccounts
{
public:
    void set(MailProvider provider, const ServerAccount &account);
    ServerAccount get(MailProvider provider) const;

private:
    mutable std::mutex m_mutex;
    ServerAccount m_accounts[2];
};
