#pragma once

#include "jsonproblem.h"

#include <QByteArrayView>

#include <optional>

// QJsonDocument keeps only the last of two members with the same key, so a
// setting given twice would silently lose one of its values. This scans JSON
// text that has already parsed without error and reports the first key that
// an object repeats, at its path ("channels[0].devices[1].DeviceId").
namespace DuplicateKeyFinder {

std::optional<JsonProblem> find(QByteArrayView validJson);

} // namespace DuplicateKeyFinder
