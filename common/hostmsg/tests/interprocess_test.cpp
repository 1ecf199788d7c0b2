// Messages between this process and peers in processes of their own: hostrun
// listening, and the test peer that sends back, posts back and echoes.
#include "desktop.h"
#include "peerprocess.h"
#include "peerprotocol.h"
#include "runtimefolder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace hostmsg;
using namespace std::chrono_literals;
using testing_hostmsg::PeerProcess;

namespace {

const QString Hostrun = QStringLiteral("hostrun/hostrun");
const QString TestPeer = QStringLiteral("common/hostmsg/tests/hostmsg_peer");

bool existsInFolder(const Desktop &desktop, const QString &name)
{
    // QFileInfo::exists follows links; a dangling title link must count too.
    return QFileInfo(desktop.folder() + QLatin1Char('/') + name).isSymLink() ||
           QFileInfo::exists(desktop.folder() + QLatin1Char('/') + name);
}

template<typename Predicate> bool processEventsUntil(Predicate done)
{
    const QDeadlineTimer deadline(30s);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

class InterprocessTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_desktop.open()) << qPrintable(m_desktop.errorString()); }

    Desktop m_desktop;
};

} // namespace

TEST_F(InterprocessTest, SendDeliversPayloadAndCodeAndReturnsTheAnswer)
{
    PeerProcess listener(Hostrun, {QStringLiteral("listen"), QStringLiteral("Orvala_SQL_Interface"),
                                   QStringLiteral("--reply"), QStringLiteral("-5")});
    const Handle handle = listener.waitForWindow(m_desktop, QStringLiteral("Orvala_SQL_Interface"));
    ASSERT_NE(handle, 0u);

    const QByteArray payload("\x00\xff"
                             "AB\n\x7f",
                             6);
    EXPECT_EQ(m_desktop.sendMessage(handle, WM_COPYDATA, 7, 0, 300, payload), -5);
    EXPECT_EQ(
        listener.readLines(1),
        QStringList{QStringLiteral("send msg=0x4a wParam=7 code=300 len=6 hex=00ff41420a7f")});
    EXPECT_TRUE(listener.terminate()) << "hostrun listen stops cleanly on SIGTERM";
}

TEST_F(InterprocessTest, PostsFromOneSenderArriveInOrder)
{
    constexpr int Posts = 50;
    PeerProcess listener(Hostrun, {QStringLiteral("listen"), QStringLiteral("queue"),
                                   QStringLiteral("--count"), QString::number(Posts)});
    const Handle handle = listener.waitForWindow(m_desktop, QStringLiteral("queue"));
    ASSERT_NE(handle, 0u);

    for (int i = 1; i <= Posts; ++i)
        ASSERT_TRUE(m_desktop.postMessage(handle, WM_USER + 1, quint64(i))) << "post " << i;

    const QStringList lines = listener.readLines(Posts);
    ASSERT_EQ(lines.size(), Posts);
    for (int i = 1; i <= Posts; ++i) {
        EXPECT_EQ(lines.at(i - 1),
                  QStringLiteral("post msg=0x401 wParam=%1 code=0 len=0 hex=").arg(i));
    }
    EXPECT_TRUE(listener.waitForExit());
}

TEST_F(InterprocessTest, DeadEndpointGivesZeroAndItsStaleFilesAreRemoved)
{
    PeerProcess listener(Hostrun, {QStringLiteral("listen"), QStringLiteral("doomed")});
    const Handle handle = listener.waitForWindow(m_desktop, QStringLiteral("doomed"));
    ASSERT_NE(handle, 0u);
    listener.process().kill(); // SIGKILL: no chance to clean up
    listener.process().waitForFinished();

    const QString link = titleLinkName(QStringLiteral("doomed"));
    const QString socket = QString::fromLatin1(socketFileName(handle));
    ASSERT_TRUE(existsInFolder(m_desktop, link));
    ASSERT_TRUE(existsInFolder(m_desktop, socket));

    // The socket file is still there, but nobody listens.
    EXPECT_EQ(m_desktop.sendMessage(handle, WM_USER), 0);
    EXPECT_FALSE(m_desktop.postMessage(handle, WM_USER));

    EXPECT_EQ(m_desktop.findWindow(QStringLiteral("doomed")), 0u);
    EXPECT_FALSE(existsInFolder(m_desktop, link));
    EXPECT_FALSE(existsInFolder(m_desktop, socket));

    // And now the file is gone as well.
    EXPECT_EQ(m_desktop.sendMessage(handle, WM_USER), 0);
    EXPECT_FALSE(m_desktop.postMessage(handle, WM_USER));
}

TEST_F(InterprocessTest, ReceiverThatDoesNotAnswerInTimeGivesZero)
{
    PeerProcess listener(Hostrun, {QStringLiteral("listen"), QStringLiteral("slow"),
                                   QStringLiteral("--reply"), QStringLiteral("42"),
                                   QStringLiteral("--hold"), QStringLiteral("1000")});
    const Handle handle = listener.waitForWindow(m_desktop, QStringLiteral("slow"));
    ASSERT_NE(handle, 0u);

    EXPECT_EQ(m_desktop.sendMessage(handle, WM_USER, 1, 0, 0, {}, 300ms), 0);
    // Its late answer meets a closed connection; it must live on and answer the next send.
    EXPECT_EQ(m_desktop.sendMessage(handle, WM_USER, 2), 42);
    EXPECT_EQ(listener.readLines(2).size(), 2);
    EXPECT_TRUE(listener.terminate());
}

