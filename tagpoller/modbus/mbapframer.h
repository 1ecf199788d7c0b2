#pragma once

#include <QByteArrayView>

#include <vector>

// Cuts the byte stream of a Modbus TCP connection into whole ADUs. TCP keeps no
// message boundaries: one receive may hold part of a reply or several replies,
// so the MBAP length field alone says where each ADU ends.
//
// Received bytes go straight into the framer's buffer (appendSpace() and
// commitAppended()) and ADUs come out as views of it, so a reply costs no
// copy and no allocation once the buffer has its working size.
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
        // Kind::Adu: the whole ADU, header included. It views the framer's
        // buffer and stays valid until the next append or clear().
        QByteArrayView adu;
        Error error = Error::None; // Kind::ProtocolError
    };

    // Room for `size` more bytes behind the buffered ones, for a receive to
    // fill; commitAppended() then says how many it wrote. The room is gone at
    // the next append or clear().
    char *appendSpace(qsizetype size);
    // Takes `count` bytes written into the room of appendSpace(). Ignored
    // after a protocol error, until clear().
    void commitAppended(qsizetype count);
    // Adds received bytes held elsewhere. Ignored after a protocol error,
    // until clear().
    void append(QByteArrayView bytes);

    // The next whole ADU, or NeedMore while the buffered bytes end in a partial
    // one, or ProtocolError as soon as the header shows one. A protocol error
    // stays until clear(): the stream has lost its framing and the caller closes
    // the connection.
    Next takeNext();

    // Forgets buffered bytes and any error, for a new connection. The buffer
    // keeps its memory for the next one.
    void clear();

    qsizetype bufferedSize() const { return m_end - m_begin; }
    Error error() const { return m_error; }

private:
    void compact();

    std::vector<char> m_buffer; // bytes [m_begin, m_end) are not handed out yet
    qsizetype m_begin = 0;
    qsizetype m_end = 0;
    Error m_error = Error::None;
};
