// The frame codec on its own: golden bytes, every truncation, refused headers.
#include "frame.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <limits>

using namespace hostmsg;

namespace {

QByteArray fromHex(const char *hex)
{
    return QByteArray::fromHex(hex);
}

QByteArray wholeFrame(const Message &message)
{
    return encodeFrameHeader(message) + message.payload;
}

Message copyData()
{
    Message message;
    message.kind = Kind::Send;
    message.msg = WM_COPYDATA;
    message.wParam = 0x0102030405060708;
    message.lParam = -2;
    message.dwData = 300;
    message.payload = QByteArray("a\0c", 3);
    return message;
}

void expectSameMessage(const Message &actual, const Message &expected)
{
    EXPECT_EQ(actual.kind, expected.kind);
    EXPECT_EQ(actual.msg, expected.msg);
    EXPECT_EQ(actual.wParam, expected.wParam);
    EXPECT_EQ(actual.lParam, expected.lParam);
    EXPECT_EQ(actual.dwData, expected.dwData);
    EXPECT_EQ(actual.payload, expected.payload);
}

// A header with one u32 field overwritten, for the refusal rows.
QByteArray headerWith(qsizetype offset, quint32 value)
{
    QByteArray header = encodeFrameHeader(copyData());
    qToLittleEndian<quint32>(value, header.data() + offset);
    return header;
}

} // namespace

TEST(FrameCodec, SendHeaderMatchesGoldenBytes)
{
    EXPECT_EQ(encodeFrameHeader(copyData()).toHex(), QByteArray("4f484d31"
                                                                "01000000"
                                                                "4a000000"
                                                                "00000000"
                                                                "0807060504030201"
                                                                "feffffffffffffff"
                                                                "2c01000000000000"
                                                                "03000000"
                                                                "00000000"));
}

TEST(FrameCodec, PostHeaderMatchesGoldenBytes)
{
    Message message;
    message.kind = Kind::Post;
    message.msg = WM_USER + 102;
    EXPECT_EQ(encodeFrameHeader(message).toHex(), QByteArray("4f484d31"
                                                             "02000000"
                                                             "66040000"
                                                             "00000000"
                                                             "0000000000000000"
                                                             "0000000000000000"
                                                             "0000000000000000"
                                                             "00000000"
                                                             "00000000"));
}

