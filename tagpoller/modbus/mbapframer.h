#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Cuts the byte stream of a Modbus TCP connection into whole ADUs. TCP keeps no
// message boundaries: one receive may hold part of a reply or several replies,
// so the MBAP length field alone says where each ADU ends.
class MbapFramer
{
public:
    enum class Error {
        None,
        BadProtocolId, // not 0: the peer does not speak Modbus TCP
        BadLength,     // outside 2 to 254: no way to find the next ADU
    };

    struct Next
    {
        enum class Kind { NeedMore, Adu, ProtocolError };
        Kind kind = Kind::NeedMore;
        QByteArray adu;            // Kind::Adu: the whole ADU, header included
        Error error = Error::None; // Kind::ProtocolError
    };

    // Adds received bytes. Ignored after a protocol error, until clear().
    void append(QByteArrayView bytes);

    // The next whole ADU, or NeedMore while the buffered bytes end in a partial
    // one, or ProtocolError as soon as the header shows one. A protocol error
    // stays until clear(): the stream has lost its framing and the caller closes
    // the connection.
    Next takeNext();

    // Forgets buffered bytes and any error, for a new connection.
    void clear();

    qsizetype bufferedSize() const { return m_buffer.size() - m_readOffset; }
    Error error() const { return m_error; }

private:
    void compact();

    QByteArray m_buffer;
    qsizetype m_readOffset = 0; // bytes of m_buffer already handed out
    Error m_error = Error::None;
};
