#include "mailaccounts.h"

void MailAccounts::set(MailProvider provider, const ServerAccount &account)
{
    std::lock_guard lock(m_mutex);
    m_accounts[channelOf(provider)] = account;
}

ServerAccount MailAccounts::get(MailProvider provider) const
{
    std::lock_guard lock(m_mutex);
    return m_accounts[channelOf(provider)];
}
