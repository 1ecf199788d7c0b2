#include "archive.h"

QByteArray writePayload(Record &record)
{
    ArchiveWriter writer;
    writer.writeRecord(record);
    return writer.takeData();
}

ArchiveStatus readPayload(QByteArrayView payload, Record &record, const RecordRegistry &registry,
                          TrailingBytes trailing)
{
    ArchiveReader reader(payload, registry);
    reader.readRecord(record);
    if (reader.ok() && trailing == TrailingBytes::Rejected && !reader.atEnd()) {
        reader.fail(
            ArchiveError::Generic,
            QStringLiteral("%1 bytes follow the end of the record").arg(reader.remaining()));
    }
    return reader.status();
}
