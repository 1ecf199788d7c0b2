// Reads arbitrary bytes as one of the SQL bridge's payloads: the first byte
// chooses tag values, alarms, connection settings or the version. Whatever the
// bytes, the read ends with a status and a refused payload leaves the target
// as it was; a payload that reads must write back to bytes that read again to
// the same bytes.
#include "sqlpayload.h"

#include <cstdlib>

namespace {

template<class T, class Decode, class Encode>
void check(QByteArrayView input, Decode decode, Encode encode, const T &sentinel)
{
    T decoded = sentinel;
    const ArchiveStatus status = decode(input, decoded);
    if (!status.ok()) {
        if (status.message.isEmpty() || status.offset < 0 || status.offset > input.size())
            std::abort();
        if (encode(decoded) != encode(sentinel))
            std::abort(); // a refused payload must change nothing
        return;
    }
    const QByteArray written = encode(decoded);
    T again;
    if (!decode(written, again).ok() || encode(again) != written)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView input(data + 1, qsizetype(size - 1));
    switch (data[0] & 3) {
    case 0: {
        auto tag = std::make_shared<CSqlTag>();
        tag->tagName = QStringLiteral("Sentinel");
        check(input, SqlPayload::decodeTagValues, SqlPayload::encodeTagValues, SqlTagList{tag});
        break;
    }
    case 1: {
        auto alarm = std::make_shared<CSqlAlarm>();
        alarm->comment = QStringLiteral("Sentinel");
        check(input, SqlPayload::decodeAlarms, SqlPayload::encodeAlarms, SqlAlarmList{alarm});
        break;
    }
    case 2: {
        SqlPayload::ConnectionSettings sentinel;
        sentinel.server = QStringLiteral("Sentinel");
        check(
            input, SqlPayload::decodeSettings,
            [](const SqlPayload::ConnectionSettings &s) { return SqlPayload::encodeSettings(s); },
            sentinel);
        break;
    }
    default:
        check(input, SqlPayload::decodeVersion, SqlPayload::encodeVersion,
              SqlPayload::Version{7, 9});
        break;
    }
    return 0;
}
