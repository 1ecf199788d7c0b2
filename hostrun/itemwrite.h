#pragma once

#include "cmoddata.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace hostrun {

// One write as a user types it: NAME=VALUE, or NAME=VALUE:TYPE to name the
// value's data type.
struct ItemWrite
{
    QString item;
    QString valueText;
    // A data type code from Boolean to Double. None: the type of the item's
    // latest value decides when the write is sent.
    std::optional<int> type;
};

struct ParsedWrite
{
    std::optional<ItemWrite> write;
    QString errorString; // when there is no write
};

// Checks the form, and the value as well when the type is named.
ParsedWrite parseItemWrite(const QString &text);

// The types a value can be written as, by the names the driver shows them
// with ("Word", "Float", ...), in any letter case.
std::optional<int> writableTypeFromName(QStringView name);

struct ConvertedValue
{
    std::optional<CModData> value;
    QString errorString; // when there is no value
};

// The value `text` as data type `type` (Boolean to Double). Integers are
// decimal or 0x-hexadecimal and must fit the type; a Boolean is 0, 1, true,
// false, on or off; a Char is one character or a number from -128 to 127.
ConvertedValue convertValue(const QString &text, int type);

} // namespace hostrun