TEST(FrameCodec, AnswerIsASignedLittleEndianInt64)
{
    const struct
    {
        qint64 value;
        const char *hex;
    } rows[] = {
        {0, "0000000000000000"},
        {100, "6400000000000000"},
        {-5, "fbffffffffffffff"},
        {std::numeric_limits<qint64>::max(), "ffffffffffffff7f"},
        {std::numeric_limits<qint64>::min(), "0000000000000080"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(encodeAnswer(row.value), fromHex(row.hex));
        EXPECT_EQ(decodeAnswer(fromHex(row.hex)), row.value);
    }
}

TEST(FrameReader, DecodesAWholeFrame)
{
    FrameReader reader;
    const QByteArray frame = wholeFrame(copyData());
    EXPECT_EQ(reader.append(frame), frame.size());
    ASSERT_EQ(reader.state(), FrameReader::State::Complete);
    EXPECT_EQ(reader.bytesWanted(), 0);
    expectSameMessage(reader.takeMessage(), copyData());
}

TEST(FrameReader, DecodesAFrameArrivingByteByByte)
{
    FrameReader reader;
    const QByteArray frame = wholeFrame(copyData());
    for (const char byte : frame)
        ASSERT_EQ(reader.append(QByteArrayView(&byte, 1)), 1);
    ASSERT_EQ(reader.state(), FrameReader::State::Complete);
    expectSameMessage(reader.takeMessage(), copyData());
}

TEST(FrameReader, EveryTruncatedFrameIsIncomplete)
{
    const QByteArray frame = wholeFrame(copyData());
    for (qsizetype length = 0; length < frame.size(); ++length) {
        SCOPED_TRACE(length);
        FrameReader reader;
        reader.append(frame.first(length));
        EXPECT_EQ(reader.state(), FrameReader::State::Reading);
        // The payload's size is known only once the header is whole.
        EXPECT_EQ(reader.bytesWanted(),
                  length < FrameHeaderSize ? FrameHeaderSize - length : frame.size() - length);
        EXPECT_EQ(reader.hasStarted(), length > 0);
    }
}

TEST(FrameReader, TakesNothingPastTheFrame)
{
    FrameReader reader;
    const QByteArray frame = wholeFrame(copyData());
    EXPECT_EQ(reader.append(frame + "next"), frame.size());
    EXPECT_EQ(reader.state(), FrameReader::State::Complete);
}

TEST(FrameReader, EmptyPayloadCompletesWithTheHeader)
{
    Message message = copyData();
    message.payload.clear();
    FrameReader reader;
    reader.append(encodeFrameHeader(message));
    ASSERT_EQ(reader.state(), FrameReader::State::Complete);
    expectSameMessage(reader.takeMessage(), message);
}

TEST(FrameReader, RefusesABadHeaderBeforeReadingItsPayload)
{
    const struct
    {
        const char *name;
        QByteArray header;
        const char *reason;
    } rows[] = {
        {"bad-magic", headerWith(0, 0x314D484E), "bad magic 0x314d484e"},
        {"text", QByteArray("GET / HTTP/1.1\r\nHost: x\r\n\r\n").leftJustified(48, ' '),
         "bad magic"},
        {"kind-0", headerWith(4, 0), "unknown kind 0"},
        {"kind-3", headerWith(4, 3), "unknown kind 3"},
        {"payload-over-limit", headerWith(40, MaxPayload + 1), "over the limit"},
        {"payload-4GiB", headerWith(40, 0xFFFFFFFF), "over the limit"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        FrameReader reader;
        // The rest of the bytes must not be taken: the connection is dropped
        // as soon as the header is known to be bad.
        EXPECT_EQ(reader.append(row.header + QByteArray(100, 'x')), FrameHeaderSize);
        EXPECT_EQ(reader.state(), FrameReader::State::Invalid);
        EXPECT_EQ(reader.bytesWanted(), 0);
        EXPECT_TRUE(reader.errorString().contains(QLatin1StringView(row.reason)))
            << qPrintable(reader.errorString());
    }
}

TEST(FrameReader, RefusesAStrayClientAsSoonAsItsFirstBytesShowIt)
{
    FrameReader text;
    EXPECT_EQ(text.append("GET "), 4);
    EXPECT_EQ(text.state(), FrameReader::State::Invalid);

    FrameReader badKind;
    badKind.append(headerWith(4, 9).first(8));
    EXPECT_EQ(badKind.state(), FrameReader::State::Invalid);

    FrameReader goodStart;
    goodStart.append(encodeFrameHeader(copyData()).first(8));
    EXPECT_EQ(goodStart.state(), FrameReader::State::Reading);
}

TEST(FrameReader, AcceptsAPayloadOfExactlyTheLimit)
{
    FrameReader reader;
    reader.append(headerWith(40, MaxPayload));
    EXPECT_EQ(reader.state(), FrameReader::State::Reading);
    EXPECT_EQ(reader.bytesWanted(), qsizetype(MaxPayload));
}

TEST(FrameReader, IgnoresTheReservedFields)
{
    // Left for later senders: a receiver of today takes their frames.
    QByteArray header = encodeFrameHeader(copyData());
    qToLittleEndian<quint32>(7, header.data() + 12);
    qToLittleEndian<quint32>(9, header.data() + 44);
    FrameReader reader;
    reader.append(header + copyData().payload);
    ASSERT_EQ(reader.state(), FrameReader::State::Complete);
    expectSameMessage(reader.takeMessage(), copyData());
}
