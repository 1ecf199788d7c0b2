#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QRandomGenerator>
#include <QString>

#include <optional>
#include <span>

// The envelope around a project file's payload: a 1024-byte scrambled header
// holding the payload length and a short program of reversible bit and byte
// operations, then a body of twice the payload's size in which the payload
// bytes stand at even positions among filler, scrambled by that program.
// Files must read and write byte-compatibly with the Windows programs, so the
// layout below is fixed; only the filler and the program's random parts vary.
namespace envelope {

inline constexpr qsizetype HeaderSize = 1024;
inline constexpr qsizetype MinimumPayload = 10;
inline constexpr qsizetype MaximumPayload = 104857600;
// Files shorter than this are not project files.
inline constexpr qsizetype MinimumFileSize = 2048;

// Returns the header followed by the body, or nothing for a payload shorter
// than 10 or longer than 100 MiB bytes, or when memory runs out.
std::optional<QByteArray> wrapPayload(QByteArrayView payload, QRandomGenerator &random);
std::optional<QByteArray> wrapPayload(QByteArrayView payload);

enum class UnwrapError { None, TooShort, NotAProjectFile };

struct Unwrapped
{
    UnwrapError error = UnwrapError::None;
    QByteArray payload;
    // The payload length the header announces; more than payload.size() when
    // the body was cut short.
    quint32 announcedLength = 0;
};

// Recovers the payload. A file shorter than 2048 bytes is TooShort; a header
// whose marker bytes are not 1 and 0 is NotAProjectFile.
Unwrapped unwrapFile(QByteArrayView file);

// The steps of the envelope, exposed for tests: each operation byte and its
// inverse, and the fixed header scrambling.
enum class Direction { Writing, Reading };
void runOperation(quint8 operation, Direction direction, std::span<char> buffer);
void pairExchange(std::span<char> buffer);
void scrambleHeader(std::span<char> header);
void unscrambleHeader(std::span<char> header);

} // namespace envelope
