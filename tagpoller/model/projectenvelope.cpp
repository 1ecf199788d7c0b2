#include "projectenvelope.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <new>

namespace envelope {

namespace {

constexpr qsizetype FirstMarker = 700;  // holds 1
constexpr qsizetype SecondMarker = 720; // holds 0
constexpr std::array<qsizetype, 10> ProgramPositions = {489, 500, 502, 505, 509,
                                                        514, 530, 545, 567, 576};
// Payload length bits 0-7, 8-15, 16-23, 24-31.
constexpr std::array<qsizetype, 4> LengthPositions = {800, 837, 805, 822};
constexpr quint8 NoStep = 0xF3;

quint8 rotateByteLeft(quint8 value, unsigned bits)
{
    bits %= 8;
    return bits ? quint8((value << bits) | (value >> (8 - bits))) : value;
}

quint16 rotateWordLeft(quint16 value, unsigned bits)
{
    bits %= 16;
    return bits ? quint16((value << bits) | (value >> (16 - bits))) : value;
}

void rotateBytes(std::span<char> buffer, int leftBits)
{
    const unsigned bits = unsigned(((leftBits % 8) + 8) % 8);
    if (!bits)
        return;
    for (char &c : buffer)
        c = char(rotateByteLeft(quint8(c), bits));
}

void rotateWords(std::span<char> buffer, int leftBits)
{
    const unsigned bits = unsigned(((leftBits % 16) + 16) % 16);
    if (!bits)
        return;
    char *data = buffer.data();
    for (size_t i = 0; i + 1 < buffer.size(); i += 2)
        qToLittleEndian(rotateWordLeft(qFromLittleEndian<quint16>(data + i), bits), data + i);
}

// The whole buffer as one little-endian integer, byte 0 least significant:
// whole bytes move first, then the remaining bits carry from each byte into
// the next, the last byte's into byte 0.
void rotateWhole(std::span<char> buffer, int leftBits)
{
    const size_t n = buffer.size();
    if (n <= 2)
        return;
    const qint64 totalBits = qint64(n) * 8;
    const qint64 shift = ((leftBits % totalBits) + totalBits) % totalBits;
    if (!shift)
        return;
    const size_t byteShift = size_t(shift / 8);
    const unsigned bitShift = unsigned(shift % 8);
    std::rotate(buffer.begin(), buffer.begin() + (n - byteShift) % n, buffer.end());
    if (!bitShift)
        return;
    auto *bytes = reinterpret_cast<quint8 *>(buffer.data());
    const quint8 last = bytes[n - 1];
    for (size_t i = n - 1; i > 0; --i)
        bytes[i] = quint8((bytes[i] << bitShift) | (bytes[i - 1] >> (8 - bitShift)));
    bytes[0] = quint8((bytes[0] << bitShift) | (last >> (8 - bitShift)));
}

void fillWithFiller(std::span<char> buffer, QRandomGenerator &random)
{
    char *data = buffer.data();
    for (size_t i = 0; i + 4 <= buffer.size(); i += 4)
        qToLittleEndian(quint32(random.bounded(32768)), data + i);
}

qsizetype bodySizeFor(qsizetype payloadSize)
{
    const qsizetype doubled = payloadSize * 2;
    if (doubled <= HeaderSize)
        return HeaderSize;
    return (doubled + HeaderSize - 1) / HeaderSize * HeaderSize;
}

} // namespace

void pairExchange(std::span<char> buffer)
{
    const qsizetype n = qsizetype(buffer.size());
    if (n < 10)
        return;
    char *data = buffer.data();
    for (qsizetype i = 0, j = n - 1; i < j; i += 2, j -= 2)
        std::swap(data[i], data[j]);
}

void runOperation(quint8 operation, Direction direction, std::span<char> buffer)
{
    const int k = operation & 0x0F;
    const int sign = direction == Direction::Writing ? 1 : -1;
    switch (operation & 0xF0) {
    case 0x20:
        rotateBytes(buffer, sign * k);
        return;
    case 0x30:
        rotateBytes(buffer, -sign * k);
        return;
    case 0x40:
        rotateWords(buffer, sign * k);
        return;
    case 0x50:
        rotateWords(buffer, -sign * k);
        return;
    case 0x70:
        rotateWhole(buffer, sign * k);
        return;
    case 0x80:
        rotateWhole(buffer, -sign * k);
        return;
    default:
        break;
    }
    if (operation == 0x60) {
        pairExchange(buffer);
    } else if (operation == 0x90) {
        for (char &c : buffer) {
            const auto v = quint8(c);
            c = char(((v & 0x55) << 1) | ((v & 0xAA) >> 1));
        }
    }
}

void scrambleHeader(std::span<char> header)
{
    rotateBytes(header, 1);
    pairExchange(header);
    rotateWords(header, 3);
}

void unscrambleHeader(std::span<char> header)
{
    rotateWords(header, -3);
    pairExchange(header);
    rotateBytes(header, -1);
}

std::optional<QByteArray> wrapPayload(QByteArrayView payload, QRandomGenerator &random)
{
    if (payload.size() < MinimumPayload || payload.size() > MaximumPayload)
        return std::nullopt;

    QByteArray file;
    try {
        file = QByteArray(HeaderSize + bodySizeFor(payload.size()), Qt::Uninitialized);
    } catch (const std::bad_alloc &) {
        return std::nullopt;
    }
    const std::span<char> header(file.data(), size_t(HeaderSize));
    const std::span<char> body(file.data() + HeaderSize, size_t(file.size() - HeaderSize));

    fillWithFiller(header, random);
    header[FirstMarker] = 1;
    header[SecondMarker] = 0;
    const std::array<quint8, 10> program = {
        0x60,
        quint8(0x70 + random.bounded(1, 6)),
        0x60,
        quint8(0x20 + random.bounded(1, 6)),
        quint8(0x50 + random.bounded(1, 14)),
        0x90,
        quint8(0x30 + random.bounded(1, 6)),
        0x60,
        NoStep,
        NoStep,
    };
    for (size_t i = 0; i < program.size(); ++i)
        header[size_t(ProgramPositions[i])] = char(program[i]);

    fillWithFiller(body, random);
    for (qsizetype k = 0; k < payload.size(); ++k)
        body[size_t(2 * k)] = payload[k];

    const auto length = quint32(payload.size());
    for (size_t i = 0; i < LengthPositions.size(); ++i)
        header[size_t(LengthPositions[i])] = char((length >> (8 * i)) & 0xFF);

    scrambleHeader(header);
    for (quint8 operation : program)
        runOperation(operation, Direction::Writing, body);
    return file;
}

std::optional<QByteArray> wrapPayload(QByteArrayView payload)
{
    QRandomGenerator random(QRandomGenerator::system()->generate());
    return wrapPayload(payload, random);
}

Unwrapped unwrapFile(QByteArrayView file)
{
    if (file.size() < MinimumFileSize)
        return {UnwrapError::TooShort, {}, 0};

    QByteArray header = file.first(HeaderSize).toByteArray();
    unscrambleHeader(header);
    if (header[FirstMarker] != 1 || header[SecondMarker] != 0)
        return {UnwrapError::NotAProjectFile, {}, 0};

    QByteArray body = file.sliced(HeaderSize).toByteArray();
    for (auto position = ProgramPositions.rbegin(); position != ProgramPositions.rend(); ++position)
        runOperation(quint8(header[*position]), Direction::Reading, body);

    quint32 length = 0;
    for (size_t i = 0; i < LengthPositions.size(); ++i)
        length |= quint32(quint8(header[LengthPositions[i]])) << (8 * i);

    // Payload byte k stands at body position 2k; in place, the payload is the
    // front of the body once every other byte has moved down.
    const qsizetype taken = std::min<qsizetype>(length, (body.size() + 1) / 2);
    char *data = body.data();
    for (qsizetype k = 0; k < taken; ++k)
        data[k] = data[2 * k];
    body.truncate(taken);
    return {UnwrapError::None, body, length};
}

} // namespace envelope
