#pragma once

#include "smtptransport.h"

#include <QStringList>

#include <functional>

// A scripted SMTP library and proxy for the sender's rules: every call is
// recorded, and the test decides each outcome.
class FakeTransport : public SmtpTransport
{
public:
    QStringList *log = nullptr;
    QString name;
    std::function<SmtpOutcome(const ServerAccount &)> onConnect = [](const ServerAccount &) {
        return SmtpOutcome{};
    };
    std::function<SmtpOutcome(const CMailDetails &)> onSend = [](const CMailDetails &) {
        return SmtpOutcome{};
    };

    SmtpOutcome connect(const ServerAccount &account) override
    {
        *log << name + QStringLiteral(" connect");
        return onConnect(account);
    }
    SmtpOutcome send(const CMailDetails &email) override
    {
        *log << name + QStringLiteral(" send ") + email.subject;
        return onSend(email);
    }
    void close() override { *log << name + QStringLiteral(" close"); }
};

class FakeLibrary : public SmtpLibrary
{
public:
    QStringList log;
    FakeTransport gmail;
    FakeTransport yahoo;
    bool attachResult = true;

    FakeLibrary()
    {
        gmail.log = yahoo.log = &log;
        gmail.name = QStringLiteral("Gmail");
        yahoo.name = QStringLiteral("Yahoo");
    }
    bool attach() override { return attachResult; }
    SmtpTransport &channel(MailProvider provider) override
    {
        return provider == MailProvider::Gmail ? static_cast<SmtpTransport &>(gmail) : yahoo;
    }
    QStringList sends() const { return log.filter(QStringLiteral(" send ")); }
};

class FakeProxy : public ProxyControl
{
public:
    int setUpResult = 1;
    bool running = true;
    int setUps = 0;
    int setUp() override
    {
        ++setUps;
        running = setUpResult == 1;
        return setUpResult;
    }
    bool isRunning() override { return running; }
};
