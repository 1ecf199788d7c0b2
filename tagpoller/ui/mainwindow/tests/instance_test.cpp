// The real program, started twice: the second copy finds the first one's
// window, says so, asks it to come to the front, and ends.
#include "desktop.h"
#include "mainwindow.h"
#include "testenvironment.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

void startDriver(QProcess &process)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORVALA_UNATTENDED"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                       QStringLiteral("tagpoller.ui.info=true"));
    process.setProcessEnvironment(environment);
    process.start(testsupport::builtProgram(QStringLiteral("tagpoller/tagpoller")), {});
    ASSERT_TRUE(process.waitForStarted(10000)) << process.errorString().toStdString();
}

TEST(SingleInstanceTest, SecondCopyRaisesTheFirstAndEnds)
{
    hostmsg::Desktop desktop;
    QProcess first;
    startDriver(first);
    QDeadlineTimer registered(30000);
    while (!desktop.findWindow(MainWindow::Title) && !registered.hasExpired())
        QThread::msleep(50);
    ASSERT_NE(desktop.findWindow(MainWindow::Title), 0u) << "the first copy shows its window";

    QProcess second;
    startDriver(second);
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardError().contains(
        "message: Only one instance of this program can run..."));

    QDeadlineTimer raised(10000);
    QByteArray firstOutput;
    while (!firstOutput.contains("raised at the request of another instance") &&
           !raised.hasExpired()) {
        first.waitForReadyRead(100);
        firstOutput += first.readAllStandardError();
    }
    EXPECT_TRUE(firstOutput.contains("raised at the request of another instance"))
        << firstOutput.toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    if (!first.waitForFinished(10000))
        first.kill();
}

TEST(TerminationTest, SigtermClosesTheDriverAndKeepsItsMessages)
{
    const QString messages =
        QDir(qEnvironmentVariable("XDG_DATA_HOME"))
            .filePath(QStringLiteral("Quenlor/Orvala Modbus Driver/ModErrMsgs.dat"));
    QFile::remove(messages);
    hostmsg::Desktop desktop;
    QProcess driver;
    startDriver(driver);
    QDeadlineTimer registered(30000);
    while (!desktop.findWindow(MainWindow::Title) && !registered.hasExpired())
        QThread::msleep(50);
    ASSERT_NE(desktop.findWindow(MainWindow::Title), 0u);

    ASSERT_EQ(::kill(pid_t(driver.processId()), SIGTERM), 0);
    ASSERT_TRUE(driver.waitForFinished(30000));
    EXPECT_EQ(driver.exitStatus(), QProcess::NormalExit) << "left through its event loop";
    EXPECT_EQ(driver.exitCode(), 0);
    EXPECT_TRUE(driver.readAllStandardError().contains("termination signal 15 received: closing"));
    EXPECT_TRUE(QFileInfo::exists(messages)) << "the event messages were saved";
    EXPECT_EQ(desktop.findWindow(MainWindow::Title), 0u);
}

} // namespace
