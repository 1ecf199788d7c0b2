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
    const auto file = wrapPayload(patternPayload(10));
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->size(), 2048);
    EXPECT_EQ(unwrapFile(*file).payload, patternPayload(10));

    EXPECT_FALSE(wrapPayload(patternPayload(9)).has_value());
    EXPECT_FALSE(wrapPayload(QByteArray()).has_value());
}

TEST(ProjectEnvelope, BodyIsTwiceThePayloadRoundedUpToWholeKilobytes)
{
    const std::pair<qsizetype, qsizetype> cases[] = {{10, 1024},   {512, 1024},  {513, 2048},
                                                     {1024, 2048}, {1025, 3072}, {5000, 10240}};
    for (auto [payload, body] : cases) {
        const auto file = wrapPayload(patternPayload(payload));
        ASSERT_TRUE(file.has_value());
        EXPECT_EQ(file->size(), HeaderSize + body) << payload;
    }
}

TEST(ProjectEnvelope, RoundTripsWhateverTheGeneratorChooses)
{
    for (quint32 seed = 1; seed <= 200; ++seed) {
        QRandomGenerator random(seed);
        const QByteArray payload = patternPayload(10 + seed * 37 % 3000, seed);
        const auto file = wrapPayload(payload, random);
        ASSERT_TRUE(file.has_value());
        const Unwrapped back = unwrapFile(*file);
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
    EXPECT_EQ(unwrapFile(QByteArray(2047, '\0')).error, UnwrapError::TooShort);
    EXPECT_EQ(unwrapFile(QByteArray(4096, '\0')).error, UnwrapError::NotAProjectFile);

    // A body cut to a length that is no multiple of 1024 still unwraps; the
    // payload bytes beyond its end are missing.
    const QByteArray payload = patternPayload(1500);
    const auto file = wrapPayload(payload);
    ASSERT_TRUE(file.has_value());
    const Unwrapped cut = unwrapFile(QByteArrayView(*file).first(HeaderSize + 1500));
    // The program's whole-body rotations mix the cut end into the rest, so
    // only the shape is certain: as many bytes as the body holds.
    EXPECT_EQ(cut.error, UnwrapError::None);
    EXPECT_EQ(cut.announcedLength, 1500u);
    EXPECT_EQ(cut.payload.size(), 750);
}

} // namespace

namespace golden {

// A reference for the envelope written straight from its layout, one bit at a
// time, so it shares no code with the implementation.
std::vector<int> bitsOf(const QByteArray &buffer)
{
    std::vector<int> bits(size_t(buffer.size()) * 8);
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] = (quint8(buffer[qsizetype(i / 8)]) >> (i % 8)) & 1;
    return bits;
}

QByteArray bytesOf(const std::vector<int> &bits)
{
    QByteArray buffer(qsizetype(bits.size() / 8), '\0');
    for (size_t i = 0; i < bits.size(); ++i)
        buffer[qsizetype(i / 8)] = char(quint8(buffer[qsizetype(i / 8)]) | (bits[i] << (i % 8)));
    return buffer;
}

// Rotates each unit of `width` bytes (1, 2, or the whole buffer) left by
// `shift` bits (negative: right), the unit taken as a little-endian integer.
QByteArray rotateUnits(const QByteArray &buffer, qsizetype width, int shift)
{
    QByteArray out = buffer;
    for (qsizetype start = 0; start + width <= buffer.size(); start += width) {
        const std::vector<int> bits = bitsOf(buffer.mid(start, width));
        const int n = int(bits.size());
        std::vector<int> rotated(bits.size());
        for (int i = 0; i < n; ++i)
            rotated[size_t(((i + shift) % n + n) % n)] = bits[size_t(i)];
        out.replace(start, width, bytesOf(rotated));
    }
    return out;
}

QByteArray exchangePairs(QByteArray buffer)
{
    for (qsizetype i = 0, j = buffer.size() - 1; i < j; i += 2, j -= 2)
        std::swap(buffer[i], buffer[j]);
    return buffer;
}

