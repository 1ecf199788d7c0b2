// Reads arbitrary bytes as a host link payload: the first byte chooses an item
// request or a value list (delivery or write request). Whatever the bytes, the
// read ends with a status and a refused payload leaves the record as it was;
// a payload that reads must write back to bytes that read again to the same
// bytes.
#include "hostpayload.h"

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
    if (data[0] & 1) {
        CAryTxnTags sentinel;
        sentinel.reserved = 0x5A5A;
        sentinel.entries.push_back(std::make_shared<CTxnTag>(42, CModData(), true));
        check(input, HostPayload::decodeTagValues, HostPayload::encodeTagValues, sentinel);
    } else {
        CAryReqTags sentinel;
        sentinel.header = 0x5A5A;
        sentinel.items.push_back(std::make_shared<CReqTag>(42, QStringLiteral("C.D.T")));
        check(input, HostPayload::decodeItemRequest, HostPayload::encodeItemRequest, sentinel);
    }
    return 0;
}
