#include "projectenvelope.h"

#include <gtest/gtest.h>

using namespace envelope;

namespace {

QByteArray patternPayload(qsizetype size, quint32 seed = 7)
{
    QRandomGenerator random(seed);
    QByteArray payload(size, Qt::Uninitialized);
    for (char &c : payload)
        c = char(random.bounded(256));
    return payload;
}

TEST(ProjectEnvelope, TenBytePayloadMakesA2048ByteFileAndNineAreRefused)
{
    const auto file = WrapPayload(patternPayload(10));
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->size(), 2048);
    EXPECT_EQ(UnwrapFile(*file).payload, patternPayload(10));

    EXPECT_FALSE(WrapPayload(patternPayload(9)).has_value());
    EXPECT_FALSE(WrapPayload(QByteArray()).has_value());
}

TEST(ProjectEnvelope, BodyIsTwiceThePayloadRoundedUpToWholeKilobytes)
{
    const std::pair<qsizetype, qsizetype> cases[] = {{10, 1024},   {512, 1024},  {513, 2048},
                                                     {1024, 2048}, {1025, 3072}, {5000, 10240}};
    for (auto [payload, body] : cases) {
        const auto file = WrapPayload(patternPayload(payload));
        ASSERT_TRUE(file.has_value());
        EXPECT_EQ(file->size(), HeaderSize + body) << payload;
    }
}

TEST(ProjectEnvelope, RoundTripsWhateverTheGeneratorChooses)
{
    for (quint32 seed = 1; seed <= 200; ++seed) {
        QRandomGenerator random(seed);
        const QByteArray payload = patternPayload(10 + seed * 37 % 3000, seed);
        const auto file = WrapPayload(payload, random);
        ASSERT_TRUE(file.has_value());
        const Unwrapped back = UnwrapFile(*file);
        ASSERT_EQ(back.error, UnwrapError::None);
        ASSERT_EQ(back.payload, payload) << "seed " << seed;
        EXPECT_EQ(back.announcedLength, quint32(payload.size()));
    }
}

// Every operation byte of the table, with rotations by 0 and by 8 or more bits,
// is undone by its reading step, on even and odd buffer sizes alike.
TEST(ProjectEnvelope, EveryOperationIsUndoneByItsReadingStep)
{
    for (int operation = 0; operation < 256; ++operation) {
        for (qsizetype size : {1, 2, 3, 9, 10, 11, 1024, 1031}) {
            const QByteArray original = patternPayload(size, quint32(operation));
            QByteArray buffer = original;
            runOperation(quint8(operation), Direction::Writing, buffer);
            runOperation(quint8(operation), Direction::Reading, buffer);
            ASSERT_EQ(buffer, original)
                << "operation 0x" << std::hex << operation << " size " << std::dec << size;
        }
    }
}

TEST(ProjectEnvelope, OperationsDoWhatTheTableSays)
{
    auto run = [](quint8 operation, QByteArray bytes) {
        runOperation(operation, Direction::Writing, bytes);
        return bytes.toHex(' ').toStdString();
    };
    const QByteArray bytes = QByteArray::fromHex("81 02 40");
    EXPECT_EQ(run(0x21, bytes), "03 04 80"); // bytes left by 1
    EXPECT_EQ(run(0x29, bytes), "03 04 80"); // by 9 is by 1
    EXPECT_EQ(run(0x31, bytes), "c0 01 20"); // bytes right by 1
    EXPECT_EQ(run(0x20, bytes), "81 02 40"); // by 0: unchanged
    EXPECT_EQ(run(0x41, bytes), "02 05 40"); // word 0x0281 left by 1; odd byte alone
    EXPECT_EQ(run(0x71, bytes), "02 05 80"); // whole body left by 1: carries into next
    EXPECT_EQ(run(0x81, bytes), "40 01 a0"); // whole body right by 1: bit 0 to the top
    EXPECT_EQ(run(0x78, bytes), "40 81 02"); // whole body left by 8: one byte
    EXPECT_EQ(run(0x90, QByteArray::fromHex("12")), "21");       // bit pairs exchanged
    EXPECT_EQ(run(0x71, QByteArray::fromHex("80 01")), "80 01"); // 2 bytes: skipped
    EXPECT_EQ(run(0xF3, bytes), "81 02 40");
    EXPECT_EQ(run(0x00, bytes), "81 02 40");
}

TEST(ProjectEnvelope, PairExchangeOf1024BytesEndsAt510And513AndUndoesItself)
{
    QByteArray buffer(1024, Qt::Uninitialized);
    for (int i = 0; i < 1024; ++i)
        buffer[i] = char(i & 0xFF);
    QByteArray exchanged = buffer;
    pairExchange(exchanged);
    EXPECT_EQ(quint8(exchanged[0]), 1023 & 0xFF);
    EXPECT_EQ(quint8(exchanged[510]), 513 & 0xFF);
    EXPECT_EQ(quint8(exchanged[513]), 510 & 0xFF);
    EXPECT_EQ(quint8(exchanged[512]), 512 & 0xFF) << "even positions past the middle stay";
    pairExchange(exchanged);
    EXPECT_EQ(exchanged, buffer);

    QByteArray shortBuffer = QByteArray::fromHex("010203040506070809");
    pairExchange(shortBuffer);
    EXPECT_EQ(shortBuffer, QByteArray::fromHex("010203040506070809")) << "under 10 bytes: alone";
}

TEST(ProjectEnvelope, HeaderScramblingIsUndone)
{
    const QByteArray header = patternPayload(HeaderSize, 3);
    QByteArray scrambled = header;
    scrambleHeader(scrambled);
    EXPECT_NE(scrambled, header);
    unscrambleHeader(scrambled);
    EXPECT_EQ(scrambled, header);
}

TEST(ProjectEnvelope, ShortWrongAndCutFiles)
{
    EXPECT_EQ(UnwrapFile(QByteArray(2047, '\0')).error, UnwrapError::TooShort);
    EXPECT_EQ(UnwrapFile(QByteArray(4096, '\0')).error, UnwrapError::NotAProjectFile);

    // A body cut to a length that is no multiple of 1024 still unwraps; the
    // payload bytes beyond its end are missing.
    const QByteArray payload = patternPayload(1500);
    const auto file = WrapPayload(payload);
    ASSERT_TRUE(file.has_value());
    const Unwrapped cut = UnwrapFile(QByteArrayView(*file).first(HeaderSize + 1500));
    // The program's whole-body rotations mix the cut end into the rest, so
    // only the shape is certain: as many bytes as the body holds.
    EXPECT_EQ(cut.error, UnwrapError::None);
    EXPECT_EQ(cut.announcedLength, 1500u);
    EXPECT_EQ(cut.payload.size(), 750);
}

} // namespace
