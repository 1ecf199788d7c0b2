#include "mbapframer.h"

#include "modbuscodec.h"

#include <algorithm>
#include <cstring>

using namespace ModbusTcp;

char *MbapFramer::appendSpace(qsizetype size)
{
    compact();
    if (qsizetype(m_buffer.size()) - m_end < size)
        m_buffer.resize(size_t(m_end + size));
    return m_buffer.data() + m_end;
}

void MbapFramer::commitAppended(qsizetype count)
{
    if (m_error != Error::None || count <= 0)
        return;
    m_end = std::min(m_end + count, qsizetype(m_buffer.size()));
}

void MbapFramer::append(QByteArrayView bytes)
{
    if (m_error != Error::None || bytes.isEmpty())
        return;
    std::memcpy(appendSpace(bytes.size()), bytes.data(), size_t(bytes.size()));
    m_end += bytes.size();
}

MbapFramer::Next MbapFramer::takeNext()
{
    Next next;
    if (m_error != Error::None) {
        next.kind = Next::Kind::ProtocolError;
        next.error = m_error;
        return next;
    }

    const QByteArrayView pending(m_buffer.data() + m_begin, m_end - m_begin);
    // Judge each header field as soon as it has arrived, so a bad peer is
    // dropped without waiting for bytes that may never come.
    if (pending.size() >= 4) {
        const quint16 protocolId = quint16((quint8(pending[2]) << 8) | quint8(pending[3]));
        if (protocolId != ModbusProtocolId)
            m_error = Error::BadProtocolId;
    }
    if (m_error == Error::None && pending.size() >= MbapPrefixSize) {
        const int length = (quint8(pending[4]) << 8) | quint8(pending[5]);
        if (length < MinMbapLength || length > MaxMbapLength)
            m_error = Error::BadLength;
        else if (pending.size() >= MbapPrefixSize + length) {
            next.kind = Next::Kind::Adu;
            next.adu = pending.first(MbapPrefixSize + length);
            m_begin += MbapPrefixSize + length;
            return next;
        }
    }
    if (m_error != Error::None) {
        m_begin = m_end = 0;
        next.kind = Next::Kind::ProtocolError;
        next.error = m_error;
    }
    return next;
}

void MbapFramer::clear()
{
    m_begin = m_end = 0;
    m_error = Error::None;
}

void MbapFramer::compact()
{
    // Move the unfinished tail (less than one ADU) to the front, so the buffer
    // never holds more than that tail plus one receive.
    if (m_begin == 0)
        return;
    const qsizetype tail = m_end - m_begin;
    if (tail > 0)
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, size_t(tail));
    m_begin = 0;
    m_end = tail;
}
