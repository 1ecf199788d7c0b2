// Reads arbitrary bytes as a document of the test record classes. Whatever the
// bytes, the read must end cleanly with a status; a document that reads must
// write back to bytes that read again to the same document and bytes.
#include "goldenvectors.h"
#include "testrecords.h"

#include <cstdlib>

using namespace archivetest;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const RecordRegistry registry = makeRegistry();

    DocumentRecord document;
    const ArchiveStatus status =
        readPayload(QByteArrayView(data, qsizetype(size)), document, registry);
    if (!status.ok()) {
        if (status.message.isEmpty() || status.offset < 0 || status.offset > qsizetype(size))
            std::abort();
        return 0;
    }

    const QByteArray written = writePayload(document);
    DocumentRecord again;
    const ArchiveStatus reread = readPayload(written, again, registry, TrailingBytes::Rejected);
    if (!reread.ok() || describe(&again) != describe(&document) || writePayload(again) != written)
        std::abort();
    return 0;
}
