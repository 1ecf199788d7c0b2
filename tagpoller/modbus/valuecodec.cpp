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

// Packed decimal, the last digit in the lowest four bits; nothing when a
// digit is above 9.
std::optional<quint32> fromPackedDecimal(quint32 packed, int digits)
{
    quint32 value = 0;
    for (int digit = digits - 1; digit >= 0; --digit) {
        const quint32 nibble = (packed >> (4 * digit)) & 0xF;
        if (nibble > 9)
            return std::nullopt;
        value = value * 10 + nibble;
    }
    return value;
}

quint32 toPackedDecimal(quint32 value, int digits)
{
    quint32 packed = 0;
    for (int digit = 0; digit < digits; ++digit) {
        packed |= (value % 10) << (4 * digit);
        value /= 10;
    }
    return packed;
}

quint64 combineDwords(std::span<const quint16> registers, WordOrder order)
{
    const quint32 first = combineWords(applyByteOrder(registers[0], order),
                                       applyByteOrder(registers[1], order), order);
    const quint32 second = combineWords(applyByteOrder(registers[2], order),
                                        applyByteOrder(registers[3], order), order);
    const quint32 high = order.firstDwordLow ? second : first;
    const quint32 low = order.firstDwordLow ? first : second;
    return (quint64(high) << 32) | low;
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

EncodeResult registers(QList<quint16> values)
{
    WriteRequest request;
    request.function = ModbusTcp::FunctionCode::WriteMultipleRegisters;
    request.registers = std::move(values);
    return EncodeResult{request, EncodeError::TypeNotWritten};
}

// 32-bit values go out in one function 16 request, so that the device takes both
// halves at once and never holds half of the old value and half of the new.
EncodeResult twoRegisters(quint32 value, WordOrder order)
{
    return registers(splitWords(value, order));
}

// A Double goes out whole in one function 16 request, for the same reason.
EncodeResult fourRegisters(quint64 value, WordOrder order)
{
    const QList<quint16> high = splitWords(quint32(value >> 32), order);
    const QList<quint16> low = splitWords(quint32(value & 0xFFFFFFFFu), order);
    return registers(order.firstDwordLow ? low + high : high + low);
}

EncodeResult refused(EncodeError error)
{
    return EncodeResult{std::nullopt, error};
}

} // namespace

WordOrder WordOrder::fromDevice(const CModDevice &device)
{
    return WordOrder{device.DefaultByteOrder, device.FirstWordLow, device.FirstDwordLow};
}

WriteFunctions WriteFunctions::fromDevice(const CModDevice &device)
{
    return WriteFunctions{device.UseFunc06 != 0, device.UseFunc05 != 0,
                          device.HoldingBitMaskWrites != 0};
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
    case DecodeError::InvalidBcd:
        return QStringLiteral("The register holds a digit above 9, no BCD value.");
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
    case EncodeError::NoSuchBit:
        return QStringLiteral("The bit number selects no bit of the register.");
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
    case DataTypeCode::BCD:
        if (registers.empty())
            return failed(DecodeError::TooFewRegisters);
        break;
    case DataTypeCode::Long:
    case DataTypeCode::DWord:
    case DataTypeCode::Float:
    case DataTypeCode::LBCD:
    case DataTypeCode::Double:
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
    case DataTypeCode::BCD: {
        const std::optional<quint32> number = fromPackedDecimal(first, 4);
        if (!number)
            return failed(DecodeError::InvalidBcd);
        value.setWord(quint16(*number));
        break;
    }
    case DataTypeCode::Double:
        value.setDouble(std::bit_cast<double>(combineDwords(registers, wordOrder)));
        break;
    case DataTypeCode::LBCD: {
        const quint32 packed =
            combineWords(first, applyByteOrder(registers[1], wordOrder), wordOrder);
        const std::optional<quint32> number = fromPackedDecimal(packed, 8);
        if (!number)
            return failed(DecodeError::InvalidBcd);
        value.setDWord(*number);
        break;
    }
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
    if (held.type() == DataTypeCode::Float || held.type() == DataTypeCode::Double)
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
    case DataTypeCode::Double:
        return true;
    case DataTypeCode::BCD:
        return wholeIn(0, 9999);
    case DataTypeCode::LBCD:
        return wholeIn(0, 99999999);
    default:
        return true; // types that are never written are refused when encoded
    }
}

EncodeResult encodeWrite(const CModData &value, int tagDataType, WriteTarget target,
                         WordOrder wordOrder, WriteFunctions functions, int bitNumber,
                         BitOrder bitOrder)
{
    if (target == WriteTarget::Coil) {
        if (tagDataType != DataTypeCode::Boolean)
            return refused(EncodeError::NotBooleanCoil);
        WriteRequest request;
        request.function = functions.singleCoil ? ModbusTcp::FunctionCode::WriteSingleCoil
                                                : ModbusTcp::FunctionCode::WriteMultipleCoils;
        request.coilOn = value.asBoolean(); // any non-zero value switches the coil on
        return EncodeResult{request, EncodeError::TypeNotWritten};
    }

    // One register: function 6, or 16 with quantity 1 for devices that lack 6.
    const auto oneRegister = [&](quint16 registerValue) {
        EncodeResult result = singleRegister(registerValue, wordOrder);
        if (!functions.singleRegister)
            result.request->function = ModbusTcp::FunctionCode::WriteMultipleRegisters;
        return result;
    };
    switch (tagDataType) {
    case DataTypeCode::Boolean: {
        if (!functions.registerBitMask)
            return refused(EncodeError::TypeNotWritten);
        const std::optional<quint16> mask = registerBitMask(bitNumber, bitOrder);
        if (!mask)
            return refused(EncodeError::NoSuchBit);
        // The bit rules count in the register after the byte order; the device
        // applies the masks to the register as it holds it.
        const quint16 wireMask = applyByteOrder(*mask, wordOrder);
        WriteRequest request;
        request.function = ModbusTcp::FunctionCode::MaskWriteRegister;
        request.andMask = quint16(~wireMask);
        request.orMask = value.asBoolean() ? wireMask : 0;
        return EncodeResult{request, EncodeError::TypeNotWritten};
    }
    case DataTypeCode::Char:
        // A Char goes out sign-extended to the full register.
        return oneRegister(quint16(qint16(qint8(value.asInteger()))));
    case DataTypeCode::Byte:
        return oneRegister(quint8(value.asInteger()));
    case DataTypeCode::Short:
    case DataTypeCode::Word:
        return oneRegister(quint16(value.asInteger()));
    case DataTypeCode::BCD:
        return oneRegister(quint16(toPackedDecimal(quint32(value.asInteger64()), 4)));
    case DataTypeCode::Long:
        return twoRegisters(quint32(value.asInteger()), wordOrder);
    case DataTypeCode::DWord:
        return twoRegisters(quint32(value.asInteger64()), wordOrder);
    case DataTypeCode::LBCD:
        return twoRegisters(toPackedDecimal(quint32(value.asInteger64()), 8), wordOrder);
    case DataTypeCode::Float:
        return twoRegisters(std::bit_cast<quint32>(value.asFloat()), wordOrder);
    case DataTypeCode::Double:
        return fourRegisters(std::bit_cast<quint64>(value.asDouble()), wordOrder);
    default:
        // The types without a value in the holder have no register layout.
        return refused(EncodeError::TypeNotWritten);
    }
}

} // namespace ValueCodec
