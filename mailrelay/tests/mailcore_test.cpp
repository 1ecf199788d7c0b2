// The relay's rules without a network: payloads, checks and normal forms, the
// queues and their limits, the sender's turns, retries and suspension, and the
// timer, against a scripted SMTP library.
#include "addresslist.h"
#include "eventlist.h"
#include "fakesmtp.h"
#include "mailheaders.h"
#include "mailintake.h"
#include "mailpayload.h"
#include "mailrelay.h"
#include "mailsender.h"
#include "mailstrings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

CMailDetails makeEmail(const QString &provider, const QString &subject,
                       const QString &to = QStringLiteral("ops@plant.example"))
{
    CMailDetails e;
    e.channelName = provider;
    e.to = to;
    e.subject = subject;
    e.body = QStringLiteral("body");
    return e;
}

CSMTPDetails makeAccount(const QString &provider,
                         const QString &user = QStringLiteral("me@x.example"),
                         const QString &password = QStringLiteral("s3cret-pass"))
{
    CSMTPDetails a;
    a.channelName = provider;
    a.user = user;
    a.password = password;
    return a;
}

// The relay's parts wired to the fake library, stepped by hand.
struct SenderBench
{
    MailSettings settings;
    EventList events;
    MailQueues queues;
    MailAccounts accounts;
    MailIntake intake{settings, events, queues, accounts};
    FakeLibrary library;
    FakeProxy proxy;
    std::atomic<bool> cancel{false};
    MailSender sender{events, queues, accounts, library, proxy, QStringLiteral("/opt/stunnel")};

    SenderBench()
    {
        settings.proxyFolder = QStringLiteral("/opt/stunnel");
        intake.acceptAccount(makeAccount(QStringLiteral("GMail")));
        intake.acceptAccount(makeAccount(QStringLiteral("Yahoo")));
    }
    void queue(const QString &provider, int count, const QString &prefix)
    {
        for (int i = 1; i <= count; ++i)
            ASSERT_EQ(intake.acceptEmail(makeEmail(provider, prefix + QString::number(i))), 1);
    }
    void run() { sender.run(cancel); }
    QStringList texts() const { return events.texts(); }
};

} // namespace

TEST(MailPayload, RecordsTravelAndBadPayloadsAreRefusedWithoutChange)
{
    CMailDetails e = makeEmail(QStringLiteral("GMail"), QStringLiteral("Überdruck Kessel 1"));
    e.cc = QStringLiteral("a@b.c");
    e.embeddedFiles = QStringLiteral("/tmp/a.png;/tmp/b.png");
    e.html = 1;
    const QByteArray bytes = MailPayload::encodeEmail(e);
    CMailDetails back;
    ASSERT_TRUE(MailPayload::decodeEmail(bytes, back).ok());
    EXPECT_EQ(back.subject, e.subject);
    EXPECT_EQ(back.embeddedFiles, e.embeddedFiles);
    EXPECT_EQ(back.html, 1);

    // Every truncation is refused and leaves the target as it was.
    for (qsizetype n = 0; n < bytes.size(); ++n) {
        CMailDetails target = makeEmail(QStringLiteral("keep"), QStringLiteral("keep"));
        EXPECT_FALSE(MailPayload::decodeEmail(bytes.first(n), target).ok()) << n;
        EXPECT_EQ(target.channelName, QStringLiteral("keep"));
    }
    CSMTPDetails account = makeAccount(QStringLiteral("Yahoo"));
    CSMTPDetails accountBack;
    ASSERT_TRUE(MailPayload::decodeAccount(MailPayload::encodeAccount(account), accountBack).ok());
    EXPECT_EQ(accountBack.password, account.password);
    EXPECT_EQ(accountBack.reserved, 1);
}

TEST(MailIntake, GarbageTruncatedAndWrongFieldPayloadsAnswerZeroAndQueueNothing)
{
    SenderBench b;
    const QByteArray good =
        MailPayload::encodeEmail(makeEmail(QStringLiteral("Yahoo"), QStringLiteral("s")));
    EXPECT_EQ(b.intake.handleCopyData(200, QByteArray("\xff\xff\xff\xff\x01garbage", 12)), 0);
    EXPECT_EQ(b.intake.handleCopyData(200, good.first(good.size() - 2)), 0);
    // An account payload where an email is expected: the fields run out.
    EXPECT_EQ(b.intake.handleCopyData(
                  200, MailPayload::encodeAccount(makeAccount(QStringLiteral("Yahoo")))),
              0);
    EXPECT_EQ(b.intake.handleCopyData(100, QByteArray()), 0);
    EXPECT_EQ(b.queues.length(MailProvider::Yahoo), 0);
    // Other codes are not read and write nothing.
    const std::size_t before = b.events.size();
    EXPECT_EQ(b.intake.handleCopyData(300, good), 0);
    EXPECT_EQ(b.events.size(), before);
    EXPECT_EQ(b.intake.handleCopyData(200, good), 1);
}

