// The sqlbridge program and "hostrun sql" as real processes, talking over
// hostmsg, with a MariaDB server of the test's own.
#include "bridgetesting.h"
#include "desktop.h"
#include "mariadbserver.h"
#include "sqlpayload.h"
#include "testenvironment.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

using namespace bridgetesting;

namespace {

const QString title = QString::fromLatin1(SqlPayload::WindowTitle);

std::unique_ptr<QProcess> startBridge()
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORVALA_UNATTENDED"), QStringLiteral("1"));
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start(testsupport::builtProgram(QStringLiteral("sqlbridge/sqlbridge")), {});
    return process;
}

QString unsentPath()
{
    return testsupport::tempRoot() +
           QStringLiteral("/data/Quenlor/Orvala SQL Interface/unsent.sql");
}

} // namespace

TEST(SqlBridgeProgramTest, OneInstanceServesAndEndsInOrderOnSigterm)
{
    hostmsg::Desktop desktop;
    auto first = startBridge();
    ASSERT_TRUE(first->waitForStarted(30000));
    hostmsg::Handle window = 0;
    ASSERT_TRUE(waitUntil([&] { return (window = desktop.findWindow(title)) != 0; }));

    // A second copy raises the first and ends; the first keeps the window.
    auto second = startBridge();
    ASSERT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(desktop.findWindow(title), window);

    // Garbage, truncated and wrong-class payloads: 0, and it keeps serving.
    const QByteArray tags = SqlPayload::encodeTagValues(numericTags(2));
    EXPECT_EQ(desktop.sendMessage(window, hostmsg::WM_COPYDATA, 0, 0, SqlPayload::TagValuesCode,
                                  QByteArray("\x07\x00\xff\xff", 4)),
              0);
    EXPECT_EQ(desktop.sendMessage(window, hostmsg::WM_COPYDATA, 0, 0, SqlPayload::TagValuesCode,
                                  tags.left(tags.size() - 3)),
              0);
    EXPECT_EQ(desktop.sendMessage(window, hostmsg::WM_COPYDATA, 0, 0, SqlPayload::AlarmsCode, tags),
              0);
    EXPECT_EQ(desktop.sendMessage(window, hostmsg::WM_COPYDATA, 0, 0, SqlPayload::VersionCode,
                                  SqlPayload::encodeVersion({1, 0})),
              1);
    EXPECT_EQ(
        desktop.sendMessage(window, hostmsg::WM_COPYDATA, 0, 0, SqlPayload::TagValuesCode, tags),
        1);

    // SIGTERM: no question, the buffered values kept in the unsent file.
    ::kill(pid_t(first->processId()), SIGTERM);
    ASSERT_TRUE(first->waitForFinished(60000));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
    EXPECT_EQ(desktop.findWindow(title), 0u);
    const QString errors = QString::fromUtf8(first->readAllStandardError());
    EXPECT_TRUE(errors.contains(QStringLiteral("sqlbridge.messages: Tag values refused, the "
                                               "payload is unreadable")))
        << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("2 tag values written to the unsent file")))
        << errors.toStdString();
    QFile unsent(unsentPath());
    ASSERT_TRUE(unsent.open(QIODevice::ReadOnly));
    EXPECT_EQ(unsent.readAll().count("INSERT INTO"), 2);
}

TEST(SqlBridgeProgramTest, HostrunSqlFeedsTheTablesAndClosesTheBridge)
{
    MariaDbServer server(testsupport::tempRoot() + QStringLiteral("/mariadb"));
    ASSERT_TRUE(server.start()) << server.errorString().toStdString();
    ASSERT_TRUE(server.createDatabase(QStringLiteral("plant")));
    ASSERT_TRUE(server.execute("CREATE USER 'host'@'127.0.0.1' IDENTIFIED BY 'Hx-s3cret-77'; "
                               "GRANT INSERT ON plant.* TO 'host'@'127.0.0.1'"));
    const QString passwordFile = testsupport::tempRoot() + QStringLiteral("/password");
    QFile file(passwordFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Hx-s3cret-77\n");
    file.close();

    QProcess hostrun;
    hostrun.setProcessChannelMode(QProcess::MergedChannels);
    hostrun.start(
        testsupport::builtProgram(QStringLiteral("hostrun/hostrun")),
        {QStringLiteral("sql"), QStringLiteral("--server"), server.tcpAddress(),
         QStringLiteral("--database"), QStringLiteral("plant"), QStringLiteral("--tag-table"),
         QStringLiteral("tagvalues"), QStringLiteral("--alarm-table"), QStringLiteral("alarms"),
         QStringLiteral("--user"), QStringLiteral("host"), QStringLiteral("--password-file"),
         passwordFile, QStringLiteral("--stdin"), QStringLiteral("--close")});
    ASSERT_TRUE(hostrun.waitForStarted(30000));
    hostrun.write(R"({"group":"Line1","tag":"Temp","value":21.5,"time":"2017-04-05T14:03:07Z"}
{"group":"Line1","tag":"Path","text":"C:\\data 'q'","time":1491400987}
{"kind":"alarm","group":"Line1","tag":"Temp","value":3.14159,"event":1,"type":3,"severity":7,"user":"O'Brien","comment":"ü"}
)");
    hostrun.closeWriteChannel();
    ASSERT_TRUE(hostrun.waitForFinished(120000));
    const QString output = QString::fromUtf8(hostrun.readAll());
    EXPECT_EQ(hostrun.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("version 1.0 1"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("1 tag Temp 1")));
    EXPECT_TRUE(output.contains(QStringLiteral("3 alarm Temp 1")));
    EXPECT_TRUE(output.contains(QStringLiteral("closed")));
    EXPECT_FALSE(output.contains(QStringLiteral("s3cret")));
    EXPECT_EQ(hostmsg::Desktop().findWindow(title), 0u);

    const auto rows = server.query("SELECT tagname, tagval, strtagval, tagtime FROM tagvalues "
                                   "ORDER BY id",
                                   QStringLiteral("plant"));
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 2);
    EXPECT_EQ((*rows)[0][1], QStringLiteral("21.5"));
    EXPECT_EQ((*rows)[1][2], QStringLiteral("C:\\data 'q'"));
    const auto alarmRows = server.query("SELECT tagval, almtype, event, user, comment FROM alarms",
                                        QStringLiteral("plant"));
    ASSERT_TRUE(alarmRows);
    EXPECT_EQ(*alarmRows, (QList<QStringList>{{QStringLiteral("3.142"), QStringLiteral("Hi Hi"),
                                               QStringLiteral("Change"), QStringLiteral("O'Brien"),
                                               QStringLiteral("ü")}}));

    // The password never goes on the command line.
    QProcess refused;
    refused.start(testsupport::builtProgram(QStringLiteral("hostrun/hostrun")),
                  {QStringLiteral("sql"), QStringLiteral("--password"), QStringLiteral("x")});
    ASSERT_TRUE(refused.waitForFinished(30000));
    EXPECT_EQ(refused.exitCode(), 2);
}
