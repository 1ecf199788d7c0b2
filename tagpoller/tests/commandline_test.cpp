// The driver's command line, as a process: --help and --version answer
// without a display; options it does not know are passed over.
#include "desktop.h"
#include "suiteversion.h"
#include "testenvironment.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

namespace {

// The title the host runtime finds the driver by.
const QString DriverTitle = QStringLiteral("Orvala Modbus Driver (Beta)");

struct Finished
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Finished runDriver(const QStringList &arguments, bool offscreen = false)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (offscreen)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    else
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    QProcess driver;
    driver.setProcessEnvironment(environment);
    driver.start(testsupport::builtProgram(QStringLiteral("tagpoller/tagpoller")), arguments);
    EXPECT_TRUE(driver.waitForFinished(30000));
    return {driver.exitCode(), driver.readAllStandardOutput(), driver.readAllStandardError()};
}

TEST(DriverCommandLine, AnswersVersionAndHelpWithoutADisplay)
{
    const Finished version = runDriver({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QByteArray("Orvala Modbus Driver ") + SuiteVersion + '\n');

    const Finished help = runDriver({QStringLiteral("OPEN_LAST"), QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("OPEN_LAST")) << help.out.constData();
}

TEST(DriverCommandLine, PassesOverOptionsItDoesNotKnow)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("ORVALA_UNATTENDED"), QStringLiteral("1"));
    QProcess driver;
    driver.setProcessEnvironment(environment);
    driver.start(testsupport::builtProgram(QStringLiteral("tagpoller/tagpoller")),
                 {QStringLiteral("--no-such-option")});
    ASSERT_TRUE(driver.waitForStarted(10000));

    hostmsg::Desktop desktop;
    QDeadlineTimer shown(30000);
    while (!desktop.findWindow(DriverTitle) && !shown.hasExpired() &&
           driver.state() == QProcess::Running)
        QThread::msleep(50);
    EXPECT_NE(desktop.findWindow(DriverTitle), 0u)
        << "the driver starts: " << driver.readAllStandardError().constData();

    driver.terminate();
    if (!driver.waitForFinished(10000))
        driver.kill();
}

} // namespace