TEST(AddressList, NormalFormsAndRefusals)
{
    const struct
    {
        const char *list;
        const char *normal; // nullptr: invalid
    } rows[] = {
        {"", ""},
        {"a@b.c", "<a@b.c>"},
        {"a@b.c;d@e.f", "<a@b.c>;<d@e.f>"},
        {"a@b.c, d@e.f", "<a@b.c>;<d@e.f>"}, // blanks trimmed
        {"  a@b.c  ", "<a@b.c>"},
        {"a@b.c;", "<a@b.c>"}, // trailing separator
        {"Ops Team <ops@plant.example>", "Ops Team <ops@plant.example>"},
        {"\"Doe, J\" <j@x.y>", nullptr},  // the comma splits the list
        {"a@localhost", "<a@localhost>"}, // dot-free domain
        {"first.last+tag@mail-1.example.com", "<first.last+tag@mail-1.example.com>"},
        {"a@b.c;;d@e.f", nullptr},
        {";a@b.c", nullptr},
        {"a@b.c, ", nullptr},
        {"a b@c.d", nullptr},
        {"<a @b.c>", nullptr},
        {"a@-b.c", nullptr},
        {"a@b..c", nullptr},
        {".a@b.c", nullptr},
        {"a@b.c.", nullptr},
        {"ab.c", nullptr},
        {"a@b@c", nullptr},
        {"<a@b.c> trailing", nullptr},
        {"x\r\nBcc: evil@x.y <a@b.c>", nullptr},
        {"<a@b.c", nullptr},
    };
    for (const auto &row : rows) {
        const std::optional<QString> normal = AddressList::normalized(QString::fromUtf8(row.list));
        if (row.normal) {
            ASSERT_TRUE(normal.has_value()) << row.list;
            EXPECT_EQ(*normal, QString::fromUtf8(row.normal)) << row.list;
        } else {
            EXPECT_FALSE(normal.has_value()) << row.list;
        }
    }
}

TEST(MailHeaders, NonAsciiIsEncodedLineBreaksNeverReachAHeaderAndListsUseCommas)
{
    EXPECT_EQ(MailHeaders::encodeText(QStringLiteral("Pump 3 stopped")), "Pump 3 stopped");
    const QByteArray encoded =
        MailHeaders::encodeText(QStringLiteral("Überdruck im Kessel – 3 bar ✓"));
    EXPECT_TRUE(encoded.startsWith("=?UTF-8?B?"));
    for (const QByteArray &word : encoded.split(' '))
        EXPECT_LE(word.size(), 75);
    EXPECT_FALSE(MailHeaders::encodeText(QStringLiteral("a\r\nBcc: x@y.z")).contains('\n'));
    EXPECT_EQ(MailHeaders::addressList(QStringLiteral("<a@b.c>;Ops Team <o@p.q>")),
              "<a@b.c>, Ops Team <o@p.q>");
    EXPECT_EQ(MailHeaders::addressList(QStringLiteral("J. Doe <j@x.y>")), "\"J. Doe\" <j@x.y>");
    EXPECT_TRUE(
        MailHeaders::addressList(QStringLiteral("Jürgen <j@x.y>")).startsWith("=?UTF-8?B?"));
}

