// Reads arbitrary bytes as a saved message file. A file that reads must write
// back to the same messages; one that does not must give no messages at all.
#include "savedmessages.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const savedmessages::Decoded decoded =
        savedmessages::decode(QByteArrayView(data, qsizetype(size)));
    if (!decoded.ok()) {
        if (!decoded.messages.empty() || decoded.status.message.isEmpty())
            std::abort();
        return 0;
    }
    const QByteArray written = savedmessages::encode(decoded.messages);
    const savedmessages::Decoded again = savedmessages::decode(written);
    if (!again.ok() || savedmessages::encode(again.messages) != written)
        std::abort();
    return 0;
}
