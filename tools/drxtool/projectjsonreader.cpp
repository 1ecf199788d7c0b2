#include "projectjsonreader.h"

#include "driverstrings.h"
#include "duplicatekeyfinder.h"
#include "project.h"
#include "tagaddress.h"

#include <QJsonDocument>
#include <QJsonParseError>

using namespace Qt::StringLiterals;

ProjectJsonReader::Result ProjectJsonReader::read(const QByteArray &jsonText,
                                                  const JsonReadOptions &options)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(jsonText, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return {
            {}, JsonProblem::atOffset(jsonText, parseError.offset, parseError.errorString()), {}};
    if (std::optional<JsonProblem> repeated = DuplicateKeyFinder::find(jsonText))
        return {{}, std::move(repeated), {}};
    return read(document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array()),
                options);
}

ProjectJsonReader::Result ProjectJsonReader::read(const QJsonValue &document,
                                                  const JsonReadOptions &options)
{
    ProjectJsonReader reader(options);
    Channels channels = reader.readProject(document);
    if (reader.m_problem)
        return {{}, std::move(reader.m_problem), {}};
    return {std::move(channels), std::nullopt, std::move(reader.m_findings.warnings)};
}

std::optional<QJsonObject> ProjectJsonReader::objectAt(const QJsonValue &value, const QString &path)
{
    if (value.isObject())
        return value.toObject();
    if (!m_problem) {
        m_problem = JsonProblem{
            path, QStringLiteral("expected an object, not %1").arg(describeJsonType(value))};
    }
    return std::nullopt;
}

Channels ProjectJsonReader::readProject(const QJsonValue &document)
{
    const std::optional<QJsonObject> root = objectAt(document, QString());
    if (!root)
        return {};
    JsonObjectReader fields(*root, QString(), m_findings, m_options);
    const QJsonArray channelArray = fields.array("channels"_L1);
    fields.rejectUnknownKeys();
    if (fields.failed())
        return {};
    // A project without channels has too short a payload to be wrapped; the
    // driver would refuse to save it.
    if (channelArray.isEmpty()) {
        fields.fail("channels"_L1, QStringLiteral("a project needs at least one channel"));
        return {};
    }
    // The window adds no channel past the limit, but loads a file with more.
    if (channelArray.size() > Project::MaxChannels) {
        fields.warn("channels"_L1, DriverString::format(DriverString::TooManyChannels,
                                                        {QString::number(Project::MaxChannels)}));
    }

    Channels channels;
    SiblingNames names;
    for (qsizetype i = 0; i < channelArray.size() && !m_problem; ++i) {
        const QString path = JsonPath::element(u"channels"_s, i);
        if (auto channel = readChannel(channelArray.at(i), path, names))
            channels.push_back(std::move(channel));
    }
    return channels;
}

std::shared_ptr<CModChnl>
ProjectJsonReader::readChannel(const QJsonValue &value, const QString &path, SiblingNames &siblings)
{
    const std::optional<QJsonObject> object = objectAt(value, path);
    if (!object)
        return nullptr;
    JsonObjectReader fields(*object, path, m_findings, m_options, &siblings);

    const std::optional<QString> kind = fields.requiredText("kind"_L1);
    if (!kind)
        return nullptr;
    std::shared_ptr<CModChnl> channel;
    if (*kind == "tcp"_L1) {
        auto tcp = std::make_shared<CModTCPChnl>();
        ProjectFields::channel(*tcp, fields);
        ProjectFields::tcpChannel(*tcp, fields);
        channel = std::move(tcp);
    } else if (*kind == "rtu"_L1) {
        auto rtu = std::make_shared<CModRTUChnl>();
        ProjectFields::channel(*rtu, fields);
        ProjectFields::comProps(rtu->comProps, fields);
        channel = std::move(rtu);
    } else {
        fields.fail("kind"_L1, QStringLiteral("expected \"tcp\" or \"rtu\""));
        return nullptr;
    }
    const QJsonArray deviceArray = fields.array("devices"_L1);
    fields.rejectUnknownKeys();
    if (fields.failed())
        return nullptr;

    SiblingNames names;
    const QString devicesPath = JsonPath::member(path, "devices"_L1);
    for (qsizetype i = 0; i < deviceArray.size() && !m_problem; ++i) {
        if (auto device =
                readDevice(deviceArray.at(i), JsonPath::element(devicesPath, i), *channel, names))
            channel->devices.push_back(std::move(device));
    }
    return m_problem ? nullptr : channel;
}

