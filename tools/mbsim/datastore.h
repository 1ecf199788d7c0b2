#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace mbsim {

// The four Modbus data tables; addresses are the zero-based PDU addresses.
enum class Table { Coils, DiscreteInputs, InputRegisters, HoldingRegisters };

constexpr std::size_t kTableSize = 65536;

bool isBitTable(Table table);

// The data of one unit id: every address of every table exists.
struct UnitTables
{
    UnitTables();

    std::vector<std::uint8_t> coils;          // 0 or 1 per address
    std::vector<std::uint8_t> discreteInputs; // 0 or 1 per address
    std::vector<std::uint16_t> inputRegisters;
    std::vector<std::uint16_t> holdingRegisters;
};

// The tables of every configured unit id. Not thread-safe: the simulator guards it.
class DataStore
{
public:
    explicit DataStore(const std::vector<std::uint8_t> &unitIds);

    bool hasUnit(std::uint8_t unitId) const;
    std::vector<std::uint8_t> unitIds() const;
    UnitTables *unit(std::uint8_t unitId);
    const UnitTables *unit(std::uint8_t unitId) const;

    // Bits read and write as 0 or 1 (any non-zero value sets a bit). A unit that is
    // not configured reads as nothing and ignores writes; both say so.
    std::optional<std::uint16_t> value(std::uint8_t unitId, Table table,
                                       std::uint16_t address) const;
    bool setValue(std::uint8_t unitId, Table table, std::uint16_t address, std::uint16_t value);

    // Addresses past 65535 are cut off, so a block never wraps to address 0.
    std::vector<std::uint16_t> values(std::uint8_t unitId, Table table, std::uint16_t address,
                                      std::size_t count) const;
    bool setValues(std::uint8_t unitId, Table table, std::uint16_t address,
                   std::span<const std::uint16_t> values);

private:
    std::map<std::uint8_t, UnitTables> m_units;
};

} // namespace mbsim
