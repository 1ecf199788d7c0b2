// The sending side against a hand-made receiver in a thread of this process:
// what exactly goes on the wire, and which receiver behaviour counts as
// answered or delivered.
#include "desktop.h"
#include "frame.h"
#include "runtimefolder.h"
#include "unixsocket.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace hostmsg;

namespace {

constexpr Handle RawHandle = 4242;

// Reads exactly `count` bytes (less when the peer closes first).
QByteArray receive(int socket, qsizetype count)
{
    QByteArray bytes;
    char buffer[4096];
    while (bytes.size() < count) {
        const ssize_t received = ::recv(
            socket, buffer, size_t(std::min<qsizetype>(count - bytes.size(), sizeof buffer)), 0);
        if (received <= 0)
            break;
        bytes.append(buffer, received);
    }
    return bytes;
}

// A listening socket at <folder>/4242.sock whose one connection is handled by
// `behaviour` in a thread of its own, with plain blocking calls.
class RawReceiver
{
public:
    using Behaviour = std::function<void(int connection)>;

    RawReceiver(const Desktop &desktop, Behaviour behaviour)
    {
        m_path = QFile::encodeName(desktop.folder()) + '/' + socketFileName(RawHandle);
        const auto address = socketAddress(m_path);
        m_listener = UniqueFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!address ||
            ::bind(m_listener.get(), reinterpret_cast<const sockaddr *>(&address->address),
                   address->length) != 0 ||
            ::listen(m_listener.get(), 4) != 0) {
            ADD_FAILURE() << "cannot listen at the raw receiver's socket";
            return;
        }
        m_thread = std::thread([this, behaviour = std::move(behaviour)] {
            pollfd ready{m_listener.get(), POLLIN, 0};
            if (::poll(&ready, 1, 60000) != 1)
                return; // the sender never came; the test fails on its own
            const UniqueFd connection(::accept(m_listener.get(), nullptr, nullptr));
            if (connection.isValid())
                behaviour(connection.get());
        });
    }

    ~RawReceiver()
    {
        if (m_thread.joinable())
            m_thread.join();
        ::unlink(m_path.constData());
    }

private:
    QByteArray m_path;
    UniqueFd m_listener;
    std::thread m_thread;
};

class SenderTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_desktop.open()) << qPrintable(m_desktop.errorString()); }

    Desktop m_desktop;
};

} // namespace

TEST_F(SenderTest, SendPutsTheGoldenFrameOnTheWire)
{
    QByteArray frame;
    {
        RawReceiver receiver(m_desktop, [&frame](int connection) {
            frame = receive(connection, FrameHeaderSize + 3);
            const QByteArray answer = encodeAnswer(-7);
            ::send(connection, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL);
        });
        EXPECT_EQ(m_desktop.sendMessage(RawHandle, WM_COPYDATA, 7, -1, 300, QByteArray("abc")), -7);
    }
    EXPECT_EQ(frame.toHex(), QByteArray("4f484d31"
                                        "01000000"
                                        "4a000000"
                                        "00000000"
                                        "0700000000000000"
                                        "ffffffffffffffff"
                                        "2c01000000000000"
                                        "03000000"
                                        "00000000"
                                        "616263"));
}

TEST_F(SenderTest, PostIsDeliveredOnceTheReceiverHasReadItAllAndClosed)
{
    QByteArray frame;
    {
        RawReceiver receiver(
            m_desktop, [&frame](int connection) { frame = receive(connection, FrameHeaderSize); });
        EXPECT_TRUE(m_desktop.postMessage(RawHandle, WM_ACTIVATE));
    }
    EXPECT_EQ(frame.toHex(), QByteArray("4f484d31"
                                        "02000000"
                                        "06000000"
                                        "00000000"
                                        "0000000000000000"
                                        "0000000000000000"
                                        "0000000000000000"
                                        "00000000"
                                        "00000000"));
}

TEST_F(SenderTest, PostIsNotDeliveredWhenTheReceiverDropsIt)
{
    const struct
    {
        const char *name;
        RawReceiver::Behaviour behaviour;
    } rows[] = {
        // Closing with part of the frame unread is a refusal, not a receipt.
        {"reads-part", [](int connection) { receive(connection, 10); }},
        {"answers-a-post",
         [](int connection) {
             receive(connection, FrameHeaderSize);
             ::send(connection, "x", 1, MSG_NOSIGNAL);
         }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        RawReceiver receiver(m_desktop, row.behaviour);
        EXPECT_FALSE(m_desktop.postMessage(RawHandle, WM_USER, 0, 0, 0, QByteArray(100, 'p')));
    }
}

TEST_F(SenderTest, SendGivesZeroUnlessAWholeAnswerComes)
{
    const struct
    {
        const char *name;
        RawReceiver::Behaviour behaviour;
    } rows[] = {
        {"closes-without-answer", [](int connection) { receive(connection, FrameHeaderSize); }},
        {"half-an-answer",
         [](int connection) {
             receive(connection, FrameHeaderSize);
             ::send(connection, encodeAnswer(99).constData(), 4, MSG_NOSIGNAL);
         }},
        {"closes-before-the-frame-is-read", [](int connection) { receive(connection, 1); }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        RawReceiver receiver(m_desktop, row.behaviour);
        EXPECT_EQ(m_desktop.sendMessage(RawHandle, WM_USER), 0);
    }
}