QByteArray swapBitPairs(QByteArray buffer)
{
    for (char &c : buffer) {
        const quint8 b = quint8(c);
        c = char(((b & 0x55) << 1) | ((b & 0xAA) >> 1));
    }
    return buffer;
}

// The reading step of one operation byte, as the operation table gives it.
QByteArray undoOperation(quint8 operation, const QByteArray &body)
{
    const int k = operation & 0x0F;
    switch (operation >> 4) {
    case 0x2:
        return rotateUnits(body, 1, -k);
    case 0x3:
        return rotateUnits(body, 1, k);
    case 0x5:
        return rotateUnits(body, 2, k);
    case 0x7:
        return rotateUnits(body, body.size(), -k);
    case 0x6:
        return operation == 0x60 ? exchangePairs(body) : body;
    case 0x9:
        return operation == 0x90 ? swapBitPairs(body) : body;
    case 0xF:
        if (operation == 0xF3)
            return body; // no step
        break;
    default:
        break;
    }
    ADD_FAILURE() << "a writer never puts operation " << int(operation);
    return body;
}

const int ProgramPositions[] = {489, 500, 502, 505, 509, 514, 530, 545, 567, 576};

} // namespace golden

// A file made with a fixed seed, taken apart by the reference: the header is
// unscrambled words right 3, pair exchange, bytes right 1 (the writing order
// reversed), the marker, length and program bytes stand at their positions,
// and running the program backwards leaves the payload at the even positions
// of the body.
TEST(ProjectEnvelopeGolden, FixedSeedFileTakenApartByTheLayoutAlone)
{
    using namespace golden;
    const QByteArray payload = QByteArrayLiteral("Orvala drx envelope, golden bytes.");
    QRandomGenerator random(20260405);
    const auto file = wrapPayload(payload, random);
    ASSERT_TRUE(file.has_value());
    ASSERT_EQ(file->size(), 2048);

    const QByteArray header =
        rotateUnits(exchangePairs(rotateUnits(file->left(HeaderSize), 2, -3)), 1, -1);
    EXPECT_EQ(quint8(header[700]), 1);
    EXPECT_EQ(quint8(header[720]), 0);
    const quint32 length = quint8(header[800]) | quint32(quint8(header[837])) << 8 |
                           quint32(quint8(header[805])) << 16 | quint32(quint8(header[822])) << 24;
    EXPECT_EQ(length, quint32(payload.size()));

    std::vector<quint8> program;
    for (int position : ProgramPositions)
        program.push_back(quint8(header[position]));
    EXPECT_EQ(program[0], 0x60);
    EXPECT_GE(program[1], 0x71);
    EXPECT_LE(program[1], 0x75);
    EXPECT_EQ(program[2], 0x60);
    EXPECT_GE(program[3], 0x21);
    EXPECT_LE(program[3], 0x25);
    EXPECT_GE(program[4], 0x51);
    EXPECT_LE(program[4], 0x5D);
    EXPECT_EQ(program[5], 0x90);
    EXPECT_GE(program[6], 0x31);
    EXPECT_LE(program[6], 0x35);
    EXPECT_EQ(program[7], 0x60);
    EXPECT_EQ(program[8], 0xF3);
    EXPECT_EQ(program[9], 0xF3);

    QByteArray body = file->mid(HeaderSize);
    for (auto operation = program.rbegin(); operation != program.rend(); ++operation)
        body = undoOperation(*operation, body);
    QByteArray recovered;
    for (qsizetype k = 0; k < payload.size(); ++k)
        recovered += body[2 * k];
    EXPECT_EQ(recovered, payload);

    // The same seed makes the same file, byte for byte.
    QRandomGenerator again(20260405);
    const auto second = wrapPayload(payload, again);
    ASSERT_TRUE(second.has_value());
    EXPECT_TRUE(*second == *file);
}