TEST(MailIntake, AccountsByProviderInAnyCase)
{
    SenderBench b;
    EXPECT_EQ(b.intake.acceptAccount(makeAccount(QStringLiteral("yAHOO"))), 1);
    EXPECT_EQ(b.intake.acceptAccount(makeAccount(QStringLiteral("gmail"))), 1);
    EXPECT_EQ(b.intake.acceptAccount(
                  makeAccount(QStringLiteral("yahoo"), QStringLiteral("u"), QString())),
              0);
    EXPECT_EQ(b.intake.acceptAccount(
                  makeAccount(QStringLiteral("GMAIL"), QString(), QStringLiteral("p"))),
              0);
    EXPECT_EQ(b.intake.acceptAccount(makeAccount(QStringLiteral("Hotmail"))), 0);
    const std::vector<MailEvent> events = b.events.entries();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].channel, 1);
    EXPECT_EQ(
        events[0].text,
        QStringLiteral("Empty password or username for channel - Yahoo, information discarded."));
    EXPECT_EQ(events[1].channel, 0);
    EXPECT_EQ(
        events[1].text,
        QStringLiteral("Empty password or username for channel - GMail, information discarded."));
    EXPECT_EQ(events[2].channel, CommonChannel);
    EXPECT_EQ(events[2].text,
              QStringLiteral(
                  "User name and password received for non supported server (Hotmail) discarded."));
}

TEST(MailIntake, EmailChecksInOrderAndNormalizedLists)
{
    SenderBench b;
    auto refusedWith = [&](CMailDetails e, const QString &text, int channel) {
        EXPECT_EQ(b.intake.acceptEmail(e), 0);
        const MailEvent last = b.events.entries().back();
        EXPECT_EQ(last.text, text);
        EXPECT_EQ(last.channel, channel);
    };
    CMailDetails e = makeEmail(QStringLiteral("Outlook"), QStringLiteral("s"));
    refusedWith(e, QStringLiteral("Email with non supported server (Outlook) received, discarded."),
                CommonChannel);
    e = makeEmail(QStringLiteral("yahoo"), QStringLiteral("Alarm"), QString());
    e.cc = QStringLiteral("a@b.c");
    refusedWith(
        e, QStringLiteral("Mail To address empty for email with subect (Alarm), email discarded."),
        1);
    e = makeEmail(QStringLiteral("GMAIL"), QStringLiteral("s"), QStringLiteral("a@b.c;;"));
    refusedWith(e, QStringLiteral("Error in Mail To address (a@b.c;;), email discarded."), 0);
    e = makeEmail(QStringLiteral("GMail"), QStringLiteral("s"));
    e.cc = QStringLiteral("bad");
    refusedWith(e, QStringLiteral("Error in CC To address (bad), email discarded."), 0);
    e.cc.clear();
    e.bcc = QStringLiteral("x@");
    refusedWith(e, QStringLiteral("Error in BCC To address (x@), email discarded."), 0);
    e = makeEmail(QStringLiteral("GMail"), QString(), QStringLiteral("a@b.c, bad"));
    e.body.clear();
    refusedWith(e, QStringLiteral("Error in Mail To address (a@b.c, bad), email discarded."), 0);
    e.to = QStringLiteral("a@b.c");
    refusedWith(
        e, QStringLiteral("Subject and email body totally empty for (a@b.c), email discarded."), 0);
    EXPECT_EQ(b.queues.length(MailProvider::Gmail), 0);

    e = makeEmail(QStringLiteral("gMail"), QStringLiteral("ok"),
                  QStringLiteral("a@b.c; Ops <o@p.q>"));
    e.cc = QStringLiteral("c@d.e,");
    EXPECT_EQ(b.intake.acceptEmail(e), 1);
    std::optional<MailQueues::Taken> taken = b.queues.takeFirst(MailProvider::Gmail);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->email.email.to, QStringLiteral("<a@b.c>;Ops <o@p.q>"));
    EXPECT_EQ(taken->email.email.cc, QStringLiteral("<c@d.e>"));
}

TEST(MailIntake, TheHundredAndFirstEmailIsRefusedWhileTheOtherQueueAccepts)
{
    SenderBench b;
    QList<std::pair<MailProvider, int>> shown;
    QObject::connect(&b.queues, &MailQueues::lengthShown, [&](MailProvider p, int n) {
        shown << std::pair{p, n};
    });
    b.queue(QStringLiteral("Yahoo"), 100, QStringLiteral("y"));
    EXPECT_EQ(shown.last(), (std::pair{MailProvider::Yahoo, 100}));
    EXPECT_EQ(
        b.intake.acceptEmail(makeEmail(QStringLiteral("Yahoo"), QStringLiteral("one too many"))),
        0);
    EXPECT_EQ(b.events.entries().back().text,
              QStringLiteral("Email queue full, can not accept more emails. Email with subject "
                             "(one too many) discarded."));
    EXPECT_EQ(b.events.entries().back().channel, 1);
    EXPECT_EQ(b.intake.acceptEmail(makeEmail(QStringLiteral("GMail"), QStringLiteral("g"))), 1);
    EXPECT_EQ(b.queues.length(MailProvider::Yahoo), 100);
}

