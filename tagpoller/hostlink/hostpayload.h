#pragma once

#include "archiveerror.h"
#include "hostrecords.h"

#include <QByteArray>
#include <QByteArrayView>

// Encoding and decoding of the host link's payloads. Decoding never throws and
// never half-fills: on failure the target record is left exactly as it was and
// the status says what was wrong and where, so a bad message changes nothing.
namespace HostPayload {

// The record classes a host link payload may hold as array elements.
const RecordRegistry &recordClasses();

QByteArray encodeItemRequest(const CAryReqTags &request);
QByteArray encodeTagValues(const CAryTxnTags &values);

ArchiveStatus decodeItemRequest(QByteArrayView payload, CAryReqTags &request);
ArchiveStatus decodeTagValues(QByteArrayView payload, CAryTxnTags &values);

} // namespace HostPayload
