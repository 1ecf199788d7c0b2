#include "datastore.h"

#include <algorithm>

namespace mbsim {

bool isBitTable(Table table)
{
    return table == Table::Coils || table == Table::DiscreteInputs;
}

UnitTables::UnitTables()
    : coils(kTableSize, 0)
    , discreteInputs(kTableSize, 0)
    , inputRegisters(kTableSize, 0)
    , holdingRegisters(kTableSize, 0)
{}

DataStore::DataStore(const std::vector<std::uint8_t> &unitIds)
{
    for (std::uint8_t unitId : unitIds)
        m_units.try_emplace(unitId);
}

bool DataStore::hasUnit(std::uint8_t unitId) const
{
    return m_units.contains(unitId);
}

std::vector<std::uint8_t> DataStore::unitIds() const
{
    std::vector<std::uint8_t> ids;
    for (const auto &entry : m_units)
        ids.push_back(entry.first);
    return ids;
}

UnitTables *DataStore::unit(std::uint8_t unitId)
{
    auto it = m_units.find(unitId);
    return it == m_units.end() ? nullptr : &it->second;
}

const UnitTables *DataStore::unit(std::uint8_t unitId) const
{
    auto it = m_units.find(unitId);
    return it == m_units.end() ? nullptr : &it->second;
}

std::optional<std::uint16_t> DataStore::value(std::uint8_t unitId, Table table,
                                              std::uint16_t address) const
{
    const UnitTables *tables = unit(unitId);
    if (!tables)
        return std::nullopt;
    switch (table) {
    case Table::Coils:
        return tables->coils[address];
    case Table::DiscreteInputs:
        return tables->discreteInputs[address];
    case Table::InputRegisters:
        return tables->inputRegisters[address];
    case Table::HoldingRegisters:
        return tables->holdingRegisters[address];
    }
    return std::nullopt;
}

bool DataStore::setValue(std::uint8_t unitId, Table table, std::uint16_t address,
                         std::uint16_t value)
{
    UnitTables *tables = unit(unitId);
    if (!tables)
        return false;
    const std::uint8_t bit = value != 0 ? 1 : 0;
    switch (table) {
    case Table::Coils:
        tables->coils[address] = bit;
        break;
    case Table::DiscreteInputs:
        tables->discreteInputs[address] = bit;
        break;
    case Table::InputRegisters:
        tables->inputRegisters[address] = value;
        break;
    case Table::HoldingRegisters:
        tables->holdingRegisters[address] = value;
        break;
    }
    return true;
}

std::vector<std::uint16_t> DataStore::values(std::uint8_t unitId, Table table,
                                             std::uint16_t address, std::size_t count) const
{
    std::vector<std::uint16_t> result;
    if (!hasUnit(unitId))
        return result;
    const std::size_t end = std::min(kTableSize, std::size_t{address} + count);
    for (std::size_t a = address; a < end; ++a)
        result.push_back(*value(unitId, table, static_cast<std::uint16_t>(a)));
    return result;
}

bool DataStore::setValues(std::uint8_t unitId, Table table, std::uint16_t address,
                          std::span<const std::uint16_t> values)
{
    if (!hasUnit(unitId) || std::size_t{address} + values.size() > kTableSize)
        return false;
    for (std::size_t i = 0; i < values.size(); ++i)
        setValue(unitId, table, static_cast<std::uint16_t>(address + i), values[i]);
    return true;
}

} // namespace mbsim
