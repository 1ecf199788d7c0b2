#include "requesthandler.h"

#include <modbus.h>

namespace mbsim {

namespace {

void appendBigEndian16(std::vector<std::uint8_t> &bytes, std::uint16_t value)
{
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

std::vector<std::uint8_t> readBits(const Request &request, const std::vector<std::uint8_t> &bits)
{
    const std::size_t byteCount = (std::size_t{request.quantity} + 7) / 8;
    std::vector<std::uint8_t> pdu{request.function, static_cast<std::uint8_t>(byteCount)};
    pdu.resize(2 + byteCount, 0);
    // The first address is the least significant bit of the first byte.
    for (std::size_t i = 0; i < request.quantity; ++i) {
        if (bits[request.address + i])
            pdu[2 + i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
    }
    return pdu;
}

std::vector<std::uint8_t> readRegisters(const Request &request,
                                        const std::vector<std::uint16_t> &registers)
{
    std::vector<std::uint8_t> pdu{request.function,
                                  static_cast<std::uint8_t>(request.quantity * 2)};
    for (std::size_t i = 0; i < request.quantity; ++i)
        appendBigEndian16(pdu, registers[request.address + i]);
    return pdu;
}

// Functions 5 and 6 echo the request; 15 and 16 answer start address and quantity.
std::vector<std::uint8_t> writeEcho(const Request &request, std::uint16_t secondField)
{
    std::vector<std::uint8_t> pdu{request.function};
    appendBigEndian16(pdu, request.address);
    appendBigEndian16(pdu, secondField);
    return pdu;
}

} // namespace

std::optional<Table> tableForFunction(std::uint8_t function)
{
    switch (function) {
    case MODBUS_FC_READ_COILS:
    case MODBUS_FC_WRITE_SINGLE_COIL:
    case MODBUS_FC_WRITE_MULTIPLE_COILS:
        return Table::Coils;
    case MODBUS_FC_READ_DISCRETE_INPUTS:
        return Table::DiscreteInputs;
    case MODBUS_FC_READ_HOLDING_REGISTERS:
    case MODBUS_FC_WRITE_SINGLE_REGISTER:
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS:
    case MODBUS_FC_MASK_WRITE_REGISTER:
        return Table::HoldingRegisters;
    case MODBUS_FC_READ_INPUT_REGISTERS:
        return Table::InputRegisters;
    default:
        return std::nullopt;
    }
}

std::vector<std::uint8_t> executeRequest(const Request &request, UnitTables &tables)
{
    if (request.malformedException)
        return exceptionPdu(request.function, *request.malformedException);
    switch (request.function) {
    case MODBUS_FC_READ_COILS:
        return readBits(request, tables.coils);
    case MODBUS_FC_READ_DISCRETE_INPUTS:
        return readBits(request, tables.discreteInputs);
    case MODBUS_FC_READ_HOLDING_REGISTERS:
        return readRegisters(request, tables.holdingRegisters);
    case MODBUS_FC_READ_INPUT_REGISTERS:
        return readRegisters(request, tables.inputRegisters);
    case MODBUS_FC_WRITE_SINGLE_COIL:
        tables.coils[request.address] = static_cast<std::uint8_t>(request.values.at(0));
        return writeEcho(request, request.values.at(0) ? 0xFF00 : 0x0000);
    case MODBUS_FC_WRITE_SINGLE_REGISTER:
        tables.holdingRegisters[request.address] = request.values.at(0);
        return writeEcho(request, request.values.at(0));
    case MODBUS_FC_WRITE_MULTIPLE_COILS:
        for (std::size_t i = 0; i < request.values.size(); ++i)
            tables.coils[request.address + i] = static_cast<std::uint8_t>(request.values[i]);
        return writeEcho(request, request.quantity);
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS:
        for (std::size_t i = 0; i < request.values.size(); ++i)
            tables.holdingRegisters[request.address + i] = request.values[i];
        return writeEcho(request, request.quantity);
    case MODBUS_FC_MASK_WRITE_REGISTER: {
        // The bits the AND mask clears take the OR mask's value; the others stay.
        const std::uint16_t andMask = request.values.at(0);
        const std::uint16_t orMask = request.values.at(1);
        std::uint16_t &target = tables.holdingRegisters[request.address];
        target = static_cast<std::uint16_t>((target & andMask) | (orMask & ~andMask));
        std::vector<std::uint8_t> pdu = writeEcho(request, andMask);
        appendBigEndian16(pdu, orMask);
        return pdu;
    }
    default:
        return exceptionPdu(request.function, MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
    }
}

} // namespace mbsim
