#pragma once

#include "archive.h"
#include "modmsg.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLatin1StringView>

#include <memory>
#include <vector>

// The file that carries the last messages of the event message log from one
// run of the driver to the next: one object array of CModMsg records, oldest
// first, and nothing else.
//
// Both directions are pure functions over bytes, so the reader can be fuzzed
// and tested without files.
namespace savedmessages {

inline constexpr QLatin1StringView FileName{"ModErrMsgs.dat"};

using Messages = std::vector<std::shared_ptr<CModMsg>>;

QByteArray encode(const Messages &messages);

struct Decoded
{
    Messages messages;    // empty unless status.ok()
    ArchiveStatus status; // why the bytes are not a complete message file

    bool ok() const { return status.ok(); }
};

// Accepts only bytes that decode completely: a short, garbled or over-long
// file is refused as a whole, never partly taken.
Decoded decode(QByteArrayView bytes);

} // namespace savedmessages
