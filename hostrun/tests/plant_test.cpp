// "hostrun plant" with every real program and peer: the simulated device, the
// driver, the SQL bridge on a MariaDB server of the test's own, and the email
// relay sending through stunnel to an SMTP sink behind a throwaway CA.
#include "cmodchnl.h"
#include "datatypes.h"
#include "desktop.h"
#include "mailpayload.h"
#include "mailpeers.h"
#include "mariadbserver.h"
#include "projectfile.h"
#include "simulator.h"
#include "sqlpayload.h"
#include "tagaddress.h"
#include "testenvironment.h"

#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>

#include <gtest/gtest.h>

#include <signal.h>

using namespace std::chrono_literals;
using mailtest::waitFor;

namespace {

const QString MailUser = QStringLiteral("plant@orvala.example");
const QString MailPassword = QStringLiteral("Mp-6b1f0e2a-plant");
const QString DbPassword = QStringLiteral("Db-93c0d7e1-plant");

class PlantTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(sim.start(), 0) << sim.errorString();
        sim.setHoldingRegister(1, 0, 100); // Level
        sim.setCoil(1, 0, true);           // Pump
        saveProjectAsMostRecent();

        ASSERT_TRUE(database.start()) << database.errorString().toStdString();
        ASSERT_TRUE(database.createDatabase(QStringLiteral("plant")));
        ASSERT_TRUE(database.execute("CREATE USER 'host'@'127.0.0.1' IDENTIFIED BY '" +
                                     DbPassword.toUtf8() +
                                     "'; GRANT INSERT ON plant.* TO 'host'@'127.0.0.1'"));

