#include "modbusframe.h"

#include <modbus.h>

namespace mbsim {

namespace {

std::uint16_t readBigEndian16(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

void appendBigEndian16(std::vector<std::uint8_t> &bytes, std::uint16_t value)
{
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

bool rangeFits(std::uint16_t address, std::uint16_t quantity)
{
    return std::size_t{address} + quantity <= 65536;
}

// Checks quantity and address of a read; the body is start address and quantity.
void decodeRead(Request &request, std::span<const std::uint8_t> body, std::uint16_t maxQuantity)
{
    if (body.size() != 4) {
        request.malformedException = MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
        return;
    }
    request.address = readBigEndian16(body, 0);
    request.quantity = readBigEndian16(body, 2);
    if (request.quantity < 1 || request.quantity > maxQuantity)
        request.malformedException = MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
    else if (!rangeFits(request.address, request.quantity))
        request.malformedException = MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS;
}

void decodeWriteSingle(Request &request, std::span<const std::uint8_t> body)
{
    if (body.size() != 4) {
        request.malformedException = MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
        return;
    }
    request.address = readBigEndian16(body, 0);
    request.quantity = 1;
    const std::uint16_t value = readBigEndian16(body, 2);
    if (request.function == MODBUS_FC_WRITE_SINGLE_COIL) {
        // A coil is switched by exactly 0xFF00 (on) or 0x0000 (off).
        if (value != 0xFF00 && value != 0x0000)
            request.malformedException = MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
        request.values = {static_cast<std::uint16_t>(value == 0xFF00 ? 1 : 0)};
    } else {
        request.values = {value};
    }
}

void decodeWriteMultiple(Request &request, std::span<const std::uint8_t> body)
{
    const bool coils = request.function == MODBUS_FC_WRITE_MULTIPLE_COILS;
    if (body.size() < 5) {
        request.malformedException = MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
        return;
    }
    request.address = readBigEndian16(body, 0);
    request.quantity = readBigEndian16(body, 2);
    const std::size_t byteCount = body[4];
    const std::uint16_t maxQuantity = coils ? MODBUS_MAX_WRITE_BITS : MODBUS_MAX_WRITE_REGISTERS;
    const std::size_t expectedBytes =
        coils ? (std::size_t{request.quantity} + 7) / 8 : std::size_t{request.quantity} * 2;
    if (request.quantity < 1 || request.quantity > maxQuantity || byteCount != expectedBytes ||
        body.size() != 5 + byteCount) {
        request.malformedException = MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
        return;
    }
    if (!rangeFits(request.address, request.quantity)) {
        request.malformedException = MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS;
        return;
    }
    const auto data = body.subspan(5);
    for (std::size_t i = 0; i < request.quantity; ++i) {
        if (coils)
            request.values.push_back((data[i / 8] >> (i % 8)) & 1);
        else
            request.values.push_back(readBigEndian16(data, i * 2));
    }
}

// Function 22: address, AND mask, OR mask. The values are the two masks.
void decodeMaskWrite(Request &request, std::span<const std::uint8_t> body)
{
    if (body.size() != 6) {
        request.malformedException = MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
        return;
    }
    request.address = readBigEndian16(body, 0);
    request.quantity = 1;
    request.values = {readBigEndian16(body, 2), readBigEndian16(body, 4)};
}

} // namespace

FrameScan scanFrame(std::span<const std::uint8_t> buffer)
{
    if (buffer.size() < kMbapHeaderLength)
        return {FrameStatus::NeedMoreBytes, 0};
    const std::uint16_t protocolId = readBigEndian16(buffer, 2);
    const std::uint16_t length = readBigEndian16(buffer, 4);
    if (protocolId != 0 || length < kMinMbapLength || length > kMaxMbapLength)
        return {FrameStatus::Invalid, 0};
    const std::size_t total = 6 + std::size_t{length};
    if (buffer.size() < total)
        return {FrameStatus::NeedMoreBytes, 0};
    return {FrameStatus::Complete, total};
}

Request parseRequest(std::span<const std::uint8_t> adu)
{
    Request request;
    request.transactionId = readBigEndian16(adu, 0);
    request.unitId = adu[6];
    request.function = adu[7];
    const auto body = adu.subspan(8);
    switch (request.function) {
    case MODBUS_FC_READ_COILS:
    case MODBUS_FC_READ_DISCRETE_INPUTS:
        decodeRead(request, body, MODBUS_MAX_READ_BITS);
        break;
    case MODBUS_FC_READ_HOLDING_REGISTERS:
    case MODBUS_FC_READ_INPUT_REGISTERS:
        decodeRead(request, body, MODBUS_MAX_READ_REGISTERS);
        break;
    case MODBUS_FC_WRITE_SINGLE_COIL:
    case MODBUS_FC_WRITE_SINGLE_REGISTER:
        decodeWriteSingle(request, body);
        break;
    case MODBUS_FC_WRITE_MULTIPLE_COILS:
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS:
        decodeWriteMultiple(request, body);
        break;
    case MODBUS_FC_MASK_WRITE_REGISTER:
        decodeMaskWrite(request, body);
        break;
    default:
        request.malformedException = MODBUS_EXCEPTION_ILLEGAL_FUNCTION;
        break;
    }
    return request;
}

bool isWriteFunction(std::uint8_t function)
{
    return function == MODBUS_FC_WRITE_SINGLE_COIL || function == MODBUS_FC_WRITE_SINGLE_REGISTER ||
           function == MODBUS_FC_WRITE_MULTIPLE_COILS ||
           function == MODBUS_FC_WRITE_MULTIPLE_REGISTERS ||
           function == MODBUS_FC_MASK_WRITE_REGISTER;
}

std::vector<std::uint8_t> encodeAdu(std::uint16_t transactionId, std::uint8_t unitId,
                                    std::span<const std::uint8_t> pdu)
{
    std::vector<std::uint8_t> adu;
    adu.reserve(kMbapHeaderLength + pdu.size());
    appendBigEndian16(adu, transactionId);
    appendBigEndian16(adu, 0);
    appendBigEndian16(adu, static_cast<std::uint16_t>(pdu.size() + 1));
    adu.push_back(unitId);
    adu.insert(adu.end(), pdu.begin(), pdu.end());
    return adu;
}

std::vector<std::uint8_t> exceptionPdu(std::uint8_t function, std::uint8_t exceptionCode)
{
    return {static_cast<std::uint8_t>(function | 0x80), exceptionCode};
}

} // namespace mbsim
