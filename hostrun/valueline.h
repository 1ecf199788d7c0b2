#pragma once

#include "cmoddata.h"

#include <QString>

namespace hostrun {

enum class ValueLineFormat { Text, Json };

// One delivered value as one line of output (without the line end):
//   Text: 7 Chnl1.Dev1.Level Word 123 ok       (or bad when the tag is in error)
//   Json: {"id":7,"item":"Chnl1.Dev1.Level","type":"Word","value":123,"error":false}
// Text values are the driver's own texts; JSON values are numbers (floats in
// their shortest exact form), true or false for a Boolean, a string for a
// Char, and null for a type that carries no value or a float that is not finite.
QString formatValueLine(ValueLineFormat format, qint32 requestId, const QString &item,
                        const CModData &value, bool inError);

// "Word"; a code the driver never sends is shown as "Type13".
QString valueTypeName(int type);

} // namespace hostrun
