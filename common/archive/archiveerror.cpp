#include "archiveerror.h"

QString archiveErrorName(ArchiveError error)
{
    switch (error) {
    case ArchiveError::None:
        return QStringLiteral("no error");
    case ArchiveError::EndOfData:
        return QStringLiteral("end of data");
    case ArchiveError::Generic:
        return QStringLiteral("generic archive error");
    case ArchiveError::BadClass:
        return QStringLiteral("bad class");
    case ArchiveError::BadSchema:
        return QStringLiteral("bad schema");
    case ArchiveError::BadIndex:
        return QStringLiteral("bad index");
    }
    return QStringLiteral("unknown archive error");
}

QString describeArchiveStatus(const ArchiveStatus &status)
{
    return QStringLiteral("%1 at byte %2: %3")
        .arg(archiveErrorName(status.error))
        .arg(status.offset)
        .arg(status.message);
}
