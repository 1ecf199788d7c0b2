#include "faultrule.h"

#include "requesthandler.h"

#include <algorithm>

namespace mbsim {

const char *faultKindName(FaultKind kind)
{
    switch (kind) {
    case FaultKind::Exception:
        return "exception";
    case FaultKind::Delay:
        return "delay";
    case FaultKind::Drop:
        return "drop";
    case FaultKind::Split:
        return "split";
    case FaultKind::Merge:
        return "merge";
    case FaultKind::WrongTransactionId:
        return "wrong-tid";
    case FaultKind::Garbage:
        return "garbage";
    case FaultKind::Truncate:
        return "truncate";
    }
    return "unknown";
}

bool FaultRule::matches(const Request &request) const
{
    if (unitId && *unitId != request.unitId)
        return false;
    if (function && *function != request.function)
        return false;
    if (tableForFunction(request.function) != table)
        return false;
    // A malformed request still names an address; a quantity of 0 counts as one.
    const std::size_t requestStart = request.address;
    const std::size_t requestEnd = requestStart + std::max<std::size_t>(request.quantity, 1);
    const std::size_t ruleEnd = std::size_t{start} + count;
    return requestStart < ruleEnd && start < requestEnd;
}

} // namespace mbsim
