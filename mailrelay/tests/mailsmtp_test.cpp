// The relay against real peers on loopback: its own stunnel client verifying
// a server-mode stunnel (certificate from a throwaway CA) in front of an
// aiosmtpd sink that checks the account and parses what arrives.
#include "curlsmtp.h"
#include "mailpayload.h"
#include "mailpeers.h"
#include "mailrelay.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <mutex>

using namespace mailtest;

namespace {

const QString User = QStringLiteral("plant@orvala.example");
const QString Password = QStringLiteral("Pw-7f3c9e1b-never-shown");

// Every log line of this process, for the secret scan.
std::mutex logMutex;
QByteArray capturedLog;
void captureMessage(QtMsgType, const QMessageLogContext &context, const QString &text)
{
    std::lock_guard lock(logMutex);
    capturedLog +=
        QByteArray(context.category ? context.category : "") + ": " + text.toUtf8() + '\n';
}

struct Peers
{
    QTemporaryDir folder;
    ThrowawayCa ca{folder.path()};
    SmtpSink sink{User, Password};
    std::unique_ptr<ServerStunnel> tunnel;

    explicit Peers(const QString &subjectAltName = QStringLiteral("IP:127.0.0.1"))
        : ca(folder.path(), subjectAltName)
    {
        if (ca.ok() && sink.ok()) {
            tunnel = std::make_unique<ServerStunnel>(ca, freePort(), sink.port());
            tunnel->start();
        }
    }
    bool ok() const { return ca.ok() && sink.ok() && tunnel && tunnel->ok(); }

    MailSettings settings(const QString &caFile = QString()) const
    {
        MailSettings s;
        s.proxyFolder = folder.path(); // no stunnel program there: the one on PATH
        s.proxyPortGmail = freePort();
        s.proxyPortYahoo = freePort();
        while (s.proxyPortYahoo == s.proxyPortGmail)
            s.proxyPortYahoo = freePort();
        s.smtpHostGmail = s.smtpHostYahoo = QStringLiteral("127.0.0.1");
        s.smtpPortGmail = s.smtpPortYahoo = tunnel->port();
        s.caFile = caFile.isEmpty() ? ca.caFile() : caFile;
        return s;
    }
};

CSMTPDetails account(const QString &provider)
{
    CSMTPDetails a;
    a.channelName = provider;
    a.user = User;
    a.password = Password;
    return a;
}

CMailDetails email(const QString &provider, const QString &subject, const QString &to)
{
    CMailDetails e;
    e.channelName = provider;
    e.to = to;
    e.subject = subject;
    e.body = QStringLiteral("Kessel 1: Druck 3,5 bar überschritten.\nBitte prüfen.");
    return e;
}

QString writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(content);
    return path;
}

class MailSmtp : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::lock_guard lock(logMutex);
        capturedLog.clear();
        qInstallMessageHandler(captureMessage);
    }
    void TearDown() override { qInstallMessageHandler(nullptr); }
};

} // namespace