TEST(MailSender, TwelveYahooAndThreeGmailFollowTheTurnOrder)
{
    SenderBench b;
    b.queue(QStringLiteral("Yahoo"), 12, QStringLiteral("y"));
    b.queue(QStringLiteral("GMail"), 3, QStringLiteral("g"));
    QList<std::pair<MailProvider, int>> shown;
    QObject::connect(&b.queues, &MailQueues::lengthShown, [&](MailProvider p, int n) {
        shown << std::pair{p, n};
    });
    b.run();
    QStringList expected;
    for (int i = 1; i <= 5; ++i)
        expected << QStringLiteral("Yahoo send y%1").arg(i);
    for (int i = 1; i <= 3; ++i)
        expected << QStringLiteral("Gmail send g%1").arg(i);
    for (int i = 6; i <= 12; ++i)
        expected << QStringLiteral("Yahoo send y%1").arg(i);
    EXPECT_EQ(b.library.sends(), expected);
    // One connection per pass: Yahoo, Gmail, Yahoo, Yahoo.
    EXPECT_EQ(b.library.log.filter(QStringLiteral("connect")).size(), 4);
    EXPECT_EQ(b.library.log.filter(QStringLiteral("close")).size(), 4);
    EXPECT_EQ(b.queues.length(MailProvider::Yahoo), 0);
    EXPECT_EQ(b.queues.length(MailProvider::Gmail), 0);
    EXPECT_EQ(shown.last(), (std::pair{MailProvider::Yahoo, 0}));
    EXPECT_TRUE(b.texts().contains(QStringLiteral("Email sent (subject g3).")));
}

TEST(MailSender, AnEmailRefusedThreeTimesIsReportedThenDiscarded)
{
    SenderBench b;
    b.library.gmail.onSend = [](const CMailDetails &e) {
        return e.subject == QStringLiteral("bad") ? SmtpOutcome{SmtpOutcome::Kind::Refused, 451}
                                                  : SmtpOutcome{};
    };
    b.queue(QStringLiteral("GMail"), 1, QStringLiteral("ok"));
    ASSERT_EQ(b.intake.acceptEmail(makeEmail(QStringLiteral("GMail"), QStringLiteral("bad"))), 1);
    b.queue(QStringLiteral("GMail"), 1, QStringLiteral("later"));
    QList<int> gmailShown;
    QObject::connect(&b.queues, &MailQueues::lengthShown, [&](MailProvider p, int n) {
        if (p == MailProvider::Gmail)
            gmailShown << n;
    });
    b.run();
    const QStringList texts = b.texts();
    EXPECT_EQ(
        texts.filter(QStringLiteral("Error in SendEmail code = 451, will retry sending it later."))
            .size(),
        3);
    EXPECT_EQ(
        texts.last(),
        QStringLiteral(
            "Failed to send email (To : <ops@plant.example>, Subject : bad), email discarded."));
    EXPECT_EQ(b.queues.length(MailProvider::Gmail), 0);
    // Failed emails go behind the others: ok1, bad, later1, bad, bad.
    EXPECT_EQ(b.library.sends(),
              (QStringList{QStringLiteral("Gmail send ok1"), QStringLiteral("Gmail send bad"),
                           QStringLiteral("Gmail send later1"), QStringLiteral("Gmail send bad"),
                           QStringLiteral("Gmail send bad")}));
    EXPECT_EQ(gmailShown.last(), 0);
}