        ca = std::make_unique<mailtest::ThrowawayCa>(folder());
        ASSERT_TRUE(ca->ok());
        sink = std::make_unique<mailtest::SmtpSink>(MailUser, MailPassword);
        ASSERT_TRUE(sink->ok());
        tunnel = std::make_unique<mailtest::ServerStunnel>(*ca, mailtest::freePort(), sink->port());
        ASSERT_TRUE(tunnel->start());
        writeRelaySettings();
        writeConfig();
    }

    void TearDown() override
    {
        if (hostrun.state() != QProcess::NotRunning) {
            hostrun.kill();
            hostrun.waitForFinished(10000);
        }
    }

    static QString folder() { return testsupport::tempRoot(); }

    void saveProjectAsMostRecent()
    {
        auto channel = std::make_shared<CModTCPChnl>();
        channel->name = QStringLiteral("Plant");
        channel->IpAddress = {127, 0, 0, 1};
        channel->PortNumber = sim.port();
        auto device = std::make_shared<CModTCPDev>();
        device->name = QStringLiteral("Boiler");
        const auto addTag = [&device](const QString &name, const QString &address, int type) {
            auto tag = std::make_shared<CModTag>();
            tag->TagName = name;
            tag->TagAddress = address;
            tag->AddressNumber = AddressText::leadingNumber(address);
            tag->DataType = type;
            tag->ClientAccess = ClientAccessCode::ReadWrite;
            device->tags.append(std::move(tag));
        };
        addTag(QStringLiteral("Level"), QStringLiteral("400001"), DataTypeCode::Word);
        addTag(QStringLiteral("Pump"), QStringLiteral("000001"), DataTypeCode::Boolean);
        channel->devices.push_back(std::move(device));
        const QString path = folder() + QStringLiteral("/plant.drx");
        const ProjectFile::Saved saved = ProjectFile::save(path, {channel});
        ASSERT_EQ(saved.error, ProjectFile::Error::None) << saved.message.toStdString();
        QSettings settings(QStringLiteral("Quenlor"), QStringLiteral("Orvala Modbus Driver"));
        settings.setValue(QStringLiteral("Recent File List/File1"), path);
        settings.sync();
    }

    // Where the relay reads its proxy and SMTP settings (the test's private
    // system configuration folder).
    void writeRelaySettings()
    {
        QSettings machine(QSettings::SystemScope, QStringLiteral("Quenlor"),
                          QStringLiteral("ORVALA HMI"));
        machine.beginGroup(QStringLiteral("Run Mode/Settings"));
        machine.setValue(QStringLiteral("Stunnel_Path"), folder());
        const int gmailPort = mailtest::freePort();
        int yahooPort = mailtest::freePort();
        while (yahooPort == gmailPort)
            yahooPort = mailtest::freePort();
        machine.setValue(QStringLiteral("ProxyPortGmail"), gmailPort);
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
    }

    void writeConfig()
    {
        QFile password(folder() + QStringLiteral("/db.password"));
        ASSERT_TRUE(password.open(QIODevice::WriteOnly));
        password.write(DbPassword.toUtf8() + '\n');
        password.close();
        QFile config(configPath());
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral(R"({
  "driver": {"items": ["Plant.Boiler.Level", "Plant.Boiler.Pump"]},
  "database": {"server": "%1", "database": "plant", "user": "host",
               "passwordFile": "db.password"},
  "mail": {"accounts": [{"provider": "Gmail", "user": "%2",
                         "passwordEnv": "PLANT_MAIL_PASSWORD"}],
           "to": "operator@orvala.example"},
  "alarms": [{"item": "Plant.Boiler.Level", "hi": 150, "deadband": 5, "severity": 4}],
  "statusSeconds": 1
})")
                         .arg(database.tcpAddress(), MailUser)
                         .toUtf8());
    }

    static QString configPath() { return folder() + QStringLiteral("/plant.json"); }

    void startPlant()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("ORVALA_UNATTENDED"), QStringLiteral("yes"));
        environment.insert(QStringLiteral("PLANT_MAIL_PASSWORD"), MailPassword);
        hostrun.setProcessEnvironment(environment);
        QObject::connect(&hostrun, &QProcess::readyReadStandardOutput,
                         [this] { output += hostrun.readAllStandardOutput(); });
        QObject::connect(&hostrun, &QProcess::readyReadStandardError,
                         [this] { errors += hostrun.readAllStandardError(); });
        hostrun.start(testsupport::builtProgram(QStringLiteral("hostrun/hostrun")),
                      {QStringLiteral("plant"), configPath()});
        ASSERT_TRUE(hostrun.waitForStarted(10000));
    }

    // The latest "values received" of the status lines.
    qint64 valuesReceived() const
    {
        static const QRegularExpression status(QStringLiteral("status: (\\d+) values received"));
        qint64 latest = 0;
        auto it = status.globalMatch(QString::fromUtf8(output));
        while (it.hasNext())
            latest = it.next().captured(1).toLongLong();
        return latest;
    }

    // Sets the level and waits until the driver has delivered it to the session.
    void setLevel(quint16 level)
    {
        const qint64 before = valuesReceived();
        sim.setHoldingRegister(1, 0, level);
        EXPECT_TRUE(waitFor([&] { return valuesReceived() > before; })) << diagnostics();
    }

    QList<QStringList> rows(const QByteArray &statement)
    {
        return database.query(statement, QStringLiteral("plant")).value_or(QList<QStringList>{});
    }

    std::string diagnostics() const
    {
        return ("\nstdout:\n" + output + "\nstderr:\n" + errors).toStdString();
    }

    mbsim::Simulator sim{{.units = {1}}};
    MariaDbServer database{testsupport::tempRoot() + QStringLiteral("/mariadb")};
    std::unique_ptr<mailtest::ThrowawayCa> ca;
    std::unique_ptr<mailtest::SmtpSink> sink;
    std::unique_ptr<mailtest::ServerStunnel> tunnel;
    QProcess hostrun;
    QByteArray output;
    QByteArray errors;
};

} // namespace

