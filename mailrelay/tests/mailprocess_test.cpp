// The mailrelay program as the host runtime meets it: started as a process,
// fed by "hostrun mail" through its window, sending through its own stunnel to
// the sink, and closing when drained or on SIGTERM. Its outputs are scanned
// for the account password.
#include "desktop.h"
#include "mailpayload.h"
#include "mailpeers.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mailtest;

namespace {

const QString User = QStringLiteral("relay@orvala.example");
const QString Password = QStringLiteral("Pw-3d1e8a77-process");

struct RunHostrun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

RunHostrun hostrun(const QStringList &arguments,
                   const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(testsupport::builtProgram(QStringLiteral("hostrun/hostrun")), arguments);
    RunHostrun r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
    }
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

class MailProcess : public ::testing::Test
{
protected:
    QTemporaryDir folder;
    std::unique_ptr<ThrowawayCa> ca;
    std::unique_ptr<SmtpSink> sink;
    std::unique_ptr<ServerStunnel> tunnel;
    QProcess relay;
    hostmsg::Desktop desktop;

    void SetUp() override
    {
        ca = std::make_unique<ThrowawayCa>(folder.path());
        ASSERT_TRUE(ca->ok());
        sink = std::make_unique<SmtpSink>(User, Password);
        ASSERT_TRUE(sink->ok());
        tunnel = std::make_unique<ServerStunnel>(*ca, freePort(), sink->port());
        ASSERT_TRUE(tunnel->start());

        // The machine key, where the relay reads it (the test's private
        // system configuration folder).
        QSettings machine(QSettings::SystemScope, QStringLiteral("Quenlor"),
                          QStringLiteral("ORVALA HMI"));
        machine.beginGroup(QStringLiteral("Run Mode/Settings"));
        machine.setValue(QStringLiteral("Stunnel_Path"), folder.path());
        machine.setValue(QStringLiteral("ProxyPortGmail"), freePort());
        int yahooPort = freePort();
        while (yahooPort == machine.value(QStringLiteral("ProxyPortGmail")).toInt())
            yahooPort = freePort();
        machine.setValue(QStringLiteral("ProxyPortYahoo"), yahooPort);
        for (const char *provider : {"Gmail", "Yahoo"}) {
            machine.setValue(QStringLiteral("SmtpHost") + QLatin1StringView(provider),
                             QStringLiteral("127.0.0.1"));
            machine.setValue(QStringLiteral("SmtpPort") + QLatin1StringView(provider),
                             tunnel->port());
        }
        machine.setValue(QStringLiteral("Stunnel_CAfile"), ca->caFile());
        machine.endGroup();
        machine.sync();
        ASSERT_EQ(machine.status(), QSettings::NoError);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORVALA_UNATTENDED"), QStringLiteral("yes"));
        relay.setProcessEnvironment(env);
        relay.start(testsupport::builtProgram(QStringLiteral("mailrelay/mailrelay")), {});
        ASSERT_TRUE(relay.waitForStarted(10000));
        ASSERT_TRUE(waitFor([&] {
            return desktop.findWindow(QString::fromLatin1(MailProtocol::WindowTitle)) != 0;
        }));
    }

    void TearDown() override
    {
        if (relay.state() != QProcess::NotRunning) {
            relay.kill();
            relay.waitForFinished(5000);
        }
    }

    QByteArray relayOutput()
    {
        return relay.readAllStandardOutput() + relay.readAllStandardError();
    }
};

} // namespace

