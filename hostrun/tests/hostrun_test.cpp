// hostrun's message commands, run as a user would run them.
#include "desktop.h"
#include "peerprocess.h"
#include "suiteversion.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace hostmsg;
using testing_hostmsg::Finished;
using testing_hostmsg::PeerProcess;
using testing_hostmsg::runToEnd;

namespace {

const QString Hostrun = QStringLiteral("hostrun/hostrun");

Finished hostrun(const QStringList &arguments)
{
    return runToEnd(Hostrun, arguments);
}

class HostrunTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_desktop.open()) << qPrintable(m_desktop.errorString()); }

    Desktop m_desktop;
};

} // namespace

TEST_F(HostrunTest, FindPrintsTheHandleOfALiveWindow)
{
    auto window = m_desktop.createWindow(QStringLiteral("Orvala Modbus Driver (Beta)"));
    ASSERT_NE(window, nullptr);
    const Finished found =
        hostrun({QStringLiteral("find"), QStringLiteral("Orvala Modbus Driver (Beta)")});
    EXPECT_EQ(found.exitCode, 0);
    EXPECT_EQ(found.standardOutput, QByteArray::number(window->handle()) + '\n');
}

TEST_F(HostrunTest, FindOfAnUnknownTitleFails)
{
    const Finished found = hostrun({QStringLiteral("find"), QStringLiteral("nobody")});
    EXPECT_EQ(found.exitCode, 1);
    EXPECT_TRUE(found.standardOutput.isEmpty());
    EXPECT_TRUE(found.standardError.contains("no window titled \"nobody\""))
        << found.standardError.constData();
}

TEST_F(HostrunTest, SendDeliversCodeWParamAndFileAndPrintsTheAnswer)
{
    auto window = m_desktop.createWindow(QStringLiteral("driver"));
    ASSERT_NE(window, nullptr);
    Message received;
    window->setHandler([&received](const Message &message) {
        received = message;
        return qint64(-520);
    });
    const QString payloadFile = testsupport::tempRoot() + QStringLiteral("/payload.bin");
    const QByteArray payload("\x01\x00\xfe"
                             "archive",
                             10);
    QFile file(payloadFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(payload);
    file.close();

    const Finished sent =
        hostrun({QStringLiteral("send"), QStringLiteral("driver"), QStringLiteral("0x4A"),
                 QStringLiteral("--code"), QStringLiteral("200"), QStringLiteral("--wparam"),
                 QStringLiteral("0x10"), QStringLiteral("--payload"), payloadFile});
    EXPECT_EQ(sent.exitCode, 0) << sent.standardError.constData();
    EXPECT_EQ(sent.standardOutput, QByteArray("-520\n"));
    EXPECT_EQ(received.kind, Kind::Send);
    EXPECT_EQ(received.msg, WM_COPYDATA);
    EXPECT_EQ(received.wParam, 16u);
    EXPECT_EQ(received.dwData, 200u);
    EXPECT_EQ(received.payload, payload);
}

TEST_F(HostrunTest, SendToAnUnknownTitleFails)
{
    const Finished sent =
        hostrun({QStringLiteral("send"), QStringLiteral("nobody"), QStringLiteral("74")});
    EXPECT_EQ(sent.exitCode, 1);
    EXPECT_TRUE(sent.standardOutput.isEmpty());
}

TEST_F(HostrunTest, PostIsQueuedByTheListener)
{
    PeerProcess listener(Hostrun, {QStringLiteral("listen"), QStringLiteral("driver")});
    ASSERT_NE(listener.waitForWindow(m_desktop, QStringLiteral("driver")), 0u);

    const Finished posted =
        hostrun({QStringLiteral("post"), QStringLiteral("driver"), QStringLiteral("0x466"),
                 QStringLiteral("--wparam"), QStringLiteral("3")});
    EXPECT_EQ(posted.exitCode, 0) << posted.standardError.constData();
    EXPECT_EQ(listener.readLines(1),
              QStringList{QStringLiteral("post msg=0x466 wParam=3 code=0 len=0 hex=")});

    EXPECT_EQ(
        hostrun({QStringLiteral("post"), QStringLiteral("nobody"), QStringLiteral("6")}).exitCode,
        1);
}

TEST_F(HostrunTest, SendTimesOutAsAsked)
{
    PeerProcess listener(Hostrun, {QStringLiteral("listen"), QStringLiteral("slow"),
                                   QStringLiteral("--reply"), QStringLiteral("9"),
                                   QStringLiteral("--hold"), QStringLiteral("1000")});
    ASSERT_NE(listener.waitForWindow(m_desktop, QStringLiteral("slow")), 0u);
    const Finished sent =
        hostrun({QStringLiteral("send"), QStringLiteral("slow"), QStringLiteral("1024"),
                 QStringLiteral("--timeout"), QStringLiteral("200")});
    EXPECT_EQ(sent.exitCode, 0);
    EXPECT_EQ(sent.standardOutput, QByteArray("0\n"));
}

TEST_F(HostrunTest, BadUsageExitsWithStatus2AndTheUsage)
{
    const QStringList rows[] = {
        {},
        {QStringLiteral("frobnicate")},
        {QStringLiteral("find")},
        {QStringLiteral("find"), QStringLiteral("a"), QStringLiteral("b")},
        {QStringLiteral("send"), QStringLiteral("title")},
        {QStringLiteral("send"), QStringLiteral("title"), QStringLiteral("0xZZ")},
        {QStringLiteral("send"), QStringLiteral("title"), QStringLiteral("4294967296")},
        {QStringLiteral("send"), QStringLiteral("title"), QStringLiteral("-1")},
        {QStringLiteral("send"), QStringLiteral("title"), QStringLiteral("1"),
         QStringLiteral("--code")},
        {QStringLiteral("post"), QStringLiteral("title"), QStringLiteral("1"),
         QStringLiteral("--code"), QStringLiteral("5")},
        {QStringLiteral("listen"), QStringLiteral("title"), QStringLiteral("--reply"),
         QStringLiteral("x")},
    };
    for (const QStringList &arguments : rows) {
        SCOPED_TRACE(qPrintable(arguments.join(QLatin1Char(' '))));
        const Finished run = hostrun(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.standardError.contains("Usage:")) << run.standardError.constData();
    }
}

TEST_F(HostrunTest, HelpGoesToStandardOutput)
{
    const Finished run = hostrun({QStringLiteral("--help")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.standardOutput.startsWith("Usage:"));
}

TEST_F(HostrunTest, VersionIsTheSuites)
{
    const Finished run = hostrun({QStringLiteral("--version")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.standardOutput, QByteArray("hostrun ") + SuiteVersion + '\n');
}

TEST_F(HostrunTest, RefusedFolderIsReported)
{
    const QString open = testsupport::tempRoot() + QStringLiteral("/open");
    QDir().mkpath(open);
    ::chmod(QFile::encodeName(open).constData(), 0755);
    qputenv("ORVALA_RUNTIME_DIR", QFile::encodeName(open));
    const Finished run = hostrun({QStringLiteral("listen"), QStringLiteral("driver")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.standardError.contains("is open to group or others (mode 0755)"))
        << run.standardError.constData();
}
