// "hostrun driver" against the real driver program and a simulated device:
// the host runtime's whole session, as a user runs it from a shell.
#include "cmodchnl.h"
#include "datatypes.h"
#include "desktop.h"
#include "projectfile.h"
#include "simulator.h"
#include "tagaddress.h"
#include "testenvironment.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include <signal.h>

using namespace std::chrono_literals;

namespace {

const QString DriverTitle = QStringLiteral("Orvala Modbus Driver (Beta)");
const QString Level = QStringLiteral("Chnl1.Dev1.Level");       // Word, holding register 0
const QString Flow = QStringLiteral("Chnl1.Dev1.Flow");         // Float, holding registers 1-2
const QString Total = QStringLiteral("Chnl1.Dev1.Total");       // DWord, holding registers 3-4
const QString Pump = QStringLiteral("Chnl1.Dev1.Pump");         // Boolean, coil 0
const QString Setpoint = QStringLiteral("Chnl1.Dev1.Setpoint"); // Word, holding register 9

// Long enough for a sanitized build on a busy machine; only reached when
// something is broken.
constexpr auto Patience = 60s;

bool processExists(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno != ESRCH);
}

class HostrunDriverTest : public ::testing::Test
{
protected:
    HostrunDriverTest()
    {
        EXPECT_NE(sim.start(), 0) << sim.errorString();
        EXPECT_TRUE(desktop.open()) << desktop.errorString().toStdString();
        sim.setHoldingRegister(1, 0, 123);
        sim.setHoldingRegister(1, 1, 0x0000); // Float 1.5, the first word the low one
        sim.setHoldingRegister(1, 2, 0x3FC0);
        sim.setHoldingRegister(1, 3, 0x5678); // DWord 305419896, likewise
        sim.setHoldingRegister(1, 4, 0x1234);
        sim.setCoil(1, 0, true);
        sim.setHoldingRegister(1, 9, 7);
        saveProjectAsMostRecent();
    }