std::shared_ptr<CModDevice> ProjectJsonReader::readDevice(const QJsonValue &value,
                                                          const QString &path,
                                                          const CModChnl &channel,
                                                          SiblingNames &siblings)
{
    const std::optional<QJsonObject> object = objectAt(value, path);
    if (!object)
        return nullptr;
    JsonObjectReader fields(*object, path, m_findings, m_options, &siblings);
    std::shared_ptr<CModDevice> device = channel.newDevice();
    ProjectFields::device(*device, fields);
    if (auto *tcp = dynamic_cast<CModTCPDev *>(device.get()))
        ProjectFields::tcpDevice(*tcp, fields);
    if (auto *rtu = dynamic_cast<CModRTUDev *>(device.get()))
        ProjectFields::rtuDevice(*rtu, fields);
    return readContents(fields, path, device->tags, device->groups) ? device : nullptr;
}

void ProjectJsonReader::readGroups(const QJsonArray &array, const QString &path, TagGroups &groups)
{
    SiblingNames names;
    for (qsizetype i = 0; i < array.size() && !m_problem; ++i) {
        if (auto group = readGroup(array.at(i), JsonPath::element(path, i), names))
            groups.push_back(std::move(group));
    }
}

std::shared_ptr<CModTagGroup>
ProjectJsonReader::readGroup(const QJsonValue &value, const QString &path, SiblingNames &siblings)
{
    const std::optional<QJsonObject> object = objectAt(value, path);
    if (!object)
        return nullptr;
    JsonObjectReader fields(*object, path, m_findings, m_options, &siblings);
    auto group = std::make_shared<CModTagGroup>();
    ProjectFields::group(*group, fields);
    return readContents(fields, path, group->tags, group->groups) ? group : nullptr;
}

bool ProjectJsonReader::readContents(JsonObjectReader &fields, const QString &path, TagList &tags,
                                     TagGroups &groups)
{
    const QJsonArray tagArray = fields.array("tags"_L1);
    const QJsonArray groupArray = fields.array("groups"_L1);
    fields.rejectUnknownKeys();
    if (fields.failed())
        return false;
    readTags(tagArray, JsonPath::member(path, "tags"_L1), tags);
    readGroups(groupArray, JsonPath::member(path, "groups"_L1), groups);
    return !m_problem;
}

void ProjectJsonReader::readTags(const QJsonArray &array, const QString &path, TagList &tags)
{
    SiblingNames names;
    for (qsizetype i = 0; i < array.size() && !m_problem; ++i) {
        if (auto tag = readTag(array.at(i), JsonPath::element(path, i), names))
            tags.append(std::move(tag));
    }
}

std::shared_ptr<CModTag> ProjectJsonReader::readTag(const QJsonValue &value, const QString &path,
                                                    SiblingNames &siblings)
{
    const std::optional<QJsonObject> object = objectAt(value, path);
    if (!object)
        return nullptr;
    JsonObjectReader fields(*object, path, m_findings, m_options, &siblings);
    auto tag = std::make_shared<CModTag>();
    ProjectFields::tag(*tag, fields);
    fields.rejectUnknownKeys();
    if (fields.failed())
        return nullptr;
    checkTagAddress(*tag, fields);
    return fields.failed() ? nullptr : tag;
}

void ProjectJsonReader::checkTagAddress(CModTag &tag, JsonObjectReader &fields)
{
    // The tag dialog's order: an empty address first, then the address rules.
    // The driver loads any address text (its run refuses the tag), so a broken
    // one is taken with a warning.
    // Validation sets BitNumber as a side effect; a BitNumber given in the file
    // stays as given (the driver leaves a stale one in place when an address
    // loses its bit part, and such a file must come back unchanged).
    CModTag probe = tag;
    QString message;
    if (tag.TagAddress.isEmpty()) {
        fields.warn("TagAddress"_L1, DriverString::text(DriverString::EnterAddress));
    } else if (!validateAddress(probe, message)) {
        if (message.isEmpty())
            message = QStringLiteral("address beyond the data type's range");
        fields.warn("TagAddress"_L1, message);
    }

    if (!fields.has("AddressNumber"_L1))
        tag.AddressNumber = AddressText::leadingNumber(tag.TagAddress);
    if (!fields.has("BitNumber"_L1)) {
        const AddressText::Split split = AddressText::splitAddress(tag.TagAddress);
        tag.BitNumber = split.hasOneDot ? quint8(split.bitPart.toUInt()) : 0;
    }
}
