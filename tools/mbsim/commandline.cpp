#include "commandline.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace mbsim {

namespace {

template<typename Number> std::optional<Number> parseNumber(std::string_view text, Number maximum)
{
    std::uint64_t value = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (status != std::errc() || end != text.data() + text.size() || text.empty() ||
        value > static_cast<std::uint64_t>(maximum))
        return std::nullopt;
    return static_cast<Number>(value);
}

std::vector<std::string_view> splitOn(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

struct Block
{
    std::optional<std::uint8_t> unit; // none for "*"
    Table table = Table::HoldingRegisters;
    std::uint16_t address = 0;
    std::size_t count = 1;
};

// TABLE:UNIT:ADDRESS[-LAST]
std::optional<Block> parseBlock(std::string_view text, bool anyUnitAllowed, std::string &error)
{
    const std::vector<std::string_view> parts = splitOn(text, ':');
    if (parts.size() != 3) {
        error = "expected TABLE:UNIT:ADDRESS[-LAST], got \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    Block block;
    const std::optional<Table> table = parseTableName(parts[0], error);
    if (!table)
        return std::nullopt;
    block.table = *table;
    if (!(anyUnitAllowed && parts[1] == "*")) {
        block.unit = parseNumber<std::uint8_t>(parts[1], 255);
        if (!block.unit) {
            error = "unit id must be 0..255, got \"" + std::string(parts[1]) + "\"";
            return std::nullopt;
        }
    }
    const std::vector<std::string_view> range = splitOn(parts[2], '-');
    const auto first = parseNumber<std::uint16_t>(range[0], 65535);
    const auto last = range.size() == 2 ? parseNumber<std::uint16_t>(range[1], 65535) : first;
    if (range.size() > 2 || !first || !last || *last < *first) {
        error = "address must be 0..65535 or FIRST-LAST, got \"" + std::string(parts[2]) + "\"";
        return std::nullopt;
    }
    block.address = *first;
    block.count = std::size_t{*last} - *first + 1;
    return block;
}

std::optional<std::chrono::milliseconds> parseMilliseconds(std::string_view text)
{
    if (text.ends_with("ms"))
        text.remove_suffix(2);
    const auto value = parseNumber<std::uint32_t>(text, 3600000);
    if (!value)
        return std::nullopt;
    return std::chrono::milliseconds(*value);
}

bool parseFaultAction(std::string_view text, FaultRule &rule, std::string &error)
{
    const std::vector<std::string_view> parts = splitOn(text, ':');
    const std::string_view kind = parts[0];
    const std::size_t arguments = parts.size() - 1;
    auto fail = [&] {
        error = "unknown fault or wrong arguments: \"" + std::string(text) + "\"";
        return false;
    };
    if (kind == "exception" && arguments == 1) {
        const auto code = parseNumber<std::uint8_t>(parts[1], 255);
        if (!code || *code == 0)
            return fail();
        rule.kind = FaultKind::Exception;
        rule.exceptionCode = *code;
    } else if (kind == "delay" && arguments == 1) {
        const auto pause = parseMilliseconds(parts[1]);
        if (!pause)
            return fail();
        rule.kind = FaultKind::Delay;
        rule.pause = *pause;
    } else if (kind == "split" && arguments == 2) {
        const auto bytes = parseNumber<std::size_t>(parts[1], 260);
        const auto pause = parseMilliseconds(parts[2]);
        if (!bytes || !pause)
            return fail();
        rule.kind = FaultKind::Split;
        rule.byteCount = *bytes;
        rule.pause = *pause;
    } else if (kind == "truncate" && arguments == 1) {
        const auto bytes = parseNumber<std::size_t>(parts[1], 260);
        if (!bytes)
            return fail();
        rule.kind = FaultKind::Truncate;
        rule.byteCount = *bytes;
    } else if (kind == "drop" && arguments == 0) {
        rule.kind = FaultKind::Drop;
    } else if (kind == "merge" && arguments == 0) {
        rule.kind = FaultKind::Merge;
    } else if (kind == "wrong-tid" && arguments == 0) {
        rule.kind = FaultKind::WrongTransactionId;
    } else if (kind == "garbage" && arguments == 0) {
        rule.kind = FaultKind::Garbage;
    } else {
        return fail();
    }
    return true;
}

} // namespace

std::optional<std::vector<std::uint8_t>> parseUnitList(std::string_view text, std::string &error)
{
    std::vector<std::uint8_t> units;
    for (std::string_view item : splitOn(text, ',')) {
        const std::vector<std::string_view> range = splitOn(item, '-');
        const auto first = parseNumber<std::uint8_t>(range[0], 255);
        const auto last = range.size() == 2 ? parseNumber<std::uint8_t>(range[1], 255) : first;
        if (range.size() > 2 || !first || !last || *last < *first) {
            error =
                "unit ids must be 0..255 as a list like 1,2,5-8, got \"" + std::string(item) + "\"";
            return std::nullopt;
        }
        for (unsigned unit = *first; unit <= *last; ++unit)
            units.push_back(static_cast<std::uint8_t>(unit));
    }
    return units;
}

std::optional<Table> parseTableName(std::string_view text, std::string &error)
{
    if (text == "co")
        return Table::Coils;
    if (text == "di")
        return Table::DiscreteInputs;
    if (text == "ir")
        return Table::InputRegisters;
    if (text == "hr")
        return Table::HoldingRegisters;
    error = "table must be co, di, ir or hr, got \"" + std::string(text) + "\"";
    return std::nullopt;
}

std::optional<ValueSetting> parseValueSetting(std::string_view text, std::string &error)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        error = "expected TABLE:UNIT:ADDRESS[-LAST]=VALUE, got \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    const std::optional<Block> block = parseBlock(text.substr(0, equals), false, error);
    if (!block)
        return std::nullopt;
    const std::string_view valueText = text.substr(equals + 1);
    if (!valueText.empty() && std::isalpha(static_cast<unsigned char>(valueText.front()))) {
        if (isBitTable(block->table) || block->count != 1) {
            error = "a typed value goes to one register address of ir or hr, got \"" +
                    std::string(text) + "\"";
            return std::nullopt;
        }
        auto registers = parseTypedValue(valueText, error);
        if (!registers)
            return std::nullopt;
        if (std::size_t{block->address} + registers->size() > kTableSize) {
            error = "the value runs past address 65535: \"" + std::string(text) + "\"";
            return std::nullopt;
        }
        ValueSetting setting{*block->unit, block->table, block->address, registers->size(), 0, {}};
        setting.registers = std::move(*registers);
        return setting;
    }
    const auto value = parseNumber<std::uint16_t>(valueText, 65535);
    if (!value) {
        error = "value must be 0..65535, got \"" + std::string(text.substr(equals + 1)) + "\"";
        return std::nullopt;
    }
    return ValueSetting{*block->unit, block->table, block->address, block->count, *value, {}};
}

std::optional<std::vector<std::uint16_t>> parseTypedValue(std::string_view text, std::string &error)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        error = "expected TYPE[,LAYOUT...]:VALUE, got \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    const std::vector<std::string_view> words = splitOn(text.substr(0, colon), ',');
    const std::string_view type = words[0];
    const std::string_view number = text.substr(colon + 1);
    RegisterLayout layout;
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (words[i] == "word-high") {
            layout.firstWordLow = false;
        } else if (words[i] == "dword-high") {
            layout.firstDwordLow = false;
        } else if (words[i] == "bytes-swapped") {
            layout.bigEndianRegisters = false;
        } else {
            error = "layout must be word-high, dword-high or bytes-swapped, got \"" +
                    std::string(words[i]) + "\"";
            return std::nullopt;
        }
    }
    if (type == "double") {
        // strtod wants a terminated string; the whole text must be the number.
        const std::string digits(number);
        char *end = nullptr;
        const double value = std::strtod(digits.c_str(), &end);
        if (digits.empty() || end != digits.c_str() + digits.size()) {
            error = "double value must be a number, got \"" + digits + "\"";
            return std::nullopt;
        }
        return doubleRegisters(value, layout);
    }
    if (type == "bcd" || type == "lbcd") {
        const bool wide = type == "lbcd";
        const auto value = parseNumber<std::uint32_t>(number, wide ? 99999999u : 9999u);
        if (!value) {
            error = std::string(type) + " value must be 0.." + (wide ? "99999999" : "9999") +
                    ", got \"" + std::string(number) + "\"";
            return std::nullopt;
        }
        if (wide)
            return lbcdRegisters(*value, layout);
        return std::vector<std::uint16_t>{*bcdRegister(*value, layout)};
    }
    error = "type must be double, bcd or lbcd, got \"" + std::string(type) + "\"";
    return std::nullopt;
}

