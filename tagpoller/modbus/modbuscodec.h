#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <span>

// Modbus TCP requests and replies as pure functions over bytes: no socket, no
// event loop. The engine keeps the bytes of the request it sent and hands them,
// with each whole reply the framer yields, to checkReply().
namespace ModbusTcp {

// Protocol limits (Modbus Application Protocol 1.1b, sections 4.1 and 6). The
// request builders refuse anything beyond them and the reply checker measures
// replies against the same numbers.
inline constexpr int MaxReadRegisters = 125;
inline constexpr int MaxReadBits = 2000;
inline constexpr int MaxWriteRegisters = 123;
inline constexpr int MaxAduSize = 260;
// The MBAP header: transaction id (2), protocol id (2), length (2), unit id (1).
inline constexpr int MbapHeaderSize = 7;
// Bytes before the length field's count starts: transaction id, protocol id, length.
inline constexpr int MbapPrefixSize = 6;
// The length field counts the unit id and the PDU: at least unit id and function
// code, at most what fits in the largest ADU.
inline constexpr int MinMbapLength = 2;
inline constexpr int MaxMbapLength = MaxAduSize - MbapPrefixSize; // 254
inline constexpr quint16 ModbusProtocolId = 0;
// A server answers a refused request with the function code plus this flag.
inline constexpr quint8 ExceptionFlag = 0x80;
// Function 5 writes "on" as 0xFF00 and "off" as 0x0000; any other value is illegal.
inline constexpr quint16 CoilOnValue = 0xFF00;
inline constexpr quint16 CoilOffValue = 0x0000;

enum class FunctionCode : quint8 {
    ReadCoils = 1,
    ReadDiscreteInputs = 2,
    ReadHoldingRegisters = 3,
    ReadInputRegisters = 4,
    WriteSingleCoil = 5,
    WriteSingleRegister = 6,
    WriteMultipleCoils = 15,
    WriteMultipleRegisters = 16,
    MaskWriteRegister = 22,
};

bool isBitRead(FunctionCode function);
bool isRegisterRead(FunctionCode function);
bool isRead(FunctionCode function);
bool isWrite(FunctionCode function);
// True for the function codes above (without the exception flag).
bool isKnownFunction(quint8 byte);

// The request builders give the whole ADU, or an empty array when an argument is
// outside the protocol's limits (a quantity of 0 or above the function's limit,
// or a range that runs past address 65535).
QByteArray buildReadRequest(FunctionCode function, quint16 transactionId, quint8 unitId,
                            quint16 startAddress, quint16 quantity);
// The same into `adu`, reusing its memory: a channel polling thousands of
// times a second sends each read without allocating. False, with `adu` empty,
// for a request the builder above would refuse.
bool buildReadRequest(QByteArray &adu, FunctionCode function, quint16 transactionId, quint8 unitId,
                      quint16 startAddress, quint16 quantity);
QByteArray buildReadCoils(quint16 transactionId, quint8 unitId, quint16 start, quint16 quantity);
QByteArray buildReadDiscreteInputs(quint16 transactionId, quint8 unitId, quint16 start,
                                   quint16 quantity);
QByteArray buildReadHoldingRegisters(quint16 transactionId, quint8 unitId, quint16 start,
                                     quint16 quantity);
QByteArray buildReadInputRegisters(quint16 transactionId, quint8 unitId, quint16 start,
                                   quint16 quantity);
QByteArray buildWriteSingleCoil(quint16 transactionId, quint8 unitId, quint16 address, bool on);
QByteArray buildWriteSingleRegister(quint16 transactionId, quint8 unitId, quint16 address,
                                    quint16 value);
QByteArray buildWriteMultipleRegisters(quint16 transactionId, quint8 unitId, quint16 address,
                                       std::span<const quint16> values);
// Function 15 with the coils from `address` on, the first coil in the least
// significant bit of the first byte.
QByteArray buildWriteMultipleCoils(quint16 transactionId, quint8 unitId, quint16 address,
                                   std::span<const bool> coils);
// Function 22: the register becomes (register AND andMask) OR (orMask AND NOT andMask).
QByteArray buildMaskWriteRegister(quint16 transactionId, quint8 unitId, quint16 address,
                                  quint16 andMask, quint16 orMask);

// The MBAP header fields of an ADU (at least MbapHeaderSize bytes) and its
// function byte (0 when the ADU has none).
struct MbapHeader
{
    quint16 transactionId = 0;
    quint16 protocolId = 0;
    quint16 length = 0;
    quint8 unitId = 0;
};
MbapHeader parseHeader(QByteArrayView adu);
quint8 functionByte(QByteArrayView adu);

enum class ReplyStatus {
    Ok,                  // a matching normal reply; data holds its payload
    Exception,           // a matching exception reply; exceptionCode holds its code
    BadRequest,          // the request given is not one the builders make
    Malformed,           // shorter than a header and function code, protocol id not 0,
                         // or the length field disagrees with the ADU's size
    TransactionMismatch, // a reply to another request
    UnitMismatch,
    FunctionMismatch,  // neither the request's function nor its exception
    ByteCountMismatch, // byte count or ADU length not what the quantity asks for
    EchoMismatch,      // a write echo with another address, value or quantity
};

struct ReplyCheck
{
    ReplyStatus status = ReplyStatus::Malformed;
    quint8 exceptionCode = 0;
    // Reads: the bit bytes or the register bytes after the byte count. Writes:
    // the echoed address and value or quantity (4 bytes), and for function 22
    // the two masks (6 bytes). A view of the reply checked.
    QByteArrayView data;

    bool isOk() const { return status == ReplyStatus::Ok; }
};

// Checks one whole reply ADU against the request ADU that was sent: header,
// transaction id, unit id, function code or its exception, byte count against
// the quantity asked for (with the exact ADU length), and a write's echo.
ReplyCheck checkReply(QByteArrayView request, QByteArrayView reply);
// The check's data views the reply: a temporary reply would leave it dangling.
ReplyCheck checkReply(QByteArrayView request, QByteArray &&reply) = delete;

// Bit `index` of a bit read's data: byte index / 8, least significant bit first.
// False when the data is too short.
bool bitAt(QByteArrayView data, int index);
// Register `index` of a register read's data, big-endian. 0xFFFF when the data
// is too short, the value a missing register has always read as.
quint16 registerAt(QByteArrayView data, int index);
QList<bool> unpackBits(QByteArrayView data, int quantity);
QList<quint16> unpackRegisters(QByteArrayView data);

} // namespace ModbusTcp
