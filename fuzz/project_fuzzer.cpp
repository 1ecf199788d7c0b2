// Reads arbitrary bytes as a project: the first byte chooses between a whole
// file (envelope, then payload) and a bare payload, so the payload reader is
// reached without first guessing the envelope's scrambled markers. Whatever
// the bytes, the read ends with a result; a project that reads must save to a
// payload that reads back to the same bytes.
#include "projectfile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView input(data + 1, qsizetype(size - 1));
    const ProjectFile::Loaded loaded = (data[0] & 1)
                                           ? ProjectFile::decodePayload(input)
                                           : ProjectFile::loadBytes(input, QStringLiteral("fuzz"));
    if (loaded.error != ProjectFile::Error::None) {
        if (!loaded.channels.empty())
            std::abort(); // a failed load must hand back nothing
        return 0;
    }
    const QByteArray payload = ProjectFile::encodePayload(loaded.channels);
    const ProjectFile::Loaded again = ProjectFile::decodePayload(payload);
    if (again.error != ProjectFile::Error::None ||
        ProjectFile::encodePayload(again.channels) != payload)
        std::abort();
    return 0;
}