TEST_F(MailSmtp, PlainAndHtmlEmailsArriveIntactAndThePasswordIsNeverWritten)
{
    Peers peers;
    ASSERT_TRUE(peers.ok());
    MailRelay relay(peers.settings());
    ASSERT_EQ(relay.intake().acceptAccount(account(QStringLiteral("gmail"))), 1);
    ASSERT_EQ(relay.intake().acceptAccount(account(QStringLiteral("YAHOO"))), 1);

    CMailDetails plain =
        email(QStringLiteral("GMail"), QStringLiteral("Überdruck – Kessel 1 ✓"),
              QStringLiteral("Jürgen Müller <jm@plant.example>, ops@plant.example"));
    plain.cc = QStringLiteral(" shift@plant.example ");
    plain.bcc = QStringLiteral("audit@plant.example");
    ASSERT_EQ(relay.intake().acceptEmail(plain), 1);

    QTemporaryDir files;
    const QByteArray png =
        QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+"
                               "M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==");
    const QString image = writeFile(files.filePath(QStringLiteral("trend.png")), png);
    const QString notes = writeFile(files.filePath(QStringLiteral("notes.txt")), "Schicht A\n");
    const QString body =
        writeFile(files.filePath(QStringLiteral("alarm.html")),
                  "<html><body><p>Druck zu hoch</p><img src=\"cid:trend.png\"></body></html>");
    CMailDetails html = email(QStringLiteral("Yahoo"), QStringLiteral("Trend report"),
                              QStringLiteral("ops@plant.example"));
    html.html = 1;
    html.body = QLatin1Char('@') + body;
    html.embeddedFiles = image + QLatin1Char(';') + notes;
    ASSERT_EQ(relay.intake().acceptEmail(html), 1);

    relay.start(std::chrono::milliseconds(100));
    ASSERT_TRUE(waitFor([&] { return peers.sink.receivedCount() == 2; }))
        << relay.events().texts().join(u'\n').toStdString();
    const QString config = relay.stunnel()->configPath();
    QFile configFile(config);
    ASSERT_TRUE(configFile.open(QIODevice::ReadOnly));
    const QByteArray configText = configFile.readAll();
    EXPECT_TRUE(configText.contains("verifyChain = yes"));
    EXPECT_TRUE(configText.contains("checkIP = 127.0.0.1"));
    EXPECT_EQ(QFileInfo(QFileInfo(config).path()).permissions() &
                  (QFile::ReadGroup | QFile::ReadOther),
              0);
    ASSERT_TRUE(waitFor([&] { return !QFile::exists(body) && !QFile::exists(image); }));
    EXPECT_FALSE(QFile::exists(notes));

    QList<QJsonObject> received = peers.sink.received();
    // The sink numbers messages as they arrive; Yahoo goes first.
    const QJsonObject htmlMail = received[0];
    const QJsonObject plainMail = received[1];

    EXPECT_EQ(plainMail[QStringLiteral("subject")].toString(), plain.subject);
    EXPECT_EQ(plainMail[QStringLiteral("to")].toString(),
              QStringLiteral("Jürgen Müller <jm@plant.example>, ops@plant.example"));
    EXPECT_EQ(plainMail[QStringLiteral("cc")].toString(), QStringLiteral("shift@plant.example"));
    EXPECT_FALSE(plainMail[QStringLiteral("hasBcc")].toBool());
    EXPECT_EQ(plainMail[QStringLiteral("rcptTos")].toArray().size(), 4);
    EXPECT_TRUE(plainMail[QStringLiteral("rcptTos")].toArray().contains(
        QStringLiteral("audit@plant.example")));
    EXPECT_EQ(plainMail[QStringLiteral("mailFrom")].toString(), User);
    EXPECT_EQ(plainMail[QStringLiteral("defects")].toInt(), 0);
    const QJsonArray plainParts = plainMail[QStringLiteral("parts")].toArray();
    bool bodyFound = false;
    for (const QJsonValue &p : plainParts)
        bodyFound = bodyFound || p[QStringLiteral("text")].toString() == plain.body;
    EXPECT_TRUE(bodyFound);
    EXPECT_FALSE(peers.sink.rawMessage(1).contains("audit@"));
    if (qEnvironmentVariableIsSet("MAILTEST_DUMP"))
        fprintf(stderr, "%s\n", peers.sink.rawMessage(0).constData());

    EXPECT_EQ(htmlMail[QStringLiteral("subject")].toString(), QStringLiteral("Trend report"));
    EXPECT_EQ(htmlMail[QStringLiteral("defects")].toInt(), 0);
    QStringList types;
    QJsonObject imagePart, htmlPart, altPart, notesPart;
    for (const QJsonValue &v : htmlMail[QStringLiteral("parts")].toArray()) {
        const QJsonObject p = v.toObject();
        types << p[QStringLiteral("type")].toString();
        if (p[QStringLiteral("type")] == QStringLiteral("image/png"))
            imagePart = p;
        if (p[QStringLiteral("type")] == QStringLiteral("text/html"))
            htmlPart = p;
        if (p[QStringLiteral("type")] == QStringLiteral("text/plain") &&
            p[QStringLiteral("filename")].isNull())
            altPart = p;
        if (p[QStringLiteral("filename")] == QStringLiteral("notes.txt"))
            notesPart = p;
    }
    EXPECT_TRUE(types.contains(QStringLiteral("multipart/alternative")))
        << types.join(u',').toStdString();
    EXPECT_EQ(altPart[QStringLiteral("text")].toString(),
              QStringLiteral("Your email client does not support HTML email messages."));
    EXPECT_TRUE(
        htmlPart[QStringLiteral("text")].toString().contains(QStringLiteral("Druck zu hoch")));
    EXPECT_EQ(imagePart[QStringLiteral("filename")].toString(), QStringLiteral("trend.png"));
    EXPECT_EQ(imagePart[QStringLiteral("disposition")].toString(), QStringLiteral("inline"));
    EXPECT_EQ(imagePart[QStringLiteral("bytes")].toString(), QString::fromLatin1(png.toHex()));
    EXPECT_EQ(notesPart[QStringLiteral("type")].toString(), QStringLiteral("text/plain"));
    EXPECT_EQ(notesPart[QStringLiteral("text")].toString(), QStringLiteral("Schicht A\n"));

    relay.shutDown();
    std::lock_guard lock(logMutex);
    EXPECT_FALSE(contains(capturedLog, Password));
    EXPECT_FALSE(contains(configText, Password));
    EXPECT_FALSE(relay.events().texts().join(u'\n').contains(Password));
    EXPECT_TRUE(capturedLog.contains("mailrelay.events"));
}