TEST(MailSender, ThreeFailedConnectionsSuspendAProviderWhileTheOtherKeepsSending)
{
    SenderBench b;
    b.library.gmail.onConnect = [](const ServerAccount &) {
        return SmtpOutcome{SmtpOutcome::Kind::Transport, 7};
    };
    b.queue(QStringLiteral("GMail"), 2, QStringLiteral("g"));
    for (int run = 0; run < 2; ++run)
        b.run(); // Gmail has two turns per run: four connection attempts
    const QStringList texts = b.texts();
    EXPECT_EQ(texts.count(QStringLiteral("SMTP Connect failed.")), 2);
    EXPECT_EQ(texts.filter(QStringLiteral("SmtpConnectSSL Details")).size(), 3);
    EXPECT_TRUE(texts.contains(QStringLiteral(
        "SmtpConnectSSL Details [Return Code: 7, Proxy Port = 8801, SMTP Port = 465]")));
    EXPECT_TRUE(texts.contains(QStringLiteral("SmtpConnectSSL Details [SMTP Host: smtp.gmail.com, "
                                              "User: me@x.example, Password: ********]")));
    EXPECT_TRUE(
        texts.contains(QStringLiteral("SmtpConnectSSL Details [Mail From: <me@x.example>]")));
    for (const QString &t : texts)
        EXPECT_FALSE(t.contains(QStringLiteral("s3cret-pass")));
    EXPECT_TRUE(b.sender.state(MailProvider::Gmail).suspended);
    EXPECT_EQ(b.library.log.count(QStringLiteral("Gmail connect")), 3);
    EXPECT_EQ(b.queues.length(MailProvider::Gmail), 2);

    // Yahoo keeps sending while Gmail waits.
    b.queue(QStringLiteral("Yahoo"), 1, QStringLiteral("y"));
    b.run();
    EXPECT_TRUE(b.library.sends().contains(QStringLiteral("Yahoo send y1")));
    EXPECT_EQ(b.library.log.count(QStringLiteral("Gmail connect")), 3);

    // 60 Gmail turns with mail waiting, then a clean retry that succeeds.
    b.library.gmail.onConnect = [](const ServerAccount &) { return SmtpOutcome{}; };
    // Gmail has waited 3 turns so far (one in the second run, two in the
    // Yahoo run) and waits two per run: its 60th turn comes in the 29th run.
    int runs = 0;
    while (b.library.log.count(QStringLiteral("Gmail connect")) == 3 && runs < 100) {
        b.run();
        ++runs;
    }
    EXPECT_EQ(runs, 29);
    EXPECT_EQ(b.queues.length(MailProvider::Gmail), 0);
    EXPECT_EQ(b.sender.state(MailProvider::Gmail).connectionFailures, 0);
    EXPECT_EQ(b.texts().count(QStringLiteral("SMTP Connect failed.")), 2);
}

TEST(MailSender, ATransportFailureKeepsTheEmailAndItsAttempts)
{
    SenderBench b;
    int failures = 2;
    b.library.yahoo.onSend = [&](const CMailDetails &) {
        return failures-- > 0 ? SmtpOutcome{SmtpOutcome::Kind::Transport, 56} : SmtpOutcome{};
    };
    b.queue(QStringLiteral("Yahoo"), 2, QStringLiteral("y"));
    b.run(); // three Yahoo turns: two drops, then both go out
    EXPECT_EQ(b.library.sends(),
              (QStringList{QStringLiteral("Yahoo send y1"), QStringLiteral("Yahoo send y1"),
                           QStringLiteral("Yahoo send y1"), QStringLiteral("Yahoo send y2")}));
    EXPECT_EQ(b.queues.length(MailProvider::Yahoo), 0);
    EXPECT_EQ(b.texts().count(QStringLiteral("SMTP Connect failed.")), 2);
    EXPECT_TRUE(b.texts().filter(QStringLiteral("Error in SendEmail")).isEmpty());
}

TEST(MailSender, SentEmailsLoseTheirFilesFailedOnesKeepThem)
{
    SenderBench b;
    QTemporaryDir dir;
    auto file = [&](const QString &name) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write("x");
        return dir.filePath(name);
    };
    CMailDetails sent = makeEmail(QStringLiteral("Yahoo"), QStringLiteral("sent"));
    sent.body = QLatin1Char('@') + file(QStringLiteral("body.html"));
    sent.embeddedFiles =
        file(QStringLiteral("a.png")) + QStringLiteral(";;") + file(QStringLiteral("b.png"));
    sent.html = 1;
    CMailDetails plain = makeEmail(QStringLiteral("Yahoo"), QStringLiteral("plain"));
    plain.body = file(QStringLiteral("notabody.txt"));
    CMailDetails failed = makeEmail(QStringLiteral("Yahoo"), QStringLiteral("failed"));
    failed.body = QLatin1Char('@') + file(QStringLiteral("kept.txt"));
    b.library.yahoo.onSend = [](const CMailDetails &e) {
        return e.subject == QStringLiteral("failed") ? SmtpOutcome{SmtpOutcome::Kind::Refused, 550}
                                                     : SmtpOutcome{};
    };
    ASSERT_EQ(b.intake.acceptEmail(sent), 1);
    ASSERT_EQ(b.intake.acceptEmail(plain), 1);
    ASSERT_EQ(b.intake.acceptEmail(failed), 1);
    b.run();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("body.html"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("a.png"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("b.png"))));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("notabody.txt"))));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("kept.txt"))));
}