TEST_F(PlantTest, ValuesBecomeRowsOneCrossingOneAlarmAndEmailAndADatabaseRestartLosesNothing)
{
    startPlant();
    const QByteArray levelRows =
        "SELECT groupname, tagval FROM tagvalues WHERE tagname = 'Level' ORDER BY id";
    ASSERT_TRUE(waitFor([&] { return !rows(levelRows).isEmpty(); })) << diagnostics();
    EXPECT_EQ(rows(levelRows).first(),
              (QStringList{QStringLiteral("Plant.Boiler"), QStringLiteral("100")}));
    ASSERT_TRUE(waitFor([&] {
        return rows("SELECT tagval FROM tagvalues WHERE tagname = 'Pump'") ==
               QList<QStringList>{{QStringLiteral("1")}};
    })) << diagnostics();

    // Past the Hi limit, and about it within the deadband: one alarm, one email.
    setLevel(160);
    setLevel(148);
    setLevel(152);
    ASSERT_TRUE(waitFor([&] { return sink->receivedCount() >= 1; })) << diagnostics();
    const QByteArray alarmRows =
        "SELECT groupname, tagname, tagval, almtype, event, severity FROM alarms ORDER BY id";
    ASSERT_TRUE(waitFor([&] { return !rows(alarmRows).isEmpty(); })) << diagnostics();
    EXPECT_EQ(rows(alarmRows),
              (QList<QStringList>{{QStringLiteral("Plant.Boiler"), QStringLiteral("Level"),
                                   QStringLiteral("160"), QStringLiteral("Hi"),
                                   QStringLiteral("Active"), QStringLiteral("4")}}));

    // The database goes away and comes back; the values meanwhile are kept.
    database.stop();
    setLevel(151);
    setLevel(153);
    ASSERT_TRUE(database.restart()) << database.errorString().toStdString();
    setLevel(144); // below the limit minus the deadband
    ASSERT_TRUE(waitFor([&] { return rows(alarmRows).size() >= 2; }, 90s)) << diagnostics();

    ::kill(pid_t(hostrun.processId()), SIGTERM);
    ASSERT_TRUE(hostrun.waitForFinished(180000)) << diagnostics();
    output += hostrun.readAllStandardOutput();
    errors += hostrun.readAllStandardError();
    EXPECT_EQ(hostrun.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(hostrun.exitCode(), 0) << diagnostics();

    QStringList levels;
    for (const QStringList &row : rows(levelRows))
        levels << row.value(1);
    EXPECT_EQ(levels,
              QStringList({QStringLiteral("100"), QStringLiteral("160"), QStringLiteral("148"),
                           QStringLiteral("152"), QStringLiteral("151"), QStringLiteral("153"),
                           QStringLiteral("144")}))
        << diagnostics();
    const QList<QStringList> alarms = rows(alarmRows);
    ASSERT_EQ(alarms.size(), 2);
    EXPECT_EQ(alarms[1], (QStringList{QStringLiteral("Plant.Boiler"), QStringLiteral("Level"),
                                      QStringLiteral("144"), QStringLiteral("Hi"),
                                      QStringLiteral("Inactive"), QStringLiteral("4")}));
    ASSERT_EQ(sink->receivedCount(), 1);
    EXPECT_EQ(sink->received().first().value(QStringLiteral("subject")).toString(),
              QStringLiteral("Hi alarm: Plant.Boiler.Level = 160"));
    EXPECT_TRUE(output.contains("alarm Active Hi Plant.Boiler.Level = 160 (limit 150)"))
        << diagnostics();
    EXPECT_TRUE(output.contains("alarm Inactive Hi Plant.Boiler.Level = 144 (limit 150)"))
        << diagnostics();

    // Everything was closed in order, and no secret was printed.
    hostmsg::Desktop desktop;
    ASSERT_TRUE(desktop.open());
    EXPECT_EQ(desktop.findWindow(QString::fromLatin1(SqlPayload::WindowTitle)), 0);
    EXPECT_EQ(desktop.findWindow(QString::fromLatin1(MailProtocol::WindowTitle)), 0);
    EXPECT_FALSE(mailtest::contains(output + errors, MailPassword));
    EXPECT_FALSE(mailtest::contains(output + errors, DbPassword));
}

TEST_F(PlantTest, AConfigWithMistakesStartsNothingAndSaysWhatIsWrong)
{
    QFile config(configPath());
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(R"({"driver": {"items": ["Plant.Boiler.Level"], "colour": 1},
      "database": {"server": "x", "database": "plant", "user": "host"},
      "mail": {"accounts": [], "to": "a@b.example"},
      "alarms": [{"item": "Plant.Boiler.Flow", "hi": 1}]})");
    config.close();
    startPlant();
    ASSERT_TRUE(hostrun.waitForFinished(60000));
    errors += hostrun.readAllStandardError();
    EXPECT_EQ(hostrun.exitCode(), 2);
    const QString prefix = configPath() + QStringLiteral(": ");
    EXPECT_EQ(QString::fromUtf8(errors).split(u'\n', Qt::SkipEmptyParts),
              QStringList({prefix + QStringLiteral("driver.colour: unknown key"),
                           prefix + QStringLiteral("database.passwordFile: missing password "
                                                   "source: give passwordFile or passwordEnv"),
                           prefix + QStringLiteral("alarms[0].item: unknown item path "
                                                   "Plant.Boiler.Flow: not one of driver.items")}));
    hostmsg::Desktop desktop;
    ASSERT_TRUE(desktop.open());
    EXPECT_EQ(desktop.findWindow(QString::fromLatin1(SqlPayload::WindowTitle)), 0);
}

