// The email relay end to end, as the host runtime runs it: the real mailrelay
// process, its own stunnel client verifying a server-mode stunnel (throwaway
// CA) in front of an aiosmtpd sink, all on loopback in a private home. With
// both accounts given, a backlog of 200 emails (100 per provider, the queues'
// limit) is sent to the relay's window at once; the figures are the emails
// drained per second from the first send to the last receipt, and the time
// each email spent between the host's send and the sink's receipt (p50, p99).
// The relay's 2 s timer and its turns (at most 15 Yahoo and 10 Gmail emails
// per sender run) bound the rate, as they do in the plant.
// The last line is the drained emails per second, alone.
#include "desktop.h"
#include "mailpayload.h"
#include "mailpeers.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <map>

using namespace mailtest;

namespace {

constexpr int Backlog = 200;

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const std::size_t index = std::min(values.size() - 1, std::size_t(p * double(values.size())));
    return values[index];
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/orvala-bench-mail-XXXXXX"));
    for (const char *name : {"run", "config", "system-config", "data"})
        QDir(home.path()).mkpath(QLatin1StringView(name));
    QFile::setPermissions(home.filePath(QStringLiteral("run")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("ORVALA_RUNTIME_DIR", QFile::encodeName(home.filePath(QStringLiteral("run"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(home.filePath(QStringLiteral("system-config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    qputenv("ORVALA_UNATTENDED", "yes");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);

    const QString user = QStringLiteral("bench@orvala.example");
    const QString password = QStringLiteral("bench-password");
    ThrowawayCa ca(home.path());
    SmtpSink sink(user, password);
    if (!ca.ok() || !sink.ok()) {
        std::fprintf(stderr, "cannot start the CA or the sink\n");
        return 1;
    }
    ServerStunnel tunnel(ca, freePort(), sink.port());
    if (!tunnel.start()) {
        std::fprintf(stderr, "cannot start the server stunnel\n");
        return 1;
    }
    {
        QSettings machine(QSettings::SystemScope, QStringLiteral("Quenlor"),
                          QStringLiteral("ORVALA HMI"));
        machine.beginGroup(QStringLiteral("Run Mode/Settings"));
        const int gmailPort = freePort();
        int yahooPort = freePort();
        while (yahooPort == gmailPort)
            yahooPort = freePort();
        machine.setValue(QStringLiteral("Stunnel_Path"), home.path());
        machine.setValue(QStringLiteral("ProxyPortGmail"), gmailPort);
        machine.setValue(QStringLiteral("ProxyPortYahoo"), yahooPort);
        for (const char *provider : {"Gmail", "Yahoo"}) {
            machine.setValue(QStringLiteral("SmtpHost") + QLatin1StringView(provider),
                             QStringLiteral("127.0.0.1"));
            machine.setValue(QStringLiteral("SmtpPort") + QLatin1StringView(provider),
                             tunnel.port());
        }
        machine.setValue(QStringLiteral("Stunnel_CAfile"), ca.caFile());
    }

    QProcess relay;
    relay.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    relay.setStandardErrorFile(home.filePath(QStringLiteral("relay.log")));
    relay.start(
        QCoreApplication::applicationDirPath() + QStringLiteral("/../../mailrelay/mailrelay"), {});
    hostmsg::Desktop desktop;
    const QString title = QString::fromLatin1(MailProtocol::WindowTitle);
    if (!relay.waitForStarted(10000) || !waitFor([&] { return desktop.findWindow(title) != 0; })) {
        std::fprintf(stderr, "the relay did not start\n");
        return 1;
    }
    const hostmsg::Handle window = desktop.findWindow(title);
    for (const char *provider : {"GMail", "Yahoo"}) {
        CSMTPDetails account;
        account.channelName = QLatin1StringView(provider);
        account.user = user;
        account.password = password;
        desktop.sendMessage(window, hostmsg::WM_COPYDATA, 0, 0, MailProtocol::AccountCode,
                            MailPayload::encodeAccount(account));
    }
    std::map<QString, double> sentAt;
    for (int i = 0; i < Backlog; ++i) {
        CMailDetails email;
        email.channelName = i % 2 ? QStringLiteral("GMail") : QStringLiteral("Yahoo");
        email.to = QStringLiteral("ops@plant.example");
        email.subject = QStringLiteral("alarm %1").arg(i);
        email.body = QStringLiteral("Tank %1 level low").arg(i);
        sentAt[email.subject] = double(QDateTime::currentMSecsSinceEpoch());
        if (desktop.sendMessage(window, hostmsg::WM_COPYDATA, 0, 0, MailProtocol::EmailCode,
                                MailPayload::encodeEmail(email)) != 1) {
            std::fprintf(stderr, "email %d refused\n", i);
            return 1;
        }
    }
    const double firstSend = sentAt.begin()->second;
    if (!waitFor([&] { return sink.receivedCount() >= Backlog; }, std::chrono::minutes(5))) {
        std::fprintf(stderr, "only %d of %d emails arrived\n", sink.receivedCount(), Backlog);
        return 1;
    }
    std::vector<double> inQueue;
    double lastReceipt = 0;
    for (const QJsonObject &m : sink.received()) {
        const double at = m[QStringLiteral("receivedAt")].toDouble();
        lastReceipt = std::max(lastReceipt, at);
        inQueue.push_back(at - sentAt[m[QStringLiteral("subject")].toString()]);
    }
    desktop.sendMessage(window, MailProtocol::CloseWhenDrainedMessage);
    waitFor([&] { return relay.state() == QProcess::NotRunning; }, std::chrono::seconds(30));
    if (relay.state() != QProcess::NotRunning)
        relay.kill();
    relay.waitForFinished(5000);

    const double seconds = (lastReceipt - firstSend) / 1000.0;
    const double rate = double(Backlog) / seconds;
    std::printf("backlog %d emails over both providers drained in %.1f s\n", Backlog, seconds);
    std::printf("time in queue p50 %.0f ms, p99 %.0f ms\n", percentile(inQueue, 0.5),
                percentile(inQueue, 0.99));
    std::printf("drained emails per second\n%.1f\n", rate);
    return 0;
}
