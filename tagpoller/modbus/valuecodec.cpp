#include "valuecodec.h"

#include "cmoddevice.h"
#include "datatypes.h"

#include <bit>
#include <cfloat>
#include <cmath>

namespace ValueCodec {

namespace {

// Register bits are numbered 0 to 15; anything beyond selects nothing.
constexpr int RegisterBits = 16;

quint32 combineWords(quint16 first, quint16 second, WordOrder order)
{
    const quint16 high = order.firstWordLow ? second : first;
    const quint16 low = order.firstWordLow ? first : second;
    return (quint32(high) << 16) | low;
}

QList<quint16> splitWords(quint32 value, WordOrder order)
{
    const quint16 high = applyByteOrder(quint16(value >> 16), order);
    const quint16 low = applyByteOrder(quint16(value & 0xFFFF), order);
    return order.firstWordLow ? QList<quint16>{low, high} : QList<quint16>{high, low};
}

DecodeResult decoded(const CModData &value)
{
    return DecodeResult{value, DecodeError::TypeNotDecoded};
}

DecodeResult failed(DecodeError error)
{
    return DecodeResult{std::nullopt, error};
}

EncodeResult singleRegister(quint16 value, WordOrder order)
{
    WriteRequest request;
    request.function = ModbusTcp::FunctionCode::WriteSingleRegister;
    request.registers = {applyByteOrder(value, order)};
    return EncodeResult{request, EncodeError::TypeNotWritten};
}

// 32-bit values go out in one function 16 request, so that the device takes both
// halves at once and never holds half of the old value and half of the new.
EncodeResult twoRegisters(quint32 value, WordOrder order)
{
    WriteRequest request;
    request.function = ModbusTcp::FunctionCode::WriteMultipleRegisters;
    request.registers = splitWords(value, order);
    return EncodeResult{request, EncodeError::TypeNotWritten};
}

EncodeResult refused(EncodeError error)
{
    return EncodeResult{std::nullopt, error};
}

} // namespace

WordOrder WordOrder::fromDevice(const CModDevice &device)
{
    return WordOrder{device.DefaultByteOrder, device.FirstWordLow};
}

BitOrder BitOrder::fromDevice(const CModDevice &device)
{
    return BitOrder{device.ModiconBitOrder, device.ZeroBasedBitAddr};
}

QString errorText(DecodeError error)
{
    switch (error) {
    case DecodeError::TypeNotDecoded:
        return QStringLiteral("The data type is not decoded from registers.");
    case DecodeError::TooFewRegisters:
        return QStringLiteral("Fewer registers than the data type occupies.");
    }
    return {};
}

QString errorText(EncodeError error)
{
    switch (error) {
    case EncodeError::TypeNotWritten:
        return QStringLiteral("Values of this data type at this address are not written.");
    case EncodeError::NotBooleanCoil:
        return QStringLiteral("Only Boolean values are written to coils.");
    }
    return {};
}

quint16 applyByteOrder(quint16 registerValue, WordOrder order)
{
    return order.bigEndianRegisters ? registerValue
                                    : quint16((registerValue << 8) | (registerValue >> 8));
}

std::optional<quint16> registerBitMask(int bitNumber, BitOrder order)
{
    const int bit = order.zeroBasedBitAddr ? bitNumber : bitNumber - 1;
    // A one-based bit number of 0 would shift by -1; it selects no bit, like 16.
    if (bit < 0 || bit >= RegisterBits)
        return std::nullopt;
    return order.modiconBitOrder ? quint16(0x8000u >> bit) : quint16(1u << bit);
}

std::optional<bool> replyBit(QByteArrayView bitBytes, int index)
{
    if (index < 0 || index / 8 >= bitBytes.size())
        return std::nullopt;
    return (quint8(bitBytes[index / 8]) >> (index % 8) & 1) != 0;
}

CModData decodeBit(bool bit)
{
    CModData value;
    value.setBoolean(bit);
    return value;
}

DecodeResult decodeRegisters(int dataType, std::span<const quint16> registers, int bitNumber,
                             WordOrder wordOrder, BitOrder bitOrder)
{
    const qsizetype needed = DataTypeCode::registerCount(dataType);
    switch (dataType) {
    case DataTypeCode::Boolean:
    case DataTypeCode::Char:
    case DataTypeCode::Byte:
    case DataTypeCode::Short:
    case DataTypeCode::Word:
        if (registers.empty())
            return failed(DecodeError::TooFewRegisters);
        break;
    case DataTypeCode::Long:
    case DataTypeCode::DWord:
    case DataTypeCode::Float:
        if (qsizetype(registers.size()) < needed)
            return failed(DecodeError::TooFewRegisters);
        break;
    default:
        return failed(DecodeError::TypeNotDecoded);
    }

    const quint16 first = applyByteOrder(registers[0], wordOrder);
    // Char and Byte take the low byte after the byte order: the second byte on
    // the wire for big-endian registers, the first for swapped ones.
    const quint8 lowByte = quint8(first & 0xFF);
    CModData value;
    switch (dataType) {
    case DataTypeCode::Boolean: {
        const std::optional<quint16> mask = registerBitMask(bitNumber, bitOrder);
        value.setBoolean(mask && (first & *mask) != 0);
        break;
    }
    case DataTypeCode::Char:
        value.setChar(qint8(lowByte));
        break;
    case DataTypeCode::Byte:
        value.setByte(lowByte);
        break;
    case DataTypeCode::Short:
        value.setShort(qint16(first));
        break;
    case DataTypeCode::Word:
        value.setWord(first);
        break;
    default: {
        const quint16 second = applyByteOrder(registers[1], wordOrder);
        const quint32 combined = combineWords(first, second, wordOrder);
        if (dataType == DataTypeCode::Long)
            value.setLong(qint32(combined));
        else if (dataType == DataTypeCode::DWord)
            value.setDWord(combined);
        else
            value.setFloat(std::bit_cast<float>(combined));
        break;
    }
    }
    return decoded(value);
}

bool isUnchanged(const CModData &held, const CModData &decoded)
{
    if (held.type() != decoded.type())
        return false;
    // Floats compare as numbers: a NaN differs even from itself, so a device
    // reporting NaN keeps handing it over.
    if (held.type() == DataTypeCode::Float)
        return held.asDouble() == decoded.asDouble();
    return held == decoded;
}

bool fitsDataType(const CModData &value, int tagDataType)
{
    double number = 0;
    switch (value.type()) {
    case DataTypeCode::Boolean:
    case DataTypeCode::Char:
    case DataTypeCode::Byte:
    case DataTypeCode::Short:
    case DataTypeCode::Word:
    case DataTypeCode::Long:
    case DataTypeCode::DWord:
        number = double(value.asInteger64());
        break;
    case DataTypeCode::Float:
        number = double(value.asFloat());
        break;
    case DataTypeCode::Double:
        number = value.asDouble();
        break;
    default:
        return false; // a holder without a value has nothing to write
    }

    // Integer types take a fraction truncated toward zero, as they always
    // have; what lies outside their range is refused, never wrapped.
    const auto wholeIn = [number](double lowest, double highest) {
        return std::isfinite(number) && std::trunc(number) >= lowest &&
               std::trunc(number) <= highest;
    };
    switch (tagDataType) {
    case DataTypeCode::Boolean:
        return !std::isnan(number);
    case DataTypeCode::Char:
        return wholeIn(-128, 127);
    case DataTypeCode::Byte:
        return wholeIn(0, 255);
    case DataTypeCode::Short:
        return wholeIn(-32768, 32767);
    case DataTypeCode::Word:
        return wholeIn(0, 65535);
    case DataTypeCode::Long:
        return wholeIn(-2147483648.0, 2147483647.0);
    case DataTypeCode::DWord:
        return wholeIn(0, 4294967295.0);
    case DataTypeCode::Float:
        return !std::isfinite(number) || std::fabs(number) <= double(FLT_MAX);
    default:
        return true; // types that are never written are refused when encoded
    }
}

EncodeResult encodeWrite(const CModData &value, int tagDataType, WriteTarget target,
                         WordOrder wordOrder)
{
    if (target == WriteTarget::Coil) {
        if (tagDataType != DataTypeCode::Boolean)
            return refused(EncodeError::NotBooleanCoil);
        WriteRequest request;
        request.function = ModbusTcp::FunctionCode::WriteSingleCoil;
        request.coilOn = value.asBoolean(); // any non-zero value switches the coil on
        return EncodeResult{request, EncodeError::TypeNotWritten};
    }

    switch (tagDataType) {
    case DataTypeCode::Char:
        // A Char goes out sign-extended to the full register.
        return singleRegister(quint16(qint16(qint8(value.asInteger()))), wordOrder);
    case DataTypeCode::Byte:
        return singleRegister(quint8(value.asInteger()), wordOrder);
    case DataTypeCode::Short:
    case DataTypeCode::Word:
        return singleRegister(quint16(value.asInteger()), wordOrder);
    case DataTypeCode::Long:
        return twoRegisters(quint32(value.asInteger()), wordOrder);
    case DataTypeCode::DWord:
        return twoRegisters(quint32(value.asInteger64()), wordOrder);
    case DataTypeCode::Float:
        return twoRegisters(std::bit_cast<quint32>(value.asFloat()), wordOrder);
    default:
        // Bits of holding registers are refused when the write is queued (a bit
        // alone cannot be written with function 6 or 16); Double and the types
        // without a value in the holder have no register layout here.
        return refused(EncodeError::TypeNotWritten);
    }
}

} // namespace ValueCodec
