// A receiver in another process (hostrun listen) against connections that send
// garbage, stop halfway, stall, or announce too much: none of them may crash or
// block it, none gets an answer, and the next proper send is answered.
#include "desktop.h"
#include "frame.h"
#include "peerprocess.h"
#include "runtimefolder.h"
#include "unixsocket.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cerrno>

#include <poll.h>
#include <sys/socket.h>

using namespace hostmsg;
using namespace std::chrono_literals;
using testing_hostmsg::PeerProcess;

namespace {

constexpr qint64 Reply = 42;

QByteArray header(Kind kind, quint32 payloadSize)
{
    Message message;
    message.kind = kind;
    message.msg = WM_COPYDATA;
    QByteArray bytes = encodeFrameHeader(message);
    qToLittleEndian<quint32>(payloadSize, bytes.data() + 40);
    return bytes;
}

QByteArray withField(QByteArray bytes, qsizetype offset, quint32 value)
{
    qToLittleEndian<quint32>(value, bytes.data() + offset);
    return bytes;
}

// A plain blocking client of the receiver's socket, for writing what no
// Desktop would.
class RawClient
{
public:
    RawClient(const Desktop &desktop, Handle handle)
    {
        const auto address =
            socketAddress(QFile::encodeName(desktop.folder()) + '/' + socketFileName(handle));
        m_socket = UniqueFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        m_connected =
            address && m_socket.isValid() &&
            ::connect(m_socket.get(), reinterpret_cast<const sockaddr *>(&address->address),
                      address->length) == 0;
    }

    bool isConnected() const { return m_connected; }

    bool write(QByteArrayView bytes)
    {
        while (!bytes.isEmpty()) {
            const ssize_t written =
                ::send(m_socket.get(), bytes.data(), size_t(bytes.size()), MSG_NOSIGNAL);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            bytes = bytes.sliced(written);
        }
        return true;
    }

    // Waits (bounded) until the receiver closes; what it sent before is in `received`.
    bool waitForClose(QByteArray *received)
    {
        const QDeadlineTimer deadline(60s);
        while (!deadline.hasExpired()) {
            pollfd ready{m_socket.get(), POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0)
                continue;
            char buffer[256];
            const ssize_t count = ::recv(m_socket.get(), buffer, sizeof buffer, 0);
            if (count > 0)
                received->append(buffer, count);
            else if (count == 0 || errno != EINTR)
                return true;
        }
        return false;
    }

    void close() { m_socket.reset(); }
    int socket() const { return m_socket.get(); }

private:
    UniqueFd m_socket;
    bool m_connected = false;
};

class RobustnessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_desktop.open()) << qPrintable(m_desktop.errorString());
        // --count 1: the first message it takes is its last, so a bad frame
        // taken for a message shows up as the wrong line.
        m_listener = std::make_unique<PeerProcess>(
            QStringLiteral("hostrun/hostrun"),
            QStringList{QStringLiteral("listen"), QStringLiteral("target"),
                        QStringLiteral("--reply"), QString::number(Reply),
                        QStringLiteral("--count"), QStringLiteral("1")});
        m_handle = m_listener->waitForWindow(m_desktop, QStringLiteral("target"));
        ASSERT_NE(m_handle, 0u);
    }

    // The receiver still answers a proper send, and that send is the only
    // message it ever took.
    void expectProperSendAnswered()
    {
        EXPECT_EQ(m_desktop.sendMessage(m_handle, WM_COPYDATA, 1, 0, 2, QByteArray("ok")), Reply);
        EXPECT_EQ(m_listener->readLines(1),
                  QStringList{QStringLiteral("send msg=0x4a wParam=1 code=2 len=2 hex=6f6b")});
        EXPECT_TRUE(m_listener->waitForExit()) << "exit status 0: no crash, no sanitizer report";
    }

    Desktop m_desktop;
    std::unique_ptr<PeerProcess> m_listener;
    Handle m_handle = 0;
};

} // namespace

TEST_F(RobustnessTest, BadFramesAreDroppedWithoutAnAnswer)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
    } rows[] = {
        {"text", QByteArray("GET / HTTP/1.1\r\nHost: localhost\r\n\r\n")},
        {"zeros", QByteArray(4096, '\0')},
        {"bad-magic", withField(header(Kind::Send, 0), 0, 0x314D484E)},
        {"kind-0", withField(header(Kind::Send, 0), 4, 0)},
        {"kind-3", withField(header(Kind::Send, 2), 4, 3) + "xy"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        RawClient client(m_desktop, m_handle);
        ASSERT_TRUE(client.isConnected());
        // The receiver may close before taking all of it; that is its right.
        client.write(row.bytes);
        QByteArray answer;
        EXPECT_TRUE(client.waitForClose(&answer));
        EXPECT_TRUE(answer.isEmpty()) << answer.toHex().constData();
    }
    expectProperSendAnswered();
}

TEST_F(RobustnessTest, FramesCutShortAreDropped)
{
    const QByteArray send = header(Kind::Send, 100) + QByteArray(100, 'p');
    const QByteArray post = header(Kind::Post, 100) + QByteArray(100, 'p');
    for (const QByteArray &cut :
         {send.first(20), send.first(FrameHeaderSize), send.first(90), post.first(90)}) {
        SCOPED_TRACE(cut.size());
        RawClient client(m_desktop, m_handle);
        ASSERT_TRUE(client.isConnected());
        ASSERT_TRUE(client.write(cut));
        client.close();
    }
    expectProperSendAnswered();
}

TEST_F(RobustnessTest, StalledSendersDoNotHoldUpOthers)
{
    RawClient midHeader(m_desktop, m_handle);
    RawClient midPayload(m_desktop, m_handle);
    ASSERT_TRUE(midHeader.isConnected() && midPayload.isConnected());
    ASSERT_TRUE(midHeader.write(header(Kind::Send, 10).first(30)));
    ASSERT_TRUE(midPayload.write(header(Kind::Send, 10) + "abc"));
    // Both stay open and silent while the proper send goes through.
    expectProperSendAnswered();
}

TEST_F(RobustnessTest, OversizedPayloadIsRefusedBeforeItIsRead)
{
    RawClient client(m_desktop, m_handle);
    ASSERT_TRUE(client.isConnected());
    ASSERT_TRUE(client.write(header(Kind::Send, MaxPayload + 1)));

    // Offer the whole announced payload. A receiver that read it would take
    // all of it; one that refuses the header closes, and the writes fail long
    // before the end.
    const QByteArray chunk(1024 * 1024, 'o');
    qint64 written = 0;
    while (written <= qint64(MaxPayload) && client.write(chunk))
        written += chunk.size();
    EXPECT_LT(written, qint64(MaxPayload));

    QByteArray answer;
    EXPECT_TRUE(client.waitForClose(&answer));
    EXPECT_TRUE(answer.isEmpty());
    expectProperSendAnswered();
}

TEST_F(RobustnessTest, RandomBytesNeverStopTheReceiver)
{
    QRandomGenerator random(20240611);
    std::vector<std::unique_ptr<RawClient>> open;
    for (int i = 0; i < 40; ++i) {
        auto client = std::make_unique<RawClient>(m_desktop, m_handle);
        ASSERT_TRUE(client->isConnected());
        QByteArray bytes(random.bounded(1, 300), Qt::Uninitialized);
        for (char &byte : bytes)
            byte = char(random.bounded(256));
        client->write(bytes);
        if (random.bounded(2) == 0)
            open.push_back(std::move(client)); // left hanging
    }
    expectProperSendAnswered();
}
