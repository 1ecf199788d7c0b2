// One process talking to its own windows: registration, files, handles, and
// the order in which its own sends and posts are served.
#include "desktop.h"
#include "runtimefolder.h"
#include "unixsocket.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

using namespace hostmsg;
using namespace std::chrono_literals;

namespace {

QStringList folderEntries(const Desktop &desktop)
{
    return QDir(desktop.folder())
        .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
}

QString linkTarget(const Desktop &desktop, const QString &title)
{
    return QFile::symLinkTarget(desktop.folder() + QLatin1Char('/') + titleLinkName(title));
}

// Runs the event loop until `done` or a long time has passed.
template<typename Predicate> bool processEventsUntil(Predicate done)
{
    const QDeadlineTimer deadline(30s);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

class DesktopTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_desktop.open()) << qPrintable(m_desktop.errorString()); }

    Desktop m_desktop;
};

} // namespace

TEST_F(DesktopTest, WindowIsFoundByItsTitleAndItsFilesGoWithIt)
{
    auto window = m_desktop.createWindow(QStringLiteral("Orvala Email Client"));
    ASSERT_NE(window, nullptr) << qPrintable(m_desktop.errorString());
    EXPECT_NE(window->handle(), 0u);
    EXPECT_EQ(window->title(), QStringLiteral("Orvala Email Client"));
    EXPECT_EQ(m_desktop.findWindow(QStringLiteral("Orvala Email Client")), window->handle());
    EXPECT_EQ(m_desktop.findWindow(QStringLiteral("Orvala Email")), 0u);

    const QString socketName = QString::fromLatin1(socketFileName(window->handle()));
    EXPECT_TRUE(folderEntries(m_desktop).contains(socketName));
    EXPECT_TRUE(linkTarget(m_desktop, QStringLiteral("Orvala Email Client")).endsWith(socketName));

    window.reset();
    EXPECT_EQ(m_desktop.findWindow(QStringLiteral("Orvala Email Client")), 0u);
    EXPECT_EQ(folderEntries(m_desktop), QStringList());
}

TEST_F(DesktopTest, WindowsHaveDistinctHandlesAcrossDesktopsOfOneProcess)
{
    // Every Desktop counts from 1, so the second one meets the first one's
    // live sockets and must step past them, not take them over.
    Desktop other;
    auto first = m_desktop.createWindow(QStringLiteral("first"));
    auto second = m_desktop.createWindow(QStringLiteral("second"));
    auto third = other.createWindow(QStringLiteral("third"));
    ASSERT_TRUE(first && second && third);
    EXPECT_NE(first->handle(), second->handle());
    EXPECT_NE(first->handle(), third->handle());
    EXPECT_NE(second->handle(), third->handle());

    first->setHandler([](const Message &) { return 1; });
    second->setHandler([](const Message &) { return 2; });
    third->setHandler([](const Message &) { return 3; });
    // Each Desktop serves its own windows while it waits.
    EXPECT_EQ(m_desktop.sendMessage(first->handle(), WM_USER), 1);
    EXPECT_EQ(m_desktop.sendMessage(second->handle(), WM_USER), 2);
    EXPECT_EQ(other.sendMessage(third->handle(), WM_USER), 3);
}

TEST_F(DesktopTest, StaleSocketFileDoesNotBlockRegistration)
{
    // What a killed process leaves behind, at the handle a fresh Desktop of
    // this process tries first.
    const Handle staleHandle = (Handle(::getpid()) << 20) | 1;
    const QByteArray path =
        QFile::encodeName(m_desktop.folder()) + '/' + socketFileName(staleHandle);
    {
        const UniqueFd socket = newStreamSocket();
        const auto address = socketAddress(path);
        ASSERT_TRUE(address);
        ASSERT_EQ(::bind(socket.get(), reinterpret_cast<const sockaddr *>(&address->address),
                         address->length),
                  0);
    }
    ASSERT_TRUE(QFileInfo::exists(QFile::decodeName(path)));

    auto window = m_desktop.createWindow(QStringLiteral("after a crash"));
    ASSERT_NE(window, nullptr) << qPrintable(m_desktop.errorString());
    window->setHandler([](const Message &) { return 7; });
    EXPECT_EQ(m_desktop.sendMessage(m_desktop.findWindow(QStringLiteral("after a crash")), WM_USER),
              7);
}

TEST_F(DesktopTest, NewestWindowOfATitleIsFoundAndKeepsTheTitle)
{
    auto older = m_desktop.createWindow(QStringLiteral("driver"));
    auto newer = m_desktop.createWindow(QStringLiteral("driver"));
    ASSERT_TRUE(older && newer);
    EXPECT_EQ(m_desktop.findWindow(QStringLiteral("driver")), newer->handle());

    // The older window must not take the newer one's title with it.
    older.reset();
    EXPECT_EQ(m_desktop.findWindow(QStringLiteral("driver")), newer->handle());

    newer.reset();
    EXPECT_EQ(m_desktop.findWindow(QStringLiteral("driver")), 0u);
    EXPECT_EQ(folderEntries(m_desktop), QStringList());
}

