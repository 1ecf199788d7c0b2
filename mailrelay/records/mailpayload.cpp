#include "mailpayload.h"

#include "archive.h"
#include "payloaddecode.h"

namespace MailPayload {

namespace {

// The payloads hold strings and integers only, never an object reference.
const RecordRegistry &noClasses()
{
    static const RecordRegistry registry;
    return registry;
}

QByteArray encode(const Record &record)
{
    // serialize() is shared with loading and takes the record by non-const
    // reference; storing only reads it.
    return writePayload(const_cast<Record &>(record));
}

template<class T> ArchiveStatus decode(QByteArrayView payload, T &target)
{
    // Bytes after the record were never looked at by the host runtime's
    // readers, so they are tolerated.
    return decodePayloadInto(payload, target, noClasses(), TrailingBytes::Allowed);
}

} // namespace

QByteArray encodeAccount(const CSMTPDetails &account)
{
    return encode(account);
}

QByteArray encodeEmail(const CMailDetails &email)
{
    return encode(email);
}

ArchiveStatus decodeAccount(QByteArrayView payload, CSMTPDetails &account)
{
    return decode(payload, account);
}

ArchiveStatus decodeEmail(QByteArrayView payload, CMailDetails &email)
{
    return decode(payload, email);
}

} // namespace MailPayload
