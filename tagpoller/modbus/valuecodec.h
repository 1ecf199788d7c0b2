#pragma once

#include "cmoddata.h"
#include "modbuscodec.h"

#include <QByteArrayView>
#include <QList>

#include <optional>
#include <span>

class CModDevice;

// Tag values to and from Modbus registers and bits, by a tag's data type and its
// device's encoding settings. Pure functions: the engine hands over the registers
// as read (each the big-endian 16-bit word of the wire) and sends what comes back.
namespace ValueCodec {

// How a device lays out the bytes of a register and the words of a 32-bit value.
struct WordOrder
{
    // DefaultByteOrder: set, a register is big-endian as on the wire; clear, the
    // two bytes of every register are swapped (both directions).
    bool bigEndianRegisters = true;
    // FirstWordLow: set, the lower-addressed register holds the low 16 bits.
    bool firstWordLow = true;

    static WordOrder fromDevice(const CModDevice &device);
};

// How a device numbers the bits of a register for Boolean tags at register addresses.
struct BitOrder
{
    // ModiconBitOrder: set, bit 0 is the most significant bit of the register.
    bool modiconBitOrder = false;
    // ZeroBasedBitAddr: clear, the tag's bit number counts from 1.
    bool zeroBasedBitAddr = true;

    static BitOrder fromDevice(const CModDevice &device);
};

enum class DecodeError : quint8 {
    // Double, String, BCD, LBCD, Date and unknown codes: registers of these types
    // are read (planned) but never turned into a value.
    TypeNotDecoded,
    // Fewer registers than the data type occupies.
    TooFewRegisters,
};

struct DecodeResult
{
    std::optional<CModData> value;
    DecodeError error = DecodeError::TypeNotDecoded; // meaningful only without a value

    bool ok() const { return value.has_value(); }
};

QString errorText(DecodeError error);

// The register with the device's byte order applied (the same swap both ways).
quint16 applyByteOrder(quint16 registerValue, WordOrder order);

// The mask that selects a tag's bit in a register (after the byte order), or
// nothing when the bit number selects no bit: 16 or more once the bit order has
// been applied, or bit 0 on a device whose bit numbers count from 1.
std::optional<quint16> registerBitMask(int bitNumber, BitOrder order);

// Bit `index` of a coil or discrete input reply's data bytes: bit (index mod 8)
// of byte (index div 8), least significant bit first. Nothing when the data is
// too short.
std::optional<bool> replyBit(QByteArrayView bitBytes, int index);

// A coil or discrete input bit as a tag value: always Boolean, whatever the
// tag's data type says.
CModData decodeBit(bool bit);

// The value of a register tag from its registers as read, in address order
// (one register for Boolean, Char, Byte, Short and Word, two for Long, DWord and
// Float; extra registers are ignored). `bitNumber` is used by Boolean only.
DecodeResult decodeRegisters(int dataType, std::span<const quint16> registers, int bitNumber,
                             WordOrder wordOrder, BitOrder bitOrder);

// Whether a newly decoded value leaves the held one unchanged, so that the tag
// need not hand it over again: same type and value, and for Float equal as
// numbers (a NaN is never unchanged, +0 and -0 are).
bool isUnchanged(const CModData &held, const CModData &decoded);

// Where a write goes. Discrete inputs and input registers are read only.
enum class WriteTarget : quint8 { Coil, HoldingRegister };

enum class EncodeError : quint8 {
    // Boolean tags at register addresses (bits of holding registers), and
    // Double, String, BCD, LBCD, Date and unknown codes are never written.
    TypeNotWritten,
    // A coil holds only Boolean tags.
    NotBooleanCoil,
};

// One write request's payload.
struct WriteRequest
{
    ModbusTcp::FunctionCode function = ModbusTcp::FunctionCode::WriteSingleRegister;
    // Function 6: one register, function 16: two, in address order, each as the
    // big-endian word to put on the wire. Empty for function 5.
    QList<quint16> registers;
    // Function 5 only.
    bool coilOn = false;
};

struct EncodeResult
{
    std::optional<WriteRequest> request;
    EncodeError error = EncodeError::TypeNotWritten; // meaningful only without a request

    bool ok() const { return request.has_value(); }
};

QString errorText(EncodeError error);

// Whether a tag of data type `tagDataType` can hold `value`: an integer type
// takes numbers whose whole part is in its range (70000 is no Word, -1 no
// DWord, NaN and 1e12 no Long; 300.7 is written to a Word as 300), a Float
// any value within its range (and NaN or an infinity), a Boolean any number
// (not 0 switches on). A write whose value
// does not fit is refused: wrapped or saturated it would put a value on the
// wire that nobody asked for.
bool fitsDataType(const CModData &value, int tagDataType);

// What to send to write `value` to a tag of data type `tagDataType` at `target`.
// The tag's data type decides the width and the function; the value is converted
// to it as the value holder converts (integers truncated, floats truncated toward
// zero).
EncodeResult encodeWrite(const CModData &value, int tagDataType, WriteTarget target,
                         WordOrder wordOrder);

} // namespace ValueCodec
