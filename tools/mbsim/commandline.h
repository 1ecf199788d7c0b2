#pragma once

#include "datastore.h"
#include "faultrule.h"
#include "simulatorstate.h"
#include "valuelayout.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mbsim {

// The pieces of the mbsim command line, parsed from text without touching a
// simulator, so that each can be checked on its own. Every parser returns
// nothing and fills `error` when the text does not fit.

// "1,2,5-8"
std::optional<std::vector<std::uint8_t>> parseUnitList(std::string_view text, std::string &error);

// "co", "di", "ir", "hr"
std::optional<Table> parseTableName(std::string_view text, std::string &error);

// --set TABLE:UNIT:ADDRESS[-LAST]=VALUE, or a value wider than a register:
// --set TABLE:UNIT:ADDRESS=TYPE[,LAYOUT...]:VALUE with TYPE double, bcd or lbcd.
struct ValueSetting
{
    std::uint8_t unit = 0;
    Table table = Table::HoldingRegisters;
    std::uint16_t address = 0;
    std::size_t count = 1;
    std::uint16_t value = 0;
    // A typed value's registers from `address` on; empty for a plain value.
    std::vector<std::uint16_t> registers;
};
std::optional<ValueSetting> parseValueSetting(std::string_view text, std::string &error);

// The registers of "TYPE[,LAYOUT...]:VALUE": double, bcd or lbcd, with the
// layout options word-high, dword-high and bytes-swapped.
std::optional<std::vector<std::uint16_t>> parseTypedValue(std::string_view text,
                                                          std::string &error);

// "UNITS:FUNCTIONS", e.g. "1,2:5,6,22": the listed units refuse the functions.
struct RefusalSetting
{
    std::vector<std::uint8_t> units;
    std::vector<std::uint8_t> functions;
};
std::optional<RefusalSetting> parseRefusalSetting(std::string_view text, std::string &error);

// --ramp TABLE:UNIT:ADDRESS[-LAST]@PERIODms
struct RampSetting
{
    std::uint8_t unit = 0;
    Table table = Table::HoldingRegisters;
    std::uint16_t address = 0;
    std::size_t count = 1;
    std::chrono::milliseconds period{1000};
};
std::optional<RampSetting> parseRampSetting(std::string_view text, std::string &error);

// --fault TABLE:UNIT:ADDRESS[-LAST]=KIND[:ARGUMENTS][*TIMES], UNIT "*" for any unit.
std::optional<FaultRule> parseFaultRule(std::string_view text, std::string &error);

// "gateway" or "silent"
std::optional<UnknownUnitPolicy> parseUnknownUnitPolicy(std::string_view text, std::string &error);

// The text --help shows for the value formats.
const char *commandLineFormatHelp();

} // namespace mbsim
