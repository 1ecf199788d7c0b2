#pragma once

#include "mailaccounts.h"
#include "mailprovider.h"
#include "mailrecords.h"

#include <atomic>

// What came of talking to the SMTP server.
struct SmtpOutcome
{
    enum class Kind {
        Done,      // connected, or the email was accepted
        Refused,   // the server answered 4xx/5xx, or a file of the email is unreadable
        Transport, // the server could not be reached or the connection dropped
    };
    Kind kind = Kind::Done;
    // Refused by the server: its reply code; otherwise libcurl's code.
    int code = 0;

    bool ok() const { return kind == Kind::Done; }
};

// One provider's SMTP channel: a connection opened for a send pass, the emails
// sent over it, and closed at the end of the pass.
class SmtpTransport
{
public:
    virtual ~SmtpTransport() = default;
    virtual SmtpOutcome connect(const ServerAccount &account) = 0;
    virtual SmtpOutcome send(const CMailDetails &email) = 0;
    virtual void close() = 0;
};

// The SMTP library: attached once, one channel per provider.
class SmtpLibrary
{
public:
    virtual ~SmtpLibrary() = default;
    virtual bool attach() = 0;
    virtual SmtpTransport &channel(MailProvider provider) = 0;
};

// The local SSL proxy, as the sender sees it. setUp returns 1 when the proxy
// is ready, else an error code for the event list.
class ProxyControl
{
public:
    virtual ~ProxyControl() = default;
    virtual int setUp() = 0;
    virtual bool isRunning() = 0;
};
