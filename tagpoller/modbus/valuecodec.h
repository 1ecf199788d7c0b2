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

// How a device lays out the bytes of a register, the words of a 32-bit value
// and the double words of a 64-bit value.
struct WordOrder
{
    // DefaultByteOrder: set, a register is big-endian as on the wire; clear, the
    // two bytes of every register are swapped (both directions).
    bool bigEndianRegisters = true;
    // FirstWordLow: set, the lower-addressed register of each 32-bit pair holds
    // the low 16 bits.
    bool firstWordLow = true;
    // FirstDwordLow: set, the lower-addressed pair of a Double holds its low 32 bits.
    bool firstDwordLow = true;

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

// Which write functions a device takes, and whether bits of its holding
// registers may be written at all.
struct WriteFunctions
{
    // UseFunc06: clear, one register goes out as function 16 with quantity 1.
    bool singleRegister = true;
    // UseFunc05: clear, one coil goes out as function 15 with quantity 1.
    bool singleCoil = true;
    // HoldingBitMaskWrites: set, a Boolean tag on a holding-register bit is
    // written with function 22; clear, such writes are refused.
    bool registerBitMask = false;

    static WriteFunctions fromDevice(const CModDevice &device);
};

enum class DecodeError : quint8 {
    // String, Date and unknown codes: registers of these types are read
    // (planned) but never turned into a value.
    TypeNotDecoded,
    // Fewer registers than the data type occupies.
    TooFewRegisters,
    // A BCD or LBCD register with a digit above 9: the device holds no number.
    InvalidBcd,
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
// (one register for Boolean, Char, Byte, Short, Word and BCD, two for Long,
// DWord, Float and LBCD, four for Double; extra registers are ignored).
// `bitNumber` is used by Boolean only. BCD is held as a Word and LBCD as a
// DWord: the host knows them by their numbers.
DecodeResult decodeRegisters(int dataType, std::span<const quint16> registers, int bitNumber,
                             WordOrder wordOrder, BitOrder bitOrder);

// Whether a newly decoded value leaves the held one unchanged, so that the tag
// need not hand it over again: same type and value, and for Float and Double
// equal as numbers (a NaN is never unchanged, +0 and -0 are).
bool isUnchanged(const CModData &held, const CModData &decoded);

// Where a write goes. Discrete inputs and input registers are read only.
enum class WriteTarget : quint8 { Coil, HoldingRegister };

enum class EncodeError : quint8 {
    // Boolean tags at register addresses without mask writes, and String,
    // Date and unknown codes are never written.
    TypeNotWritten,
    // A coil holds only Boolean tags.
    NotBooleanCoil,
    // A Boolean tag whose bit number selects no bit of its register.
    NoSuchBit,
};

// One write request's payload.
struct WriteRequest
{
    ModbusTcp::FunctionCode function = ModbusTcp::FunctionCode::WriteSingleRegister;
    // Functions 6 and 16: the registers in address order, each as the
    // big-endian word to put on the wire. Empty for the other functions.
    QList<quint16> registers;
    // Functions 5 and 15.
    bool coilOn = false;
    // Function 22, as they go on the wire.
    quint16 andMask = 0xFFFF;
    quint16 orMask = 0;
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
// zero). `bitNumber` and `bitOrder` place a Boolean tag's bit in its register.
EncodeResult encodeWrite(const CModData &value, int tagDataType, WriteTarget target,
                         WordOrder wordOrder, WriteFunctions functions = {}, int bitNumber = 0,
                         BitOrder bitOrder = {});

} // namespace ValueCodec
