#include "projectjson.h"

#include "jsonprinter.h"
#include "projectfields.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

namespace ProjectJson {

namespace {

// The writing side of the ProjectFields walk.
class JsonObjectWriter
{
public:
    QJsonObject object;

    void name(QLatin1StringView key, const QString &field, const NameRule &)
    {
        object.insert(key, field);
    }
    template<typename Int> void integer(QLatin1StringView key, const Int &field, IntRange)
    {
        object.insert(key, qint64(field));
    }
    void flag(QLatin1StringView key, bool field) { object.insert(key, field); }
    void text(QLatin1StringView key, const QString &field) { object.insert(key, field); }
    void choice(QLatin1StringView key, const QString &field, const QStringList &)
    {
        object.insert(key, field);
    }
    void ipAddress(QLatin1StringView key, const std::array<qint32, 4> &octets)
    {
        QStringList parts;
        for (qint32 octet : octets)
            parts << QString::number(octet);
        object.insert(key, parts.join(QLatin1Char('.')));
    }
};

// The ProjectFields walk that only notes the keys, in walk order.
class KeyCollector
{
public:
    QStringList keys;

    void add(QLatin1StringView key)
    {
        if (!keys.contains(key))
            keys << key;
    }
    void name(QLatin1StringView key, const QString &, const NameRule &) { add(key); }
    template<typename Int> void integer(QLatin1StringView key, const Int &, IntRange) { add(key); }
    void flag(QLatin1StringView key, bool) { add(key); }
    void text(QLatin1StringView key, const QString &) { add(key); }
    void choice(QLatin1StringView key, const QString &, const QStringList &) { add(key); }
    void ipAddress(QLatin1StringView key, const std::array<qint32, 4> &) { add(key); }
};

QJsonArray tagsToJson(const TagList &tags)
{
    QJsonArray array;
    for (const auto &tag : tags) {
        JsonObjectWriter writer;
        ProjectFields::tag(std::as_const(*tag), writer);
        array.append(writer.object);
    }
    return array;
}

QJsonArray groupsToJson(const TagGroups &groups)
{
    QJsonArray array;
    for (const auto &group : groups) {
        JsonObjectWriter writer;
        ProjectFields::group(std::as_const(*group), writer);
        writer.object.insert("tags"_L1, tagsToJson(group->tags));
        writer.object.insert("groups"_L1, groupsToJson(group->groups));
        array.append(writer.object);
    }
    return array;
}

QJsonObject deviceToJson(const CModDevice &device)
{
    JsonObjectWriter writer;
    ProjectFields::device(device, writer);
    if (const auto *tcp = dynamic_cast<const CModTCPDev *>(&device))
        ProjectFields::tcpDevice(*tcp, writer);
    if (const auto *rtu = dynamic_cast<const CModRTUDev *>(&device))
        ProjectFields::rtuDevice(*rtu, writer);
    writer.object.insert("tags"_L1, tagsToJson(device.tags));
    writer.object.insert("groups"_L1, groupsToJson(device.groups));
    return writer.object;
}

QJsonObject channelToJson(const CModChnl &channel)
{
    JsonObjectWriter writer;
    ProjectFields::channel(channel, writer);
    if (channel.kind() == CModChnl::TcpKind) {
        writer.object.insert("kind"_L1, "tcp"_L1);
        ProjectFields::tcpChannel(static_cast<const CModTCPChnl &>(channel), writer);
    } else {
        writer.object.insert("kind"_L1, "rtu"_L1);
        ProjectFields::comProps(static_cast<const CModRTUChnl &>(channel).comProps, writer);
    }
    QJsonArray devices;
    for (const auto &device : channel.devices)
        devices.append(deviceToJson(*device));
    writer.object.insert("devices"_L1, devices);
    return writer.object;
}

QStringList collectKeyOrder()
{
    // One list serves every kind of object: the keys that two kinds share
    // ("tags", "groups") come in the same order in both.
    KeyCollector keys;
    keys.add("channels"_L1);
    keys.add("kind"_L1);
    const CModTCPChnl tcpChannel;
    const CModRTUChnl rtuChannel;
    const CModTCPDev device;
    const CModRTUDev rtuDevice;
    const CModTagGroup group;
    const CModTag tag;
    ProjectFields::channel(tcpChannel, keys);
    ProjectFields::tcpChannel(tcpChannel, keys);
    ProjectFields::comProps(rtuChannel.comProps, keys);
    ProjectFields::device(device, keys);
    ProjectFields::tcpDevice(device, keys);
    ProjectFields::rtuDevice(rtuDevice, keys);
    ProjectFields::group(group, keys);
    ProjectFields::tag(tag, keys);
    keys.add("tags"_L1);
    keys.add("groups"_L1);
    keys.add("devices"_L1);
    return keys.keys;
}

} // namespace

QJsonObject toJson(const Channels &channels)
{
    QJsonArray array;
    for (const auto &channel : channels)
        array.append(channelToJson(*channel));
    return QJsonObject{{"channels"_L1, array}};
}

QByteArray toText(const Channels &channels)
{
    return JsonPrinter(keyOrder()).print(toJson(channels));
}

const QStringList &keyOrder()
{
    static const QStringList order = collectKeyOrder();
    return order;
}

} // namespace ProjectJson