TEST_F(MailProcess, HostrunMailSendsThroughTheRelayWhichClosesWhenDrained)
{
    QFile passwordFile(folder.filePath(QStringLiteral("password")));
    ASSERT_TRUE(passwordFile.open(QIODevice::WriteOnly));
    passwordFile.write(Password.toUtf8() + '\n');
    passwordFile.close();

    RunHostrun r =
        hostrun({QStringLiteral("mail"), QStringLiteral("account"), QStringLiteral("gmail"), User,
                 QStringLiteral("--password-file"), passwordFile.fileName()});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, "account taken (1)\n");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORVALA_MAIL_PASSWORD"), Password);
    r = hostrun({QStringLiteral("mail"), QStringLiteral("account"), QStringLiteral("YAHOO"), User},
                env);
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    r = hostrun(
        {QStringLiteral("mail"), QStringLiteral("account"), QStringLiteral("Hotmail"), User}, env);
    EXPECT_EQ(r.out, "account refused (0)\n");
    EXPECT_EQ(r.exitCode, 1);

    const QString bodyFile = folder.filePath(QStringLiteral("body.txt"));
    QFile body(bodyFile);
    ASSERT_TRUE(body.open(QIODevice::WriteOnly));
    body.write("Füllstand Tank 2 niedrig\n");
    body.close();
    r = hostrun({QStringLiteral("mail"), QStringLiteral("send"), QStringLiteral("--provider"),
                 QStringLiteral("Yahoo"), QStringLiteral("--to"),
                 QStringLiteral("ops@plant.example"), QStringLiteral("--subject"),
                 QStringLiteral("Füllstand"), QStringLiteral("--body-file"), bodyFile});
    EXPECT_EQ(r.out, "email taken (1)\n") << r.err.constData();
    r = hostrun({QStringLiteral("mail"), QStringLiteral("send"), QStringLiteral("--provider"),
                 QStringLiteral("gmail"), QStringLiteral("--to"),
                 QStringLiteral("ops@plant.example"), QStringLiteral("--subject"),
                 QStringLiteral("Pumpe 4"), QStringLiteral("--body"),
                 QStringLiteral("läuft wieder")});
    EXPECT_EQ(r.out, "email taken (1)\n") << r.err.constData();
    r = hostrun({QStringLiteral("mail"), QStringLiteral("send"), QStringLiteral("--provider"),
                 QStringLiteral("gmail"), QStringLiteral("--to"),
                 QStringLiteral("not an address")});
    EXPECT_EQ(r.out, "email refused (0)\n");

    // Garbage and wrong payloads: refused, and the relay keeps serving.
    const hostmsg::Handle window =
        desktop.findWindow(QString::fromLatin1(MailProtocol::WindowTitle));
    EXPECT_EQ(desktop.sendMessage(window, hostmsg::WM_COPYDATA, 0, 0, 200,
                                  QByteArray("\x05\x00\x00garbage", 10)),
              0);
    CSMTPDetails account;
    account.channelName = QStringLiteral("GMail");
    EXPECT_EQ(desktop.sendMessage(window, hostmsg::WM_COPYDATA, 0, 0, 200,
                                  MailPayload::encodeAccount(account)),
              0);
    EXPECT_EQ(desktop.sendMessage(window, hostmsg::WM_COPYDATA, 0, 0, 999, QByteArray("x")), 0);

    r = hostrun({QStringLiteral("mail"), QStringLiteral("close")});
    EXPECT_EQ(r.out, "close taken (1)\n");
    ASSERT_TRUE(
        waitFor([&] { return relay.state() == QProcess::NotRunning; }, std::chrono::seconds(90)));
    EXPECT_EQ(relay.exitCode(), 0);
    EXPECT_EQ(sink->receivedCount(), 2);
    EXPECT_FALSE(QFile::exists(bodyFile));
    QStringList subjects;
    for (const QJsonObject &m : sink->received())
        subjects << m[QStringLiteral("subject")].toString();
    EXPECT_TRUE(subjects.contains(QStringLiteral("Füllstand")));

    const QByteArray output = relayOutput();
    EXPECT_TRUE(output.contains("Email sent (subject Pumpe 4)."));
    EXPECT_TRUE(output.contains("Error in Mail To address (not an address), email discarded."));
    EXPECT_FALSE(contains(output, Password));
    EXPECT_FALSE(contains(sink->rawMessage(0) + sink->rawMessage(1), Password));
}

TEST_F(MailProcess, SigtermClosesWithoutAskingAndSaysWhatWasDropped)
{
    // An account that never arrived: the email waits.
    RunHostrun r = hostrun({QStringLiteral("mail"), QStringLiteral("send"),
                            QStringLiteral("--provider"), QStringLiteral("Yahoo"),
                            QStringLiteral("--to"), QStringLiteral("ops@plant.example"),
                            QStringLiteral("--subject"), QStringLiteral("waiting")});
    EXPECT_EQ(r.out, "email taken (1)\n");
    relay.terminate();
    ASSERT_TRUE(waitFor([&] { return relay.state() == QProcess::NotRunning; }));
    EXPECT_EQ(relay.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(relayOutput().contains("Closing with 1 email(s) still queued; they are not sent."));
    EXPECT_EQ(desktop.findWindow(QString::fromLatin1(MailProtocol::WindowTitle)), 0u);
}