    ~HostrunDriverTest() override
    {
        // Whatever a failed test left running is ended by its process id.
        for (QProcess *process : {&hostrun, &ownDriver}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(10000);
            }
        }
        if (processExists(launchedDriverPid))
            ::kill(pid_t(launchedDriverPid), SIGKILL);
    }

    // One channel on the simulator with the tags above, saved and made the
    // driver's most recent project, which OPEN_LAST runs.
    void saveProjectAsMostRecent()
    {
        auto channel = std::make_shared<CModTCPChnl>();
        channel->name = QStringLiteral("Chnl1");
        channel->IpAddress = {127, 0, 0, 1};
        channel->PortNumber = sim.port();
        auto device = std::make_shared<CModTCPDev>();
        device->name = QStringLiteral("Dev1");
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
        addTag(QStringLiteral("Flow"), QStringLiteral("400002"), DataTypeCode::Float);
        addTag(QStringLiteral("Total"), QStringLiteral("400004"), DataTypeCode::DWord);
        addTag(QStringLiteral("Pump"), QStringLiteral("000001"), DataTypeCode::Boolean);
        addTag(QStringLiteral("Setpoint"), QStringLiteral("400010"), DataTypeCode::Word);
        channel->devices.push_back(std::move(device));

        const QString path = testsupport::tempRoot() + QStringLiteral("/plant.drx");
        const ProjectFile::Saved saved = ProjectFile::save(path, {channel});
        ASSERT_EQ(saved.error, ProjectFile::Error::None) << saved.message.toStdString();
        QSettings settings(QStringLiteral("Quenlor"), QStringLiteral("Orvala Modbus Driver"));
        settings.setValue(QStringLiteral("Recent File List/File1"), path);
        settings.sync();
    }

    static QProcessEnvironment unattended()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // Nobody is at the screen: the driver's questions are answered Yes.
        environment.insert(QStringLiteral("ORVALA_UNATTENDED"), QStringLiteral("yes"));
        return environment;
    }

    void startHostrun(const QStringList &arguments)
    {
        hostrun.setProcessEnvironment(unattended());
        hostrun.start(testsupport::builtProgram(QStringLiteral("hostrun/hostrun")),
                      QStringList{QStringLiteral("driver")} + arguments);
        ASSERT_TRUE(hostrun.waitForStarted(10000)) << hostrun.errorString().toStdString();
    }

    // Reads hostrun's output until `enough` holds for the lines read so far,
    // hostrun ends, or patience runs out. True when `enough` held.
    bool readUntil(const std::function<bool(const QStringList &)> &enough)
    {
        const QDeadlineTimer deadline(Patience);
        while (!enough(lines)) {
            if (deadline.hasExpired())
                return false;
            if (!hostrun.canReadLine() && hostrun.state() == QProcess::NotRunning) {
                collectOutput();
                return enough(lines);
            }
            hostrun.waitForReadyRead(100);
            collectOutput();
        }
        return true;
    }

    bool readLine(const QString &wanted)
    {
        return readUntil([&wanted](const QStringList &read) { return read.contains(wanted); });
    }

    void collectOutput()
    {
        while (hostrun.canReadLine())
            lines.append(QString::fromUtf8(hostrun.readLine()).chopped(1));
        errors += QString::fromUtf8(hostrun.readAllStandardError());
        if (launchedDriverPid == 0) {
            static const QRegularExpression started(QStringLiteral("OPEN_LAST \\(pid (\\d+)\\)"));
            if (const QRegularExpressionMatch match = started.match(errors); match.hasMatch())
                launchedDriverPid = match.captured(1).toLongLong();
        }
    }

    // hostrun's exit status, or -1 when it did not end normally in time.
    int waitForHostrunExit()
    {
        if (!hostrun.waitForFinished(int(std::chrono::milliseconds(Patience).count())))
            return -1;
        collectOutput();
        return hostrun.exitStatus() == QProcess::NormalExit ? hostrun.exitCode() : -1;
    }

    // The driver hostrun launched has closed at its stop request (it was not
    // terminated) and its window is gone.
    void expectLaunchedDriverGone()
    {
        EXPECT_TRUE(errors.contains(QStringLiteral("asked the driver to stop"))) << diagnostics();
        EXPECT_FALSE(errors.contains(QStringLiteral("terminating it"))) << diagnostics();
        EXPECT_NE(launchedDriverPid, 0) << "hostrun names the driver it starts: " << diagnostics();
        EXPECT_FALSE(processExists(launchedDriverPid)) << diagnostics();
        EXPECT_EQ(desktop.findWindow(DriverTitle), 0u);
    }

    std::string diagnostics() const
    {
        return (QStringLiteral("\nstdout:\n") + lines.join(QLatin1Char('\n')) +
                QStringLiteral("\nstderr:\n") + errors)
            .toStdString();
    }

    mbsim::Simulator sim{{.units = {1}}};
    hostmsg::Desktop desktop;
    QProcess hostrun;
    QProcess ownDriver; // a driver the test starts itself
    QStringList lines;
    QString errors;
    qint64 launchedDriverPid = 0;
};

TEST_F(HostrunDriverTest, PrintsValuesOfEveryTypeAsTextAndStopsTheDriverOnSigterm)
{
    startHostrun({QStringLiteral("--items"), QStringList{Level, Flow, Total, Pump}.join(u',')});
    const QStringList expected = {
        QStringLiteral("1 Chnl1.Dev1.Level Word 123 ok"),
        QStringLiteral("2 Chnl1.Dev1.Flow Float 1.5 ok"),
        QStringLiteral("3 Chnl1.Dev1.Total DWord 305419896 ok"),
        QStringLiteral("4 Chnl1.Dev1.Pump Boolean 1 ok"),
    };
    ASSERT_TRUE(readUntil([&expected](const QStringList &read) {
        return std::all_of(expected.begin(), expected.end(),
                           [&read](const QString &line) { return read.contains(line); });
    })) << diagnostics();
    // The values do not change, so a tag may be delivered twice (its first
    // read and the full refresh) but never with anything else.
    for (const QString &line : std::as_const(lines))
        EXPECT_TRUE(expected.contains(line)) << line.toStdString();

    hostrun.terminate(); // SIGTERM, as a service manager stops it
    EXPECT_EQ(waitForHostrunExit(), 0) << diagnostics();
    expectLaunchedDriverGone();
}

