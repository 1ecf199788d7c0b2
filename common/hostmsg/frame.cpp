#include "frame.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace hostmsg {

namespace {

// Field offsets in the header; the two u32 at 12 and 44 are reserved and sent
// as 0. The receiver ignores them so that a later sender may use them.
constexpr qsizetype MagicOffset = 0;
constexpr qsizetype KindOffset = 4;
constexpr qsizetype MsgOffset = 8;
constexpr qsizetype WParamOffset = 16;
constexpr qsizetype LParamOffset = 24;
constexpr qsizetype DwDataOffset = 32;
constexpr qsizetype CbDataOffset = 40;

template<typename T> void put(QByteArray &bytes, qsizetype offset, T value)
{
    qToLittleEndian<T>(value, bytes.data() + offset);
}

template<typename T> T get(QByteArrayView bytes, qsizetype offset)
{
    T value{};
    if (offset + qsizetype(sizeof value) <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, sizeof value);
    return qFromLittleEndian(value);
}

} // namespace

QByteArray encodeFrameHeader(const Message &message)
{
    Q_ASSERT(quint64(message.payload.size()) <= MaxPayload);
    QByteArray header(FrameHeaderSize, '\0');
    put<quint32>(header, MagicOffset, FrameMagic);
    put<quint32>(header, KindOffset, quint32(message.kind));
    put<quint32>(header, MsgOffset, message.msg);
    put<quint64>(header, WParamOffset, message.wParam);
    put<qint64>(header, LParamOffset, message.lParam);
    put<quint64>(header, DwDataOffset, message.dwData);
    put<quint32>(header, CbDataOffset, quint32(message.payload.size()));
    return header;
}

QByteArray encodeAnswer(qint64 result)
{
    QByteArray bytes(AnswerSize, '\0');
    put<qint64>(bytes, 0, result);
    return bytes;
}

qint64 decodeAnswer(QByteArrayView bytes)
{
    Q_ASSERT(bytes.size() == AnswerSize);
    return qFromLittleEndian<qint64>(bytes.data());
}

qsizetype FrameReader::bytesWanted() const
{
    if (m_state != State::Reading)
        return 0;
    if (m_header.size() < FrameHeaderSize)
        return FrameHeaderSize - m_header.size();
    return qsizetype(m_payloadSize) - m_message.payload.size();
}

qsizetype FrameReader::append(QByteArrayView bytes)
{
    qsizetype taken = 0;
    while (taken < bytes.size() && m_state == State::Reading) {
        const qsizetype count = std::min(bytesWanted(), bytes.size() - taken);
        const QByteArrayView piece = bytes.sliced(taken, count);
        taken += count;
        if (m_header.size() < FrameHeaderSize) {
            m_header.append(piece);
            checkHeader();
        } else {
            m_message.payload.append(piece);
            if (m_message.payload.size() == qsizetype(m_payloadSize))
                m_state = State::Complete;
        }
    }
    return taken;
}

Message FrameReader::takeMessage()
{
    Q_ASSERT(m_state == State::Complete);
    return std::move(m_message);
}

void FrameReader::checkHeader()
{
    // Each field is checked as soon as it is complete, so that a stray client
    // writing text is turned away at once instead of when its time runs out.
    if (m_header.size() >= KindOffset) {
        const quint32 magic = get<quint32>(m_header, MagicOffset);
        if (magic != FrameMagic)
            return refuse(QStringLiteral("bad magic 0x%1").arg(magic, 8, 16, QLatin1Char('0')));
    }
    if (m_header.size() >= MsgOffset) {
        const quint32 kind = get<quint32>(m_header, KindOffset);
        if (kind != quint32(Kind::Send) && kind != quint32(Kind::Post))
            return refuse(QStringLiteral("unknown kind %1").arg(kind));
    }
    if (m_header.size() < FrameHeaderSize)
        return;

    m_payloadSize = get<quint32>(m_header, CbDataOffset);
    if (m_payloadSize > MaxPayload) {
        return refuse(QStringLiteral("payload of %1 bytes is over the limit of %2")
                          .arg(m_payloadSize)
                          .arg(MaxPayload));
    }
    m_message.kind = Kind(get<quint32>(m_header, KindOffset));
    m_message.msg = get<quint32>(m_header, MsgOffset);
    m_message.wParam = get<quint64>(m_header, WParamOffset);
    m_message.lParam = get<qint64>(m_header, LParamOffset);
    m_message.dwData = get<quint64>(m_header, DwDataOffset);
    if (m_payloadSize == 0)
        m_state = State::Complete;
}

void FrameReader::refuse(const QString &reason)
{
    m_state = State::Invalid;
    m_errorString = reason;
}

} // namespace hostmsg