TEST_F(DesktopTest, TitleOfTheLongestFileNameIsAcceptedAndLongerRefused)
{
    auto longest = m_desktop.createWindow(QString(MaxTitleBytes, QLatin1Char('t')));
    EXPECT_NE(longest, nullptr) << qPrintable(m_desktop.errorString());
    EXPECT_EQ(m_desktop.createWindow(QString(MaxTitleBytes + 1, QLatin1Char('t'))), nullptr);
    EXPECT_TRUE(m_desktop.errorString().contains(QLatin1StringView("too long")))
        << qPrintable(m_desktop.errorString());
    // A refused title does not make the Desktop unusable.
    EXPECT_NE(m_desktop.createWindow(QStringLiteral("short")), nullptr);
}

TEST_F(DesktopTest, SendToOwnWindowIsServedWhileTheSenderWaits)
{
    // Three MiB cannot sit in a socket buffer: the sender only gets through
    // if it reads its own window's connection while it writes.
    QByteArray payload(3 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(payload.data()), payload.size() / 4);

    auto window = m_desktop.createWindow(QStringLiteral("self"));
    ASSERT_NE(window, nullptr);
    Message received;
    window->setHandler([&received](const Message &message) {
        received = message;
        return -9;
    });
    EXPECT_EQ(m_desktop.sendMessage(window->handle(), WM_COPYDATA, 11, -12, 300, payload), -9);
    EXPECT_EQ(received.kind, Kind::Send);
    EXPECT_EQ(received.msg, WM_COPYDATA);
    EXPECT_EQ(received.wParam, 11u);
    EXPECT_EQ(received.lParam, -12);
    EXPECT_EQ(received.dwData, 300u);
    EXPECT_TRUE(received.payload == payload);
}

TEST_F(DesktopTest, PostsToOwnWindowWaitForTheEventLoopAndKeepTheirOrder)
{
    auto window = m_desktop.createWindow(QStringLiteral("queue"));
    ASSERT_NE(window, nullptr);
    std::vector<quint64> handled;
    window->setHandler([&handled](const Message &message) {
        EXPECT_EQ(message.kind, Kind::Post);
        handled.push_back(message.wParam);
        return 0;
    });
    for (quint64 i = 1; i <= 20; ++i)
        ASSERT_TRUE(m_desktop.postMessage(window->handle(), WM_USER, i));
    EXPECT_TRUE(handled.empty()) << "posts are handled from the event loop, not inside postMessage";

    ASSERT_TRUE(processEventsUntil([&] { return handled.size() == 20; }));
    for (quint64 i = 0; i < 20; ++i)
        EXPECT_EQ(handled[i], i + 1);
}

TEST_F(DesktopTest, WindowMayDestroyItselfInItsSendHandler)
{
    std::unique_ptr<Window> window = m_desktop.createWindow(QStringLiteral("closing"));
    ASSERT_NE(window, nullptr);
    window->setHandler([&window](const Message &) {
        window.reset(); // a close request
        return 5;
    });
    EXPECT_EQ(m_desktop.sendMessage(window->handle(), WM_USER + 102), 5);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(m_desktop.findWindow(QStringLiteral("closing")), 0u);
    EXPECT_EQ(folderEntries(m_desktop), QStringList());
}

TEST_F(DesktopTest, WindowMayDestroyItselfWhilePostsAreQueued)
{
    std::unique_ptr<Window> window = m_desktop.createWindow(QStringLiteral("closing"));
    ASSERT_NE(window, nullptr);
    int handled = 0;
    window->setHandler([&](const Message &) {
        ++handled;
        window.reset();
        return 0;
    });
    const Handle handle = window->handle();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(m_desktop.postMessage(handle, WM_USER + 102));

    // The posts left in the queue go with the window.
    ASSERT_TRUE(processEventsUntil([&] { return window == nullptr; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(handled, 1);
}

TEST_F(DesktopTest, NoWindowGivesZero)
{
    EXPECT_EQ(m_desktop.findWindow(QStringLiteral("never registered")), 0u);
    EXPECT_EQ(m_desktop.sendMessage(0, WM_USER), 0);
    EXPECT_FALSE(m_desktop.postMessage(0, WM_USER));
    const Handle unused = (Handle(::getpid()) << 20) | 0xABCDE;
    EXPECT_EQ(m_desktop.sendMessage(unused, WM_USER), 0);
    EXPECT_FALSE(m_desktop.postMessage(unused, WM_USER));
}

TEST_F(DesktopTest, PayloadOverTheLimitIsNotSent)
{
    auto window = m_desktop.createWindow(QStringLiteral("limit"));
    ASSERT_NE(window, nullptr);
    int handled = 0;
    window->setHandler([&handled](const Message &) { return ++handled; });
    const QByteArray tooLarge(qsizetype(MaxPayload) + 1, 'x');
    EXPECT_EQ(m_desktop.sendMessage(window->handle(), WM_COPYDATA, 0, 0, 1, tooLarge), 0);
    EXPECT_FALSE(m_desktop.postMessage(window->handle(), WM_COPYDATA, 0, 0, 1, tooLarge));
    EXPECT_EQ(handled, 0);
}
