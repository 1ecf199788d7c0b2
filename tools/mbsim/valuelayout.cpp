#include "valuelayout.h"

#include <bit>

namespace mbsim {

namespace {

std::uint16_t ordered(std::uint16_t word, RegisterLayout layout)
{
    return layout.bigEndianRegisters ? word : static_cast<std::uint16_t>((word << 8) | (word >> 8));
}

void appendPair(std::vector<std::uint16_t> &registers, std::uint32_t value, RegisterLayout layout)
{
    const auto high = ordered(static_cast<std::uint16_t>(value >> 16), layout);
    const auto low = ordered(static_cast<std::uint16_t>(value & 0xFFFF), layout);
    registers.push_back(layout.firstWordLow ? low : high);
    registers.push_back(layout.firstWordLow ? high : low);
}

// Packed decimal: each decimal digit in its own four bits, least significant last.
std::uint32_t packedDecimal(std::uint32_t value, int digits)
{
    std::uint32_t packed = 0;
    for (int digit = 0; digit < digits; ++digit) {
        packed |= (value % 10) << (4 * digit);
        value /= 10;
    }
    return packed;
}

} // namespace

std::vector<std::uint16_t> doubleRegisters(double value, RegisterLayout layout)
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const auto high = static_cast<std::uint32_t>(bits >> 32);
    const auto low = static_cast<std::uint32_t>(bits & 0xFFFFFFFFu);
    std::vector<std::uint16_t> registers;
    appendPair(registers, layout.firstDwordLow ? low : high, layout);
    appendPair(registers, layout.firstDwordLow ? high : low, layout);
    return registers;
}

std::optional<std::uint16_t> bcdRegister(std::uint32_t value, RegisterLayout layout)
{
    if (value > 9999)
        return std::nullopt;
    return ordered(static_cast<std::uint16_t>(packedDecimal(value, 4)), layout);
}

std::optional<std::vector<std::uint16_t>> lbcdRegisters(std::uint32_t value, RegisterLayout layout)
{
    if (value > 99999999)
        return std::nullopt;
    std::vector<std::uint16_t> registers;
    appendPair(registers, packedDecimal(value, 8), layout);
    return registers;
}

} // namespace mbsim
