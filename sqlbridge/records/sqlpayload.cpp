#include "sqlpayload.h"

namespace SqlPayload {

namespace {

// The outermost part of each payload, written in place without a class tag.
struct TagValuesPayload : Record
{
    SqlTagList tags;
    QLatin1StringView className() const override { return QLatin1StringView("TagValues"); }
    void serialize(Archive &ar) override { ar.objectArray(tags); }
};

struct AlarmsPayload : Record
{
    SqlAlarmList alarms;
    QLatin1StringView className() const override { return QLatin1StringView("Alarms"); }
    void serialize(Archive &ar) override { ar.objectArray(alarms); }
};

struct SettingsPayload : Record
{
    qint16 leadingValue = 0;
    ConnectionSettings settings;
    QLatin1StringView className() const override { return QLatin1StringView("Settings"); }
    void serialize(Archive &ar) override
    {
        ar.int16(leadingValue);
        ar.string(settings.server);
        ar.string(settings.database);
        ar.string(settings.tagTable);
        ar.string(settings.alarmTable);
        ar.string(settings.user);
        ar.string(settings.password);
    }
};

struct VersionPayload : Record
{
    Version version;
    QLatin1StringView className() const override { return QLatin1StringView("Version"); }
    void serialize(Archive &ar) override
    {
        ar.int32(version.major);
        ar.int32(version.minor);
    }
};

// Bytes after the payload's end are tolerated, as every reader of the host
// runtime's payloads does.
template<class P> ArchiveStatus decode(QByteArrayView payload, P &decoded)
{
    return readPayload(payload, decoded, recordClasses(), TrailingBytes::Allowed);
}

} // namespace

const RecordRegistry &recordClasses()
{
    static const RecordRegistry registry = [] {
        RecordRegistry r;
        // Found by the class names the host runtime writes: part of the format.
        r.add<CSqlTag>();
        r.add<CSqlAlarm>();
        return r;
    }();
    return registry;
}

QByteArray encodeTagValues(const SqlTagList &tags)
{
    TagValuesPayload payload;
    payload.tags = tags;
    return writePayload(payload);
}

QByteArray encodeAlarms(const SqlAlarmList &alarms)
{
    AlarmsPayload payload;
    payload.alarms = alarms;
    return writePayload(payload);
}

QByteArray encodeSettings(const ConnectionSettings &settings, qint16 leadingValue)
{
    SettingsPayload payload;
    payload.leadingValue = leadingValue;
    payload.settings = settings;
    return writePayload(payload);
}

QByteArray encodeVersion(Version version)
{
    VersionPayload payload;
    payload.version = version;
    return writePayload(payload);
}

ArchiveStatus decodeTagValues(QByteArrayView payload, SqlTagList &tags)
{
    TagValuesPayload decoded;
    ArchiveStatus status = decode(payload, decoded);
    if (status.ok())
        tags = std::move(decoded.tags);
    return status;
}

ArchiveStatus decodeAlarms(QByteArrayView payload, SqlAlarmList &alarms)
{
    AlarmsPayload decoded;
    ArchiveStatus status = decode(payload, decoded);
    if (status.ok())
        alarms = std::move(decoded.alarms);
    return status;
}

ArchiveStatus decodeSettings(QByteArrayView payload, ConnectionSettings &settings)
{
    SettingsPayload decoded;
    ArchiveStatus status = decode(payload, decoded);
    if (status.ok())
        settings = std::move(decoded.settings);
    return status;
}

ArchiveStatus decodeVersion(QByteArrayView payload, Version &version)
{
    VersionPayload decoded;
    ArchiveStatus status = decode(payload, decoded);
    if (status.ok())
        version = decoded.version;
    return status;
}

} // namespace SqlPayload