TEST_F(MailSmtp, AServerOutsideTheCaOrUnderAnotherNameIsRefused)
{
    for (const bool wrongName : {false, true}) {
        SCOPED_TRACE(wrongName ? "wrong name" : "wrong CA");
        Peers peers(wrongName ? QStringLiteral("IP:127.0.0.2,DNS:other.example")
                              : QStringLiteral("IP:127.0.0.1"));
        ASSERT_TRUE(peers.ok());
        QTemporaryDir otherFolder;
        ThrowawayCa otherCa(otherFolder.path());
        ASSERT_TRUE(otherCa.ok());
        MailRelay relay(peers.settings(wrongName ? QString() : otherCa.caFile()));
        relay.intake().acceptAccount(account(QStringLiteral("Yahoo")));
        relay.intake().acceptEmail(email(QStringLiteral("Yahoo"), QStringLiteral("never"),
                                         QStringLiteral("ops@plant.example")));
        relay.start(std::chrono::milliseconds(100));
        ASSERT_TRUE(waitFor([&] {
            return relay.events().texts().contains(QStringLiteral("SMTP Connect failed."));
        }));
        relay.shutDown();
        EXPECT_EQ(peers.sink.receivedCount(), 0);
        EXPECT_TRUE(relay.events().texts().contains(
            QStringLiteral("Closing with 1 email(s) still queued; they are not sent.")));
    }
}

