#include "savedmessages.h"

namespace savedmessages {

namespace {

// The file's outermost record: the bare array, without a class tag.
class MessageFile : public Record
{
    ORVALA_RECORD(MessageFile)
public:
    Messages messages;

    void serialize(Archive &ar) override { ar.objectArray(messages); }
};

// The file may hold CModMsg records and nothing else: a reader that knew the
// driver's other classes would build them only to refuse them afterwards.
const RecordRegistry &messageClasses()
{
    static const RecordRegistry registry = [] {
        RecordRegistry classes;
        // The class name is written into the file: part of the stored format.
        classes.add<CModMsg>();
        return classes;
    }();
    return registry;
}

} // namespace

QByteArray encode(const Messages &messages)
{
    MessageFile file;
    file.messages = messages;
    return writePayload(file);
}

Decoded decode(QByteArrayView bytes)
{
    MessageFile file;
    Decoded decoded;
    decoded.status = readPayload(bytes, file, messageClasses(), TrailingBytes::Rejected);
    if (decoded.ok())
        decoded.messages = std::move(file.messages);
    return decoded;
}

} // namespace savedmessages