TEST(MailSender, AFailedSetUpStopsSendingForTheRun)
{
    SenderBench b;
    b.proxy.setUpResult = -5;
    b.queue(QStringLiteral("Yahoo"), 1, QStringLiteral("y"));
    b.run();
    EXPECT_TRUE(b.sender.stopped());
    EXPECT_EQ(
        b.texts(),
        (QStringList{
            QStringLiteral("HandleStunnel Error -5, sending emails is not possible"),
            QStringLiteral(
                "Check for proper setting of path for Stunnel Proxy Server files in registry.")}));
    EXPECT_EQ(b.events.entries().front().channel, CommonChannel);
    b.run();
    EXPECT_EQ(b.proxy.setUps, 1);
    EXPECT_TRUE(b.library.sends().isEmpty());
    // Emails are still accepted.
    EXPECT_EQ(b.intake.acceptEmail(makeEmail(QStringLiteral("Yahoo"), QStringLiteral("more"))), 1);

    SenderBench c;
    c.library.attachResult = false;
    c.queue(QStringLiteral("GMail"), 1, QStringLiteral("g"));
    c.run();
    EXPECT_EQ(c.texts(),
              QStringList{QStringLiteral("Failed to connect to see dll, can't send emails.")});
    EXPECT_TRUE(c.sender.stopped());
}

TEST(MailSender, AProxyThatDiedIsSetUpAgainWithOneCommonLine)
{
    SenderBench b;
    b.queue(QStringLiteral("Yahoo"), 1, QStringLiteral("y"));
    b.run();
    b.proxy.running = false;
    b.queue(QStringLiteral("Yahoo"), 1, QStringLiteral("z"));
    b.run();
    EXPECT_EQ(b.proxy.setUps, 2);
    EXPECT_EQ(b.texts().count(QStringLiteral("The SSL proxy has stopped; setting it up again.")),
              1);
    EXPECT_TRUE(b.library.sends().contains(QStringLiteral("Yahoo send z1")));
}

TEST(MailRelayTimer, NothingBeforeTheThirdTickAndCloseWhenDrained)
{
    MailSettings settings;
    settings.proxyFolder = QStringLiteral("/opt/stunnel");
    auto library = std::make_unique<FakeLibrary>();
    FakeLibrary *fake = library.get();
    MailRelay relay(settings, std::move(library), std::make_unique<FakeProxy>());
    int closes = 0;
    QObject::connect(&relay, &MailRelay::drainedCloseDue, [&] { ++closes; });
    relay.intake().acceptAccount(makeAccount(QStringLiteral("Yahoo")));
    relay.intake().acceptEmail(makeEmail(QStringLiteral("Yahoo"), QStringLiteral("y")));
    hostmsg::Message close;
    close.kind = hostmsg::Kind::Send;
    close.msg = MailProtocol::CloseWhenDrainedMessage;
    EXPECT_EQ(relay.handleMessage(close), 1);
    relay.onTick();
    relay.onTick();
    EXPECT_FALSE(relay.senderRunning());
    EXPECT_TRUE(fake->log.isEmpty());
    relay.onTick(); // the third tick starts the sender
    while (relay.senderRunning())
        QThread::msleep(5);
    EXPECT_EQ(fake->sends(), QStringList{QStringLiteral("Yahoo send y")});
    EXPECT_EQ(closes, 0);
    relay.onTick(); // both queues empty: the drained close is due
    EXPECT_EQ(closes, 1);
    relay.onTick();
    EXPECT_EQ(closes, 1);
}

TEST(MailRelayTimer, AStoppedRelayNeverClosesByItselfAndDropsItsQueueAtShutDown)
{
    MailSettings settings;
    settings.proxyFolder = QStringLiteral("/opt/stunnel");
    auto proxy = std::make_unique<FakeProxy>();
    proxy->setUpResult = -2;
    MailRelay relay(settings, std::make_unique<FakeLibrary>(), std::move(proxy));
    int closes = 0;
    QObject::connect(&relay, &MailRelay::drainedCloseDue, [&] { ++closes; });
    relay.intake().acceptEmail(makeEmail(QStringLiteral("GMail"), QStringLiteral("g")));
    hostmsg::Message close;
    close.msg = MailProtocol::CloseWhenDrainedMessage;
    relay.handleMessage(close);
    for (int i = 0; i < 3; ++i)
        relay.onTick();
    while (relay.senderRunning())
        QThread::msleep(5);
    for (int i = 0; i < 5; ++i)
        relay.onTick();
    EXPECT_TRUE(relay.sender().stopped());
    EXPECT_EQ(closes, 0);
    relay.shutDown();
    EXPECT_EQ(relay.events().texts().last(),
              QStringLiteral("Closing with 1 email(s) still queued; they are not sent."));
    EXPECT_EQ(relay.queues().length(MailProvider::Gmail), 0);
}