std::optional<RefusalSetting> parseRefusalSetting(std::string_view text, std::string &error)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        error = "expected UNITS:FUNCTIONS, got \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    auto units = parseUnitList(text.substr(0, colon), error);
    if (!units)
        return std::nullopt;
    RefusalSetting setting{std::move(*units), {}};
    for (std::string_view item : splitOn(text.substr(colon + 1), ',')) {
        const auto function = parseNumber<std::uint8_t>(item, 127);
        if (!function || *function == 0) {
            error = "function codes must be 1..127, got \"" + std::string(item) + "\"";
            return std::nullopt;
        }
        setting.functions.push_back(*function);
    }
    return setting;
}

std::optional<RampSetting> parseRampSetting(std::string_view text, std::string &error)
{
    const std::size_t at = text.find('@');
    if (at == std::string_view::npos) {
        error = "expected TABLE:UNIT:ADDRESS[-LAST]@PERIODms, got \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    const std::optional<Block> block = parseBlock(text.substr(0, at), false, error);
    if (!block)
        return std::nullopt;
    const auto period = parseMilliseconds(text.substr(at + 1));
    if (!period || period->count() == 0) {
        error = "period must be 1..3600000 ms, got \"" + std::string(text.substr(at + 1)) + "\"";
        return std::nullopt;
    }
    return RampSetting{*block->unit, block->table, block->address, block->count, *period};
}

std::optional<FaultRule> parseFaultRule(std::string_view text, std::string &error)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        error = "expected TABLE:UNIT:ADDRESS[-LAST]=KIND, got \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    const std::optional<Block> block = parseBlock(text.substr(0, equals), true, error);
    if (!block)
        return std::nullopt;
    FaultRule rule;
    rule.unitId = block->unit;
    rule.table = block->table;
    rule.start = block->address;
    rule.count = block->count;
    std::string_view action = text.substr(equals + 1);
    const std::size_t star = action.find('*');
    if (star != std::string_view::npos) {
        const auto times = parseNumber<int>(action.substr(star + 1), 1000000);
        if (!times) {
            error = "*TIMES must be a count, got \"" + std::string(action.substr(star)) + "\"";
            return std::nullopt;
        }
        rule.times = *times;
        action = action.substr(0, star);
    }
    if (!parseFaultAction(action, rule, error))
        return std::nullopt;
    return rule;
}

