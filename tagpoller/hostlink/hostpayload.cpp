#include "hostpayload.h"

#include "archive.h"
#include "payloaddecode.h"

namespace HostPayload {

namespace {

// Storing only reads the record's fields; serialize() is shared with loading and
// therefore takes the record by non-const reference.
QByteArray encode(const Record &record)
{
    return writePayload(const_cast<Record &>(record));
}

template<class T> ArchiveStatus decode(QByteArrayView payload, T &target)
{
    // The host runtime's writer ends the payload with the record, but an
    // older reader of these payloads never looked past it, so bytes beyond
    // the record are tolerated as they always were.
    return decodePayloadInto(payload, target, recordClasses(), TrailingBytes::Allowed);
}

} // namespace

const RecordRegistry &recordClasses()
{
    static const RecordRegistry registry = [] {
        RecordRegistry r;
        // These class names are written into host payloads: part of the exchanged format.
        r.add<CReqTag>();
        r.add<CTxnTag>();
        return r;
    }();
    return registry;
}

QByteArray encodeItemRequest(const CAryReqTags &request)
{
    return encode(request);
}

QByteArray encodeTagValues(const CAryTxnTags &values)
{
    return encode(values);
}

ArchiveStatus decodeItemRequest(QByteArrayView payload, CAryReqTags &request)
{
    return decode(payload, request);
}

ArchiveStatus decodeTagValues(QByteArrayView payload, CAryTxnTags &values)
{
    return decode(payload, values);
}

} // namespace HostPayload
