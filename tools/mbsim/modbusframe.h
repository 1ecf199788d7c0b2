#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace mbsim {

// Modbus TCP framing: the MBAP header is transaction id (2), protocol id (2),
// length (2, counting unit id and PDU) and unit id (1), all big-endian.
constexpr std::size_t kMbapHeaderLength = 7;
constexpr std::size_t kMinMbapLength = 2;   // unit id and function code
constexpr std::size_t kMaxMbapLength = 254; // unit id and a 253-byte PDU

enum class FrameStatus { Complete, NeedMoreBytes, Invalid };

struct FrameScan
{
    FrameStatus status = FrameStatus::NeedMoreBytes;
    std::size_t length = 0; // bytes of the whole ADU when Complete
};

// Looks at the front of a receive buffer. TCP is a stream: a request may arrive
// in pieces or several in one read, so only the length field delimits it. A
// header that cannot belong to Modbus TCP (protocol id not 0, length out of
// range) is Invalid: nothing after it can be trusted to be a frame boundary.
FrameScan scanFrame(std::span<const std::uint8_t> buffer);

// One request as received, decoded as far as the function allows.
struct Request
{
    std::uint16_t transactionId = 0;
    std::uint8_t unitId = 0;
    std::uint8_t function = 0;
    std::uint16_t address = 0;
    std::uint16_t quantity = 0;
    // Written values: registers for 6 and 16, 0 or 1 per coil for 5 and 15,
    // the AND and the OR mask for 22.
    std::vector<std::uint16_t> values;
    // The exception the request earns before any table is touched
    // (unknown function, malformed body, quantity or address out of range).
    std::optional<std::uint8_t> malformedException;
};

// Decodes one complete ADU (as delimited by scanFrame).
Request parseRequest(std::span<const std::uint8_t> adu);

bool isWriteFunction(std::uint8_t function);

// Builds the reply ADU around a PDU (function code first).
std::vector<std::uint8_t> encodeAdu(std::uint16_t transactionId, std::uint8_t unitId,
                                    std::span<const std::uint8_t> pdu);
std::vector<std::uint8_t> exceptionPdu(std::uint8_t function, std::uint8_t exceptionCode);

} // namespace mbsim
