#include "projectfile.h"

#include "projectenvelope.h"

#include <QFile>
#include <QSaveFile>

const RecordRegistry &projectRecordClasses()
{
    static const RecordRegistry registry = [] {
        RecordRegistry r;
        // These class names are written into project files: part of the stored format.
        r.add<CModRTUChnl>();
        r.add<CModTCPChnl>();
        r.add<CModRTUDev>();
        r.add<CModTCPDev>();
        r.add<CModTagGroup>();
        r.add<CModTag>();
        return r;
    }();
    return registry;
}

void ProjectPayload::serialize(Archive &ar)
{
    ar.uint16(format);
    ar.objectArray(channels);
}

namespace ProjectFile {

namespace {

void markGroupsRead(const TagGroups &groups)
{
    for (const auto &group : groups) {
        group->isNew = false;
        markGroupsRead(group->groups);
    }
}

void markRead(const Channels &channels)
{
    for (const auto &channel : channels) {
        channel->isNew = false;
        for (const auto &device : channel->devices) {
            device->isNew = false;
            markGroupsRead(device->groups);
        }
    }
}

} // namespace

QByteArray encodePayload(const Channels &channels)
{
    ProjectPayload payload;
    payload.channels = channels;
    return writePayload(payload);
}

Loaded decodePayload(QByteArrayView bytes)
{
    ProjectPayload payload;
    const ArchiveStatus status =
        readPayload(bytes, payload, projectRecordClasses(), TrailingBytes::Rejected);
    if (!status.ok()) {
        return {Error::Unreadable,
                QStringLiteral("%1 at byte %2: %3")
                    .arg(archiveErrorName(status.error))
                    .arg(status.offset)
                    .arg(status.message),
                {}};
    }
    markRead(payload.channels);
    return {Error::None, {}, std::move(payload.channels)};
}

Loaded loadBytes(QByteArrayView file, const QString &pathForMessages)
{
    const envelope::Unwrapped unwrapped = envelope::unwrapFile(file);
    switch (unwrapped.error) {
    case envelope::UnwrapError::TooShort:
        return {Error::TooShort, {}, {}};
    case envelope::UnwrapError::NotAProjectFile:
        return {Error::NotAProjectFile,
                QStringLiteral("The file %1 is not a Modbus project file.").arg(pathForMessages),
                {}};
    case envelope::UnwrapError::None:
        break;
    }
    if (unwrapped.announcedLength > quint32(unwrapped.payload.size())) {
        return {Error::Unreadable,
                QStringLiteral("The project file %1 is cut short: it holds %2 of its %3 bytes of "
                               "project data. No project was opened.")
                    .arg(pathForMessages)
                    .arg(unwrapped.payload.size())
                    .arg(unwrapped.announcedLength),
                {}};
    }
    Loaded loaded = decodePayload(unwrapped.payload);
    if (loaded.error == Error::Unreadable) {
        loaded.message = QStringLiteral("The project file %1 could not be read (%2). No project "
                                        "was opened.")
                             .arg(pathForMessages, loaded.message);
    }
    return loaded;
}

Loaded load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {Error::CannotOpen, {}, {}};
    // Project files hold at most 100 MiB of payload in twice that of body.
    const qint64 limit = 2 * envelope::MaximumPayload + 2 * envelope::HeaderSize;
    if (file.size() > limit) {
        return {Error::NotAProjectFile,
                QStringLiteral("The file %1 is too large to be a Modbus project file.").arg(path),
                {}};
    }
    const QByteArray bytes = file.readAll();
    return loadBytes(bytes, path);
}

Saved save(const QString &path, const Channels &channels)
{
    const auto wrapped = envelope::wrapPayload(encodePayload(channels));
    if (!wrapped)
        return {Error::CannotWrap, {}};

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(*wrapped) != wrapped->size() ||
        !file.commit()) {
        return {Error::CannotWrite, file.errorString()};
    }
    return {Error::None, {}};
}

} // namespace ProjectFile
