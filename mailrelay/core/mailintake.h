#pragma once

#include "mailaccounts.h"
#include "mailqueues.h"
#include "mailsettings.h"

#include <QByteArrayView>
#include <QLoggingCategory>

class EventList;
class CMailDetails;
class CSMTPDetails;

Q_DECLARE_LOGGING_CATEGORY(mailIntakeLog)

// Takes the host runtime's accounts and emails: checks each one, keeps the
// account in its provider's server record and the email in its provider's
// queue, and answers 1 for taken, 0 for refused. Every refusal is one event
// list entry; a payload that cannot be read changes nothing.
class MailIntake
{
public:
    MailIntake(const MailSettings &settings, EventList &events, MailQueues &queues,
               MailAccounts &accounts);

    // A copy-data message: 100 an account, 200 an email, anything else 0.
    qint64 handleCopyData(quint64 code, QByteArrayView payload);

    qint64 acceptAccount(const CSMTPDetails &account);
    qint64 acceptEmail(CMailDetails email);

private:
    const MailSettings &m_settings;
    EventList &m_events;
    MailQueues &m_queues;
    MailAccounts &m_accounts;
};
