#pragma once

#include "datastore.h"
#include "modbusframe.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace mbsim {

// The table a function code reads or writes; none for an unknown function.
std::optional<Table> tableForFunction(std::uint8_t function);

// Carries out a well-formed request (no malformedException) on one unit's tables
// and returns the reply PDU, function code first.
std::vector<std::uint8_t> executeRequest(const Request &request, UnitTables &tables);

} // namespace mbsim