TEST_F(HostrunDriverTest, WritesFromTheCommandLineAndStandardInputReachTheDeviceAndComeBackAsJson)
{
    startHostrun({QStringLiteral("--program"),
                  testsupport::builtProgram(QStringLiteral("tagpoller/tagpoller")),
                  QStringLiteral("--items"), QStringList{Setpoint, Pump, Flow}.join(u','),
                  QStringLiteral("--json"), QStringLiteral("--write"),
                  Setpoint + QStringLiteral("=4321"), QStringLiteral("--stdin-writes")});

    // The write goes out once values arrive, and the next read of the
    // register brings it back.
    ASSERT_TRUE(readLine(QStringLiteral(
        R"({"id":1,"item":"Chnl1.Dev1.Setpoint","type":"Word","value":4321,"error":false})")))
        << diagnostics();
    EXPECT_EQ(sim.holdingRegister(1, 9), 4321);
    ASSERT_TRUE(readLine(QStringLiteral(
        R"({"id":2,"item":"Chnl1.Dev1.Pump","type":"Boolean","value":true,"error":false})")))
        << diagnostics();
    EXPECT_TRUE(lines.contains(QStringLiteral(
        R"({"id":3,"item":"Chnl1.Dev1.Flow","type":"Float","value":1.5,"error":false})")))
        << "read in the same frame as the set point: " << diagnostics();

    // Every item has delivered a value by now, so writes without a type take
    // the type of that value ("-2.25" is no Long). A line naming an item that
    // was not requested is reported and the session goes on.
    hostrun.write("Chnl1.Dev1.Level=1\n");
    hostrun.write("Chnl1.Dev1.Pump=off\n");
    hostrun.write("Chnl1.Dev1.Flow=-2.25\n");
    ASSERT_TRUE(readLine(QStringLiteral(
        R"({"id":2,"item":"Chnl1.Dev1.Pump","type":"Boolean","value":false,"error":false})")))
        << diagnostics();
    ASSERT_TRUE(readLine(QStringLiteral(
        R"({"id":3,"item":"Chnl1.Dev1.Flow","type":"Float","value":-2.25,"error":false})")))
        << diagnostics();
    EXPECT_FALSE(sim.coil(1, 0));
    EXPECT_EQ(sim.holdingRegister(1, 1), 0x0000); // -2.25, the first word the low one
    EXPECT_EQ(sim.holdingRegister(1, 2), 0xC010);

    // The end of standard input ends the session; the refused line makes it
    // a failure.
    hostrun.closeWriteChannel();
    EXPECT_EQ(waitForHostrunExit(), 1) << diagnostics();
    EXPECT_TRUE(errors.contains(
        QStringLiteral("cannot write Chnl1.Dev1.Level: it is not one of the requested items")))
        << diagnostics();
    for (const QString &line : std::as_const(lines))
        EXPECT_TRUE(line.startsWith(u'{') && line.endsWith(u'}')) << line.toStdString();
    expectLaunchedDriverGone();
}

TEST_F(HostrunDriverTest, ItemsTheDriverCannotFindFailTheSessionAndStopTheDriver)
{
    startHostrun({QStringLiteral("--items"),
                  QStringLiteral("Chnl1.Dev1.Missing,Chnl9.Dev1.Level,Chnl1.Dev1.level")});
    EXPECT_EQ(waitForHostrunExit(), 1) << diagnostics();
    EXPECT_TRUE(lines.isEmpty()) << diagnostics();
    EXPECT_TRUE(
        errors.contains(QStringLiteral("the driver found none of the 3 requested items (510)")))
        << diagnostics();
    expectLaunchedDriverGone();
}

