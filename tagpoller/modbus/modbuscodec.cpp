#include "modbuscodec.h"

namespace ModbusTcp {

namespace {

// Request ADU sizes: header, function code, then two 16-bit fields; function 16
// adds a byte count and the register values.
constexpr int FixedRequestSize = MbapHeaderSize + 1 + 4;      // 12
constexpr int WriteMultipleHeaderSize = FixedRequestSize + 1; // 13, before the values
constexpr int ExceptionReplySize = MbapHeaderSize + 2;        // 9
constexpr int ReadReplyHeaderSize = MbapHeaderSize + 2;       // 9, before the data
constexpr int WriteEchoSize = FixedRequestSize;               // 12
// Function 22 has address, AND mask and OR mask, and its reply echoes all three.
constexpr int MaskWriteSize = MbapHeaderSize + 1 + 6; // 14
constexpr int MaxWriteCoils = 1968;
constexpr int AddressSpaceSize = 0x10000;

quint16 word(QByteArrayView bytes, qsizetype at)
{
    return quint16((quint8(bytes[at]) << 8) | quint8(bytes[at + 1]));
}

void appendWord(QByteArray &bytes, quint16 value)
{
    bytes.append(char(value >> 8));
    bytes.append(char(value & 0xFF));
}

// Starts `adu` anew with the header and function code; the length field
// counts the unit id, the function code and `pduDataSize` bytes after it.
// The array keeps its memory when it has room and is not shared.
void startAdu(QByteArray &adu, quint16 transactionId, quint8 unitId, FunctionCode function,
              int pduDataSize)
{
    adu.resize(0);
    adu.reserve(MbapHeaderSize + 1 + pduDataSize);
    appendWord(adu, transactionId);
    appendWord(adu, ModbusProtocolId);
    appendWord(adu, quint16(2 + pduDataSize));
    adu.append(char(unitId));
    adu.append(char(function));
}

QByteArray startAdu(quint16 transactionId, quint8 unitId, FunctionCode function, int pduDataSize)
{
    QByteArray adu;
    startAdu(adu, transactionId, unitId, function, pduDataSize);
    return adu;
}

void fixedRequest(QByteArray &adu, quint16 transactionId, quint8 unitId, FunctionCode function,
                  quint16 first, quint16 second)
{
    startAdu(adu, transactionId, unitId, function, 4);
    appendWord(adu, first);
    appendWord(adu, second);
}

QByteArray fixedRequest(quint16 transactionId, quint8 unitId, FunctionCode function, quint16 first,
                        quint16 second)
{
    QByteArray adu;
    fixedRequest(adu, transactionId, unitId, function, first, second);
    return adu;
}

int readLimit(FunctionCode function)
{
    return isBitRead(function) ? MaxReadBits : MaxReadRegisters;
}

bool rangeFits(quint16 start, int quantity)
{
    return int(start) + quantity <= AddressSpaceSize;
}

// What the checker needs to know about the request that was sent; `valid` is
// false for bytes the builders would not have produced.
struct SentRequest
{
    bool valid = false;
    MbapHeader header;
    FunctionCode function = FunctionCode::ReadCoils;
    quint16 quantity = 0; // reads and function 16
};

SentRequest parseRequest(QByteArrayView request)
{
    SentRequest sent;
    if (request.size() < FixedRequestSize || !isKnownFunction(functionByte(request)))
        return sent;
    sent.header = parseHeader(request);
    sent.function = FunctionCode(functionByte(request));
    if (sent.header.protocolId != ModbusProtocolId ||
        sent.header.length != request.size() - MbapPrefixSize)
        return sent;
    if (isRead(sent.function)) {
        sent.quantity = word(request, 10);
        sent.valid = request.size() == FixedRequestSize && sent.quantity >= 1 &&
                     sent.quantity <= readLimit(sent.function);
    } else if (sent.function == FunctionCode::WriteMultipleRegisters) {
        sent.quantity = word(request, 10);
        sent.valid = sent.quantity >= 1 && sent.quantity <= MaxWriteRegisters &&
                     request.size() == WriteMultipleHeaderSize + 2 * sent.quantity;
    } else if (sent.function == FunctionCode::WriteMultipleCoils) {
        sent.quantity = word(request, 10);
        sent.valid = sent.quantity >= 1 && sent.quantity <= MaxWriteCoils &&
                     request.size() == WriteMultipleHeaderSize + (sent.quantity + 7) / 8;
    } else if (sent.function == FunctionCode::MaskWriteRegister) {
        sent.valid = request.size() == MaskWriteSize;
    } else {
        sent.valid = request.size() == FixedRequestSize;
    }
    return sent;
}

ReplyCheck outcome(ReplyStatus status)
{
    ReplyCheck check;
    check.status = status;
    return check;
}

} // namespace

bool isBitRead(FunctionCode function)
{
    return function == FunctionCode::ReadCoils || function == FunctionCode::ReadDiscreteInputs;
}

bool isRegisterRead(FunctionCode function)
{
    return function == FunctionCode::ReadHoldingRegisters ||
           function == FunctionCode::ReadInputRegisters;
}

bool isRead(FunctionCode function)
{
    return isBitRead(function) || isRegisterRead(function);
}

bool isWrite(FunctionCode function)
{
    return function == FunctionCode::WriteSingleCoil ||
           function == FunctionCode::WriteSingleRegister ||
           function == FunctionCode::WriteMultipleCoils ||
           function == FunctionCode::WriteMultipleRegisters ||
           function == FunctionCode::MaskWriteRegister;
}

bool isKnownFunction(quint8 byte)
{
    return (byte >= 1 && byte <= 6) || byte == quint8(FunctionCode::WriteMultipleCoils) ||
           byte == quint8(FunctionCode::WriteMultipleRegisters) ||
           byte == quint8(FunctionCode::MaskWriteRegister);
}

QByteArray buildReadRequest(FunctionCode function, quint16 transactionId, quint8 unitId,
                            quint16 startAddress, quint16 quantity)
{
    QByteArray adu;
    buildReadRequest(adu, function, transactionId, unitId, startAddress, quantity);
    return adu;
}

bool buildReadRequest(QByteArray &adu, FunctionCode function, quint16 transactionId, quint8 unitId,
                      quint16 startAddress, quint16 quantity)
{
    if (!isRead(function) || quantity < 1 || quantity > readLimit(function) ||
        !rangeFits(startAddress, quantity)) {
        adu.resize(0);
        return false;
    }
    fixedRequest(adu, transactionId, unitId, function, startAddress, quantity);
    return true;
}

QByteArray buildReadCoils(quint16 transactionId, quint8 unitId, quint16 start, quint16 quantity)
{
    return buildReadRequest(FunctionCode::ReadCoils, transactionId, unitId, start, quantity);
}

QByteArray buildReadDiscreteInputs(quint16 transactionId, quint8 unitId, quint16 start,
                                   quint16 quantity)
{
    return buildReadRequest(FunctionCode::ReadDiscreteInputs, transactionId, unitId, start,
                            quantity);
}

QByteArray buildReadHoldingRegisters(quint16 transactionId, quint8 unitId, quint16 start,
                                     quint16 quantity)
{
    return buildReadRequest(FunctionCode::ReadHoldingRegisters, transactionId, unitId, start,
                            quantity);
}

QByteArray buildReadInputRegisters(quint16 transactionId, quint8 unitId, quint16 start,
                                   quint16 quantity)
{
    return buildReadRequest(FunctionCode::ReadInputRegisters, transactionId, unitId, start,
                            quantity);
}

QByteArray buildWriteSingleCoil(quint16 transactionId, quint8 unitId, quint16 address, bool on)
{
    return fixedRequest(transactionId, unitId, FunctionCode::WriteSingleCoil, address,
                        on ? CoilOnValue : CoilOffValue);
}

QByteArray buildWriteSingleRegister(quint16 transactionId, quint8 unitId, quint16 address,
                                    quint16 value)
{
    return fixedRequest(transactionId, unitId, FunctionCode::WriteSingleRegister, address, value);
}

QByteArray buildWriteMultipleRegisters(quint16 transactionId, quint8 unitId, quint16 address,
                                       std::span<const quint16> values)
{
    const int quantity = int(values.size());
    if (quantity < 1 || quantity > MaxWriteRegisters || !rangeFits(address, quantity))
        return {};
    // Address, quantity, byte count, then the values.
    QByteArray adu =
        startAdu(transactionId, unitId, FunctionCode::WriteMultipleRegisters, 4 + 1 + 2 * quantity);
    appendWord(adu, address);
    appendWord(adu, quint16(quantity));
    adu.append(char(2 * quantity));
    for (quint16 value : values)
        appendWord(adu, value);
    return adu;
}

QByteArray buildWriteMultipleCoils(quint16 transactionId, quint8 unitId, quint16 address,
                                   std::span<const bool> coils)
{
    const int quantity = int(coils.size());
    if (quantity < 1 || quantity > MaxWriteCoils || !rangeFits(address, quantity))
        return {};
    const int byteCount = (quantity + 7) / 8;
    QByteArray adu =
        startAdu(transactionId, unitId, FunctionCode::WriteMultipleCoils, 4 + 1 + byteCount);
    appendWord(adu, address);
    appendWord(adu, quint16(quantity));
    adu.append(char(byteCount));
    const qsizetype dataStart = adu.size();
    adu.append(byteCount, '\0');
    for (int i = 0; i < quantity; ++i) {
        if (coils[size_t(i)])
            adu[dataStart + i / 8] = char(quint8(adu[dataStart + i / 8]) | (1u << (i % 8)));
    }
    return adu;
}

QByteArray buildMaskWriteRegister(quint16 transactionId, quint8 unitId, quint16 address,
                                  quint16 andMask, quint16 orMask)
{
    QByteArray adu = startAdu(transactionId, unitId, FunctionCode::MaskWriteRegister, 6);
    appendWord(adu, address);
    appendWord(adu, andMask);
    appendWord(adu, orMask);
    return adu;
}

MbapHeader parseHeader(QByteArrayView adu)
{
    MbapHeader header;
    if (adu.size() < MbapHeaderSize)
        return header;
    header.transactionId = word(adu, 0);
    header.protocolId = word(adu, 2);
    header.length = word(adu, 4);
    header.unitId = quint8(adu[6]);
    return header;
}

quint8 functionByte(QByteArrayView adu)
{
    return adu.size() > MbapHeaderSize ? quint8(adu[MbapHeaderSize]) : 0;
}

ReplyCheck checkReply(QByteArrayView request, QByteArrayView reply)
{
    const SentRequest sent = parseRequest(request);
    if (!sent.valid)
        return outcome(ReplyStatus::BadRequest);

    if (reply.size() < MbapHeaderSize + 1 || reply.size() > MaxAduSize)
        return outcome(ReplyStatus::Malformed);
    const MbapHeader header = parseHeader(reply);
    if (header.protocolId != ModbusProtocolId || header.length != reply.size() - MbapPrefixSize)
        return outcome(ReplyStatus::Malformed);
    if (header.transactionId != sent.header.transactionId)
        return outcome(ReplyStatus::TransactionMismatch);
    if (header.unitId != sent.header.unitId)
        return outcome(ReplyStatus::UnitMismatch);

    const quint8 function = functionByte(reply);
    if (function == (quint8(sent.function) | ExceptionFlag)) {
        // An exception PDU is the flagged function code and one exception code.
        if (reply.size() != ExceptionReplySize)
            return outcome(ReplyStatus::ByteCountMismatch);
        ReplyCheck check = outcome(ReplyStatus::Exception);
        check.exceptionCode = quint8(reply[MbapHeaderSize + 1]);
        return check;
    }
    if (function != quint8(sent.function))
        return outcome(ReplyStatus::FunctionMismatch);

    if (isRead(sent.function)) {
        if (reply.size() < ReadReplyHeaderSize)
            return outcome(ReplyStatus::ByteCountMismatch);
        const int byteCount = quint8(reply[MbapHeaderSize + 1]);
        const int expected = isBitRead(sent.function) ? (sent.quantity + 7) / 8 : 2 * sent.quantity;
        if (byteCount != expected || reply.size() != ReadReplyHeaderSize + byteCount)
            return outcome(ReplyStatus::ByteCountMismatch);
        ReplyCheck check = outcome(ReplyStatus::Ok);
        check.data = reply.sliced(ReadReplyHeaderSize);
        return check;
    }

    // Every write reply echoes the request's first PDU data bytes: address and
    // value (5, 6), address and quantity (15, 16), or address and masks (22).
    const bool maskWrite = sent.function == FunctionCode::MaskWriteRegister;
    const int echoSize = maskWrite ? MaskWriteSize : WriteEchoSize;
    if (reply.size() != echoSize)
        return outcome(ReplyStatus::ByteCountMismatch);
    const QByteArrayView echo = reply.sliced(MbapHeaderSize + 1, echoSize - MbapHeaderSize - 1);
    if (echo != request.sliced(MbapHeaderSize + 1, echo.size()))
        return outcome(ReplyStatus::EchoMismatch);
    ReplyCheck check = outcome(ReplyStatus::Ok);
    check.data = echo;
    return check;
}

bool bitAt(QByteArrayView data, int index)
{
    if (index < 0 || index / 8 >= data.size())
        return false;
    return (quint8(data[index / 8]) >> (index % 8)) & 1;
}

quint16 registerAt(QByteArrayView data, int index)
{
    if (index < 0 || 2 * qsizetype(index) + 1 >= data.size())
        return 0xFFFF;
    return word(data, 2 * qsizetype(index));
}

QList<bool> unpackBits(QByteArrayView data, int quantity)
{
    QList<bool> bits;
    bits.reserve(qMax(0, quantity));
    for (int i = 0; i < quantity; ++i)
        bits.append(bitAt(data, i));
    return bits;
}

QList<quint16> unpackRegisters(QByteArrayView data)
{
    QList<quint16> registers;
    registers.reserve(data.size() / 2);
    for (qsizetype at = 0; at + 1 < data.size(); at += 2)
        registers.append(word(data, at));
    return registers;
}

} // namespace ModbusTcp
