#pragma once

#include "archive.h"

#include <utility>

// Reads a fresh record of type T from a received payload and hands it to
// `target` only when the whole read succeeded, so a bad message changes
// nothing the receiver holds.
template<class T>
ArchiveStatus decodePayloadInto(QByteArrayView payload, T &target, const RecordRegistry &registry,
                                TrailingBytes trailing = TrailingBytes::Allowed)
{
    T decoded;
    ArchiveStatus status = readPayload(payload, decoded, registry, trailing);
    if (status.ok())
        target = std::move(decoded);
    return status;
}