TEST(EventList, KeepsTheNewestEntriesAndSaysSoOnce)
{
    EventList list([] { return std::chrono::sys_seconds{std::chrono::seconds{1700000000}}; });
    for (std::size_t i = 0; i < EventList::MaxEntries + 50; ++i)
        list.append(1, QString::number(i));
    EXPECT_EQ(list.size(), EventList::MaxEntries);
    const QStringList texts = list.texts();
    EXPECT_EQ(texts.filter(QStringLiteral("keeps the newest")).size(), 1);
    EXPECT_EQ(texts.last(), QString::number(EventList::MaxEntries + 49));
    EXPECT_EQ(eventDateText(std::chrono::sys_seconds{std::chrono::seconds{1700000000}}).size(), 10);
}

TEST(MailSettings, DefaultsAndStoredValues)
{
    QTemporaryDir dir;
    QSettings store(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    MailSettings s = MailSettings::read(store, QStringLiteral("/opt/prog/stunnel"));
    EXPECT_EQ(s.proxyFolder, QStringLiteral("/opt/prog/stunnel"));
    EXPECT_EQ(s.proxyPortGmail, 8801);
    EXPECT_EQ(s.proxyPortYahoo, 8802);
    EXPECT_EQ(s.smtpHostYahoo, QStringLiteral("smtp.mail.yahoo.com"));
    store.beginGroup(QStringLiteral("Run Mode/Settings"));
    store.setValue(QStringLiteral("Stunnel_Path"), QStringLiteral("/srv/stunnel"));
    store.setValue(QStringLiteral("ProxyPortYahoo"), 0);
    store.setValue(QStringLiteral("ProxyPortGmail"), 9901);
    store.setValue(QStringLiteral("SmtpHostGmail"), QStringLiteral("127.0.0.1"));
    store.setValue(QStringLiteral("Stunnel_CAfile"), QStringLiteral("/srv/ca.pem"));
    store.endGroup();
    s = MailSettings::read(store, QStringLiteral("/opt/prog/stunnel"));
    EXPECT_EQ(s.proxyFolder, QStringLiteral("/srv/stunnel"));
    EXPECT_EQ(s.proxyPortYahoo, 8802);
    EXPECT_EQ(s.proxyPortGmail, 9901);
    EXPECT_EQ(s.smtpHostGmail, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(s.caFile, QStringLiteral("/srv/ca.pem"));
}

TEST(MailRelayTimer, ClosingWhileTheSenderWorksStopsAndAwaitsIt)
{
    MailSettings settings;
    settings.proxyFolder = QStringLiteral("/opt/stunnel");
    auto library = std::make_unique<FakeLibrary>();
    std::atomic<int> sends{0};
    library->yahoo.onSend = [&](const CMailDetails &) {
        ++sends;
        QThread::msleep(100);
        return SmtpOutcome{};
    };
    auto relay =
        std::make_unique<MailRelay>(settings, std::move(library), std::make_unique<FakeProxy>());
    relay->intake().acceptAccount(makeAccount(QStringLiteral("Yahoo")));
    for (int i = 0; i < 20; ++i)
        relay->intake().acceptEmail(makeEmail(QStringLiteral("Yahoo"), QString::number(i)));
    for (int i = 0; i < 3; ++i)
        relay->onTick();
    while (sends.load() == 0)
        QThread::msleep(5);
    relay->shutDown(); // returns once the sender has stopped between emails
    EXPECT_FALSE(relay->senderRunning());
    const int sent = sends.load();
    EXPECT_LT(sent, 15);
    EXPECT_EQ(
        relay->events().texts().last(),
        QStringLiteral("Closing with %1 email(s) still queued; they are not sent.").arg(20 - sent));
    relay.reset();
    EXPECT_EQ(sends.load(), sent);
}