TEST_F(InterprocessTest, SendsCrossingBetweenTwoProcessesBothComplete)
{
    auto window = m_desktop.createWindow(QStringLiteral("host"));
    ASSERT_NE(window, nullptr);
    std::vector<qint64> pingsHere;
    window->setHandler([&](const Message &message) -> qint64 {
        if (message.msg != peer::Ping)
            return 0;
        pingsHere.push_back(message.lParam);
        return peer::answerPing(m_desktop, window->handle(), message);
    });
    PeerProcess peerProcess(TestPeer, {QStringLiteral("peer")});
    const Handle peer = peerProcess.waitForWindow(m_desktop, QStringLiteral("peer"));
    ASSERT_NE(peer, 0u);

    // The peer sends to us before it answers: 2 comes back only if we answered
    // while we waited for it.
    EXPECT_EQ(m_desktop.sendMessage(peer, peer::Ping, window->handle(), 1), 2);
    EXPECT_EQ(pingsHere, std::vector<qint64>{0});

    // Sends nested seven deep, alternating between the two processes.
    pingsHere.clear();
    EXPECT_EQ(m_desktop.sendMessage(peer, peer::Ping, window->handle(), 7), 8);
    EXPECT_EQ(pingsHere, (std::vector<qint64>{6, 4, 2, 0}));
}

TEST_F(InterprocessTest, PostsArrivingDuringASendWaitForTheEventLoop)
{
    auto window = m_desktop.createWindow(QStringLiteral("host"));
    ASSERT_NE(window, nullptr);
    std::vector<quint64> posted;
    window->setHandler([&posted](const Message &message) -> qint64 {
        if (message.kind == Kind::Post && message.msg == peer::Posted)
            posted.push_back(message.wParam);
        return 0;
    });
    PeerProcess peerProcess(TestPeer, {QStringLiteral("peer")});
    const Handle peer = peerProcess.waitForWindow(m_desktop, QStringLiteral("peer"));
    ASSERT_NE(peer, 0u);

    // The peer's posts are taken while we wait (or it could not answer 5) ...
    EXPECT_EQ(m_desktop.sendMessage(peer, peer::PostBack, window->handle(), 5), 5);
    // ... but handled only once the event loop runs, in their order.
    EXPECT_TRUE(posted.empty());
    ASSERT_TRUE(processEventsUntil([&] { return posted.size() >= 5; }));
    EXPECT_EQ(posted, (std::vector<quint64>{1, 2, 3, 4, 5}));
}

TEST_F(InterprocessTest, PayloadOfSeveralMebibytesRoundTripsIntact)
{
    QByteArray payload(6 * 1024 * 1024 + 3, Qt::Uninitialized);
    QRandomGenerator random(42);
    for (char &byte : payload)
        byte = char(random.bounded(256));

    auto window = m_desktop.createWindow(QStringLiteral("host"));
    ASSERT_NE(window, nullptr);
    Message echoed;
    window->setHandler([&echoed](const Message &message) -> qint64 {
        echoed = message;
        return 77;
    });
    PeerProcess peerProcess(TestPeer, {QStringLiteral("peer")});
    const Handle peer = peerProcess.waitForWindow(m_desktop, QStringLiteral("peer"));
    ASSERT_NE(peer, 0u);

    // Out to the peer and back to us inside the same send.
    EXPECT_EQ(m_desktop.sendMessage(peer, peer::Echo, window->handle(), 0, 123456789, payload), 77);
    EXPECT_EQ(echoed.msg, WM_COPYDATA);
    EXPECT_EQ(echoed.wParam, peer);
    EXPECT_EQ(echoed.dwData, 123456789u);
    EXPECT_EQ(echoed.payload.size(), payload.size());
    EXPECT_TRUE(echoed.payload == payload);
}

TEST_F(InterprocessTest, PeerMayCloseItsWindowInsideASend)
{
    PeerProcess peerProcess(TestPeer, {QStringLiteral("peer")});
    const Handle peer = peerProcess.waitForWindow(m_desktop, QStringLiteral("peer"));
    ASSERT_NE(peer, 0u);

    EXPECT_EQ(m_desktop.sendMessage(peer, peer::CloseWindow), 1);
    EXPECT_TRUE(peerProcess.waitForExit()) << "exit status 0: no crash, no sanitizer report";
    EXPECT_EQ(m_desktop.findWindow(QStringLiteral("peer")), 0u);
}

TEST_F(InterprocessTest, ListenerStoppedBySignalRemovesItsFiles)
{
    for (const bool interrupt : {false, true}) {
        SCOPED_TRACE(interrupt ? "SIGINT" : "SIGTERM");
        PeerProcess listener(Hostrun, {QStringLiteral("listen"), QStringLiteral("tidy")});
        ASSERT_NE(listener.waitForWindow(m_desktop, QStringLiteral("tidy")), 0u);
        if (interrupt) {
            ::kill(pid_t(listener.process().processId()), SIGINT);
            EXPECT_TRUE(listener.waitForExit());
        } else {
            EXPECT_TRUE(listener.terminate());
        }
        EXPECT_EQ(
            QDir(m_desktop.folder())
                .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
    }
}