TEST_F(MailSmtp, AnEmailTheServerRefusesThreeTimesIsDiscardedAndTheRestGoOut)
{
    Peers peers;
    ASSERT_TRUE(peers.ok());
    MailRelay relay(peers.settings());
    relay.intake().acceptAccount(account(QStringLiteral("GMail")));
    relay.intake().acceptEmail(email(QStringLiteral("GMail"), QStringLiteral("refused"),
                                     QStringLiteral("fail451@plant.example")));
    relay.intake().acceptEmail(email(QStringLiteral("GMail"), QStringLiteral("fine"),
                                     QStringLiteral("ops@plant.example")));
    relay.start(std::chrono::milliseconds(100));
    ASSERT_TRUE(waitFor([&] {
        return relay.queues().length(MailProvider::Gmail) == 0 && !relay.senderRunning();
    })) << relay.events().texts().join(u'\n').toStdString();
    const QStringList texts = relay.events().texts();
    EXPECT_EQ(
        texts.count(QStringLiteral("Error in SendEmail code = 451, will retry sending it later.")),
        3);
    EXPECT_TRUE(texts.contains(QStringLiteral("Failed to send email (To : <fail451@plant.example>, "
                                              "Subject : refused), email discarded.")));
    EXPECT_TRUE(waitFor([&] { return peers.sink.receivedCount() == 1; }));
}

TEST_F(MailSmtp, TheServerTunnelKilledMidBacklogAndRestartedLosesNothing)
{
    Peers peers;
    ASSERT_TRUE(peers.ok());
    MailRelay relay(peers.settings());
    relay.intake().acceptAccount(account(QStringLiteral("GMail")));
    relay.intake().acceptAccount(account(QStringLiteral("Yahoo")));
    constexpr int Count = 40;
    for (int i = 0; i < Count; ++i)
        ASSERT_EQ(relay.intake().acceptEmail(email(
                      i % 2 ? QStringLiteral("GMail") : QStringLiteral("Yahoo"),
                      QStringLiteral("backlog %1").arg(i), QStringLiteral("ops@plant.example"))),
                  1);
    relay.start(std::chrono::milliseconds(100));
    ASSERT_TRUE(waitFor([&] { return peers.sink.receivedCount() >= 3; }));
    peers.tunnel->kill();
    ASSERT_TRUE(waitFor(
        [&] { return relay.events().texts().contains(QStringLiteral("SMTP Connect failed.")); }));
    ASSERT_TRUE(peers.tunnel->start());
    // Every email arrives. One that was on the wire when the tunnel died may
    // arrive twice: its acceptance never reached the relay, which sends it
    // again rather than lose it.
    QSet<QString> subjects;
    const bool all = waitFor(
        [&] {
            subjects.clear();
            for (const QJsonObject &m : peers.sink.received())
                subjects.insert(m[QStringLiteral("subject")].toString());
            return int(subjects.size()) == Count;
        },
        std::chrono::seconds(120));
    ASSERT_TRUE(all) << subjects.size() << relay.events().texts().join(u'\n').toStdString();
    EXPECT_LE(peers.sink.receivedCount(), Count + 2);
    EXPECT_TRUE(relay.events().texts().filter(QStringLiteral("email discarded")).isEmpty());
}

TEST_F(MailSmtp, AStunnelThatDiesIsStartedAgain)
{
    Peers peers;
    ASSERT_TRUE(peers.ok());
    MailRelay relay(peers.settings());
    relay.intake().acceptAccount(account(QStringLiteral("Yahoo")));
    relay.intake().acceptEmail(
        email(QStringLiteral("Yahoo"), QStringLiteral("one"), QStringLiteral("a@b.c")));
    relay.start(std::chrono::milliseconds(100));
    ASSERT_TRUE(waitFor([&] { return peers.sink.receivedCount() == 1; }));
    const qint64 first = relay.stunnel()->processId();
    ASSERT_GT(first, 0);
    ::kill(pid_t(first), SIGKILL);
    ASSERT_TRUE(waitFor([&] { return !relay.stunnel()->isRunning(); }));
    relay.intake().acceptEmail(
        email(QStringLiteral("Yahoo"), QStringLiteral("two"), QStringLiteral("a@b.c")));
    ASSERT_TRUE(waitFor([&] { return peers.sink.receivedCount() == 2; }));
    EXPECT_EQ(relay.events().texts().count(
                  QStringLiteral("The SSL proxy has stopped; setting it up again.")),
              1);
    EXPECT_NE(relay.stunnel()->processId(), first);
}
