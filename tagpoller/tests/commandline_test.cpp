// The driver's command line, as a process: --help and --version answer
// without a display, unknown options are refused before any window opens.
#include "suiteversion.h"
#include "testenvironment.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

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

TEST(DriverCommandLine, RefusesUnknownOptions)
{
    const Finished refused = runDriver({QStringLiteral("--no-such-option")}, true);
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_TRUE(refused.err.contains("no-such-option")) << refused.err.constData();
}

} // namespace
