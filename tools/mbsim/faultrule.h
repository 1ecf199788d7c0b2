#pragma once

#include "datastore.h"
#include "modbusframe.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace mbsim {

enum class FaultKind {
    Exception,          // answer exceptionCode instead of carrying out the request (after `pause`)
    Delay,              // send the reply after `pause`
    Drop,               // close the connection instead of answering (request not carried out)
    Split,              // send the first `byteCount` bytes, the rest after `pause`
    Merge,              // hold the reply and send it with the next reply in one segment
    WrongTransactionId, // reply with transaction id + 1
    Garbage,            // as many bytes as the reply, all 0xA5, instead of the reply
    Truncate,           // send only the first `byteCount` bytes of the reply
};

const char *faultKindName(FaultKind kind);

// Which requests a fault applies to, and what it does to their replies.
// Rules are tried in the order they were added; the first that matches wins.
struct FaultRule
{
    std::optional<std::uint8_t> unitId = std::nullopt; // any unit when empty
    Table table = Table::HoldingRegisters;
    std::optional<std::uint8_t> function = std::nullopt; // any function of the table when empty
    std::uint16_t start = 0;
    std::size_t count = kTableSize; // the request matches when its range overlaps
    FaultKind kind = FaultKind::Exception;
    std::uint8_t exceptionCode = 2;
    std::chrono::milliseconds pause{0};
    std::size_t byteCount = 3;
    int times = 0; // 0: every matching request; n > 0: only the next n of them

    bool matches(const Request &request) const;
};

} // namespace mbsim