TEST_F(HostrunDriverTest, ARunningDriverIsUsedAndStoppedOnlyWhenAsked)
{
    ownDriver.setProcessEnvironment(unattended());
    ownDriver.setProcessChannelMode(QProcess::ForwardedChannels);
    ownDriver.start(testsupport::builtProgram(QStringLiteral("tagpoller/tagpoller")),
                    {QStringLiteral("OPEN_LAST")});
    ASSERT_TRUE(ownDriver.waitForStarted(10000));
    const QDeadlineTimer deadline(Patience);
    hostmsg::Handle driverWindow = 0;
    while ((driverWindow = desktop.findWindow(DriverTitle)) == 0 && !deadline.hasExpired())
        ownDriver.waitForFinished(50);
    ASSERT_NE(driverWindow, 0u);

    startHostrun(
        {QStringLiteral("--items"), Level, QStringLiteral("--count"), QStringLiteral("1")});
    EXPECT_EQ(waitForHostrunExit(), 0) << diagnostics();
    EXPECT_EQ(lines, QStringList{QStringLiteral("1 Chnl1.Dev1.Level Word 123 ok")})
        << diagnostics();
    EXPECT_FALSE(errors.contains(QStringLiteral("OPEN_LAST")))
        << "nothing launched: " << diagnostics();
    EXPECT_FALSE(errors.contains(QStringLiteral("asked the driver to stop"))) << diagnostics();
    EXPECT_EQ(ownDriver.state(), QProcess::Running);
    EXPECT_EQ(desktop.findWindow(DriverTitle), driverWindow);

    lines.clear();
    errors.clear();
    startHostrun({QStringLiteral("--items"), Level + u',' + Total, QStringLiteral("--count"),
                  QStringLiteral("1"), QStringLiteral("--stop")});
    EXPECT_EQ(waitForHostrunExit(), 0) << diagnostics();
    ASSERT_EQ(lines.size(), 1) << diagnostics();
    EXPECT_TRUE(lines.first() == QStringLiteral("1 Chnl1.Dev1.Level Word 123 ok") ||
                lines.first() == QStringLiteral("2 Chnl1.Dev1.Total DWord 305419896 ok"))
        << diagnostics();
    // hostrun waited for the window to go; the process follows.
    EXPECT_EQ(desktop.findWindow(DriverTitle), 0u);
    EXPECT_TRUE(ownDriver.waitForFinished(int(std::chrono::milliseconds(Patience).count())));
    EXPECT_EQ(ownDriver.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ownDriver.exitCode(), 0);
}

TEST_F(HostrunDriverTest, BadCommandLinesSayWhatIsWrongAndExitWith2)
{
    const QString emptyList = testsupport::tempRoot() + QStringLiteral("/no-items.txt");
    QFile file(emptyList);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("# nothing but a comment\n\n");
    file.close();

    const struct
    {
        QStringList arguments;
        const char *message;
    } rows[] = {
        {{}, "\"driver\" needs --items or --items-file"},
        {{QStringLiteral("--items"), QStringLiteral("A,,B")},
         "--items: \"A,,B\" holds an empty name"},
        {{QStringLiteral("--items"), QStringLiteral("A"), QStringLiteral("B")},
         "\"driver\" takes no argument \"B\""},
        {{QStringLiteral("--items"), QStringLiteral("A"), QStringLiteral("--write"),
          QStringLiteral("A")},
         "--write: \"A\" is not NAME=VALUE[:TYPE]"},
        {{QStringLiteral("--items"), QStringLiteral("A"), QStringLiteral("--write"),
          QStringLiteral("A=70000:Word")},
         "--write: A: \"70000\" is not a Word (0 to 65535)"},
        {{QStringLiteral("--items"), QStringLiteral("A"), QStringLiteral("--write"),
          QStringLiteral("A=1:Quad")},
         "unknown type \"Quad\""},
        {{QStringLiteral("--items"), QStringLiteral("A"), QStringLiteral("--write"),
          QStringLiteral("B=1")},
         "--write: B is not one of the requested items"},
        {{QStringLiteral("--items"), QStringLiteral("A"), QStringLiteral("--duration"),
          QStringLiteral("0")},
         "--duration: \"0\" is not a number of seconds"},
        {{QStringLiteral("--items"), QStringLiteral("A"), QStringLiteral("--timeout"),
          QStringLiteral("soon")},
         "--timeout: \"soon\" is not a number of seconds"},
        {{QStringLiteral("--items"), QStringLiteral("A"), QStringLiteral("--count"),
          QStringLiteral("-1")},
         "--count: \"-1\" is not a number"},
        {{QStringLiteral("--items"), QStringLiteral("A"), QStringLiteral("--json=yes")},
         "--json takes no value"},
        {{QStringLiteral("--items-file"), emptyList}, "names no items"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.arguments.join(u' ').toStdString());
        lines.clear();
        errors.clear();
        startHostrun(row.arguments);
        EXPECT_EQ(waitForHostrunExit(), 2) << diagnostics();
        EXPECT_TRUE(errors.contains(QLatin1StringView(row.message))) << diagnostics();
        EXPECT_TRUE(lines.isEmpty()) << diagnostics();
        EXPECT_EQ(launchedDriverPid, 0) << "no driver is started for a bad command line";
    }
    EXPECT_EQ(desktop.findWindow(DriverTitle), 0u);
}

} // namespace
