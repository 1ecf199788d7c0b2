#pragma once

#include "hostmsg.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The bytes of one message on its connection, as pure functions and a reader
// that knows nothing of sockets:
//
//   u32 magic · u32 kind · u32 msg · u32 0 · u64 wParam · i64 lParam ·
//   u64 dwData · u32 cbData · u32 0 · cbData payload bytes
//
// all little-endian. A send is answered with one little-endian i64.
namespace hostmsg {

inline constexpr quint32 FrameMagic = 0x314D484F; // "OHM1" on the wire
inline constexpr qsizetype FrameHeaderSize = 48;
inline constexpr qsizetype AnswerSize = 8;

// The header that goes before `message.payload`. The payload itself is written
// straight from the caller's buffer, so a large one is never copied.
QByteArray encodeFrameHeader(const Message &message);

QByteArray encodeAnswer(qint64 result);
// `bytes` must hold AnswerSize bytes.
qint64 decodeAnswer(QByteArrayView bytes);

// Collects one frame from the bytes a connection delivers, in pieces of any
// size. It asks for no more than the frame still lacks, so a caller reading
// only bytesWanted() never reads past the frame, and a bad header is refused
// before any of its payload is read.
class FrameReader
{
public:
    enum class State { Reading, Complete, Invalid };

    State state() const { return m_state; }
    // What the frame still lacks: 0 once it is complete or refused.
    qsizetype bytesWanted() const;
    // True once any byte has arrived: tells a cut frame from an empty connection.
    bool hasStarted() const { return !m_header.isEmpty(); }

    // Takes at most bytesWanted() bytes of `bytes` and returns how many it took.
    qsizetype append(QByteArrayView bytes);

    // Why the frame was refused (state Invalid).
    QString errorString() const { return m_errorString; }
    // The message of a complete frame.
    Message takeMessage();

private:
    void checkHeader();
    void refuse(const QString &reason);

    State m_state = State::Reading;
    QByteArray m_header;
    quint32 m_payloadSize = 0;
    Message m_message;
    QString m_errorString;
};

} // namespace hostmsg
