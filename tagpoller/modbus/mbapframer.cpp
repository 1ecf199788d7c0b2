#include "mbapframer.h"

#include "modbuscodec.h"

using namespace ModbusTcp;

void MbapFramer::append(QByteArrayView bytes)
{
    if (m_error != Error::None)
        return;
    compact();
    m_buffer.append(bytes);
}

MbapFramer::Next MbapFramer::takeNext()
{
    Next next;
    if (m_error != Error::None) {
        next.kind = Next::Kind::ProtocolError;
        next.error = m_error;
        return next;
    }

    const QByteArrayView pending = QByteArrayView(m_buffer).sliced(m_readOffset);
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
            next.adu = pending.first(MbapPrefixSize + length).toByteArray();
            m_readOffset += MbapPrefixSize + length;
            return next;
        }
    }
    if (m_error != Error::None) {
        m_buffer.clear();
        m_readOffset = 0;
        next.kind = Next::Kind::ProtocolError;
        next.error = m_error;
    }
    return next;
}

void MbapFramer::clear()
{
    m_buffer.clear();
    m_readOffset = 0;
    m_error = Error::None;
}

void MbapFramer::compact()
{
    // Drop what was handed out before growing, so the buffer never holds more
    // than the unfinished tail plus one receive.
    if (m_readOffset == 0)
        return;
    m_buffer.remove(0, m_readOffset);
    m_readOffset = 0;
}