namespace {

// Stand-ins for the bridge and the relay, in the test process: the bridge
// refuses the first tag values a few times, as a bridge with full buffers
// does, and both note the close request.
struct RefusingPeers
{
    explicit RefusingPeers(hostmsg::Desktop &desktop, int refusals) : refusalsLeft(refusals)
    {
        bridge = desktop.createWindow(QString::fromLatin1(SqlPayload::WindowTitle));
        relay = desktop.createWindow(QString::fromLatin1(MailProtocol::WindowTitle));
        bridge->setHandler([this](const hostmsg::Message &message) -> qint64 {
            if (message.msg == SqlPayload::CloseWhenDrainedMessage) {
                bridgeClosing = true;
                return 0;
            }
            if (message.msg != hostmsg::WM_COPYDATA)
                return 0;
            if (message.dwData == SqlPayload::TagValuesCode) {
                if (refusalsLeft > 0) {
                    --refusalsLeft;
                    return 0;
                }
                SqlTagList tags;
                if (!SqlPayload::decodeTagValues(message.payload, tags).ok())
                    return 0;
                for (const auto &tag : tags)
                    if (tag->tagName == QStringLiteral("Level"))
                        levels << QString::number(tag->numericValue);
            }
            return 1;
        });
        relay->setHandler([this](const hostmsg::Message &message) -> qint64 {
            if (message.msg == MailProtocol::CloseWhenDrainedMessage)
                relayClosing = true;
            return message.msg == hostmsg::WM_COPYDATA ? 1 : 0;
        });
    }

    // The windows go once asked to close, as the programs' would; never from
    // inside their own handlers.
    void closeWhenAsked()
    {
        if (bridgeClosing)
            bridge.reset();
        if (relayClosing)
            relay.reset();
    }

    std::unique_ptr<hostmsg::Window> bridge;
    std::unique_ptr<hostmsg::Window> relay;
    int refusalsLeft = 0;
    QStringList levels;
    bool bridgeClosing = false;
    bool relayClosing = false;
};

} // namespace

TEST_F(PlantTest, RefusedRowsAreOfferedAgainInTheirOrderAndCounted)
{
    hostmsg::Desktop desktop;
    ASSERT_TRUE(desktop.open());
    RefusingPeers peers(desktop, 4);
    startPlant();
    ASSERT_TRUE(waitFor([&] { return valuesReceived() > 0; })) << diagnostics();
    // These come while the first rows still wait for the bridge.
    sim.setHoldingRegister(1, 0, 120);
    ASSERT_TRUE(waitFor([&] { return valuesReceived() >= 3; })) << diagnostics();
    sim.setHoldingRegister(1, 0, 130);
    ASSERT_TRUE(waitFor([&] { return peers.levels.size() >= 3; })) << diagnostics();
    EXPECT_EQ(peers.levels,
              QStringList({QStringLiteral("100"), QStringLiteral("120"), QStringLiteral("130")}));
    EXPECT_EQ(peers.refusalsLeft, 0);

    ::kill(pid_t(hostrun.processId()), SIGTERM);
    ASSERT_TRUE(waitFor([&] {
        peers.closeWhenAsked();
        return hostrun.state() == QProcess::NotRunning;
    })) << diagnostics();
    EXPECT_EQ(hostrun.exitCode(), 0) << diagnostics();
    EXPECT_TRUE(peers.bridgeClosing);
    EXPECT_TRUE(peers.relayClosing);
    EXPECT_TRUE(output.contains(", 4 refused and retried")) << diagnostics();
    // The first delivery holds one or both items, as the driver's timing has it.
    EXPECT_TRUE(QString::fromUtf8(errors).contains(QRegularExpression(
        QStringLiteral("sqlbridge refused [12] tag rows? \\(answer 0\\); retrying"))))
        << diagnostics();
    EXPECT_TRUE(errors.contains("sqlbridge takes payloads again")) << diagnostics();
}
