#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace mbsim {

// How a device spreads a value wider than one register over its registers,
// so that the simulator can hold the values a driver under test decodes.
struct RegisterLayout
{
    // The lower-addressed register of a 32-bit pair holds the low 16 bits.
    bool firstWordLow = true;
    // The lower-addressed pair of a 64-bit value holds the low 32 bits.
    bool firstDwordLow = true;
    // Registers go on the wire high byte first; false swaps the two bytes.
    bool bigEndianRegisters = true;
};

// The four registers of an IEEE double, in address order.
std::vector<std::uint16_t> doubleRegisters(double value, RegisterLayout layout);
// One register of four decimal digits (0..9999); nothing beyond.
std::optional<std::uint16_t> bcdRegister(std::uint32_t value, RegisterLayout layout);
// Two registers of eight decimal digits (0..99999999), in address order.
std::optional<std::vector<std::uint16_t>> lbcdRegisters(std::uint32_t value, RegisterLayout layout);

} // namespace mbsim