std::optional<UnknownUnitPolicy> parseUnknownUnitPolicy(std::string_view text, std::string &error)
{
    if (text == "gateway")
        return UnknownUnitPolicy::GatewayTargetFailed;
    if (text == "silent")
        return UnknownUnitPolicy::NoReply;
    error = "unknown-unit must be gateway or silent, got \"" + std::string(text) + "\"";
    return std::nullopt;
}

const char *commandLineFormatHelp()
{
    return R"(Tables: co coils, di discrete inputs, ir input registers, hr holding registers.
Addresses are zero-based PDU addresses 0..65535; FIRST-LAST is a block.

  --set hr:1:0=123          holding register 0 of unit 1 is 123
  --set co:2:10-19=1        coils 10..19 of unit 2 are on
  --set hr:1:20=double:-2.5 registers 20..23 hold the double -2.5
  --set hr:1:30=lbcd:12345678
                            registers 30..31 hold 12345678 as eight BCD digits
  --set hr:1:40=bcd:1234    register 40 holds 0x1234
                            Typed values may name their layout after the type,
                            e.g. double,word-high,dword-high,bytes-swapped:1.5;
                            by default the first word and double word are the
                            low ones and registers are big-endian.
  --refuse 1,2:5,6,22       units 1 and 2 answer functions 5, 6 and 22 with
                            exception 1 (illegal function)
  --ramp ir:1:0-9@100ms     input registers 0..9 of unit 1 count up every 100 ms
                            (bits toggle)
  --fault TABLE:UNIT:ADDRESS[-LAST]=KIND[*TIMES]
                            requests whose range overlaps the block get the fault;
                            UNIT * is any unit; *TIMES only the next TIMES requests.
     exception:CODE         answer exception CODE (2, 3, 6, ...)
     delay:MS               answer after MS milliseconds
     drop                   close the connection instead of answering
     split:BYTES:MS         send BYTES bytes, the rest MS milliseconds later
     merge                  hold the reply, send it with the next one in one segment
     wrong-tid              answer with transaction id + 1
     garbage                as many bytes 0xA5 as the reply has, instead of it
     truncate:BYTES         send only the first BYTES bytes of the reply
  --fault hr:1:100-109=exception:2
  --fault hr:*:0=delay:1500ms*3
)";
}

} // namespace mbsim
