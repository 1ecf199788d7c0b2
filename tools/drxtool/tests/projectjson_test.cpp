// The JSON form of projects: printing, the round trip through project files,
// and the defaults of keys that are left out.
#include "drxcommands.h"
#include "jsonprinter.h"
#include "projectjson.h"
#include "projectjsonreader.h"
#include "testprojects.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>

using namespace testprojects;

namespace {

QStringList keysOf(const QJsonObject &object)
{
    QStringList keys = object.keys();
    keys.sort();
    return keys;
}

QStringList sorted(QStringList keys)
{
    keys.sort();
    return keys;
}

// The keys of each kind of object, as users find them documented.
const QStringList channelKeys{QStringLiteral("kind"),
                              QStringLiteral("ChannelName"),
                              QStringLiteral("ConnectTimeout"),
                              QStringLiteral("ReconnectAfter"),
                              QStringLiteral("MaxReconnectAttempts"),
                              QStringLiteral("WriteOptimization"),
                              QStringLiteral("DutyCycle"),
                              QStringLiteral("devices")};
const QStringList tcpChannelKeys =
    channelKeys + QStringList{QStringLiteral("NetworkAdapter"), QStringLiteral("SharedSocket"),
                              QStringLiteral("MaxSocketsPerDevice"), QStringLiteral("PortNumber"),
                              QStringLiteral("IpAddress")};
const QStringList rtuChannelKeys =
    channelKeys + QStringList{QStringLiteral("ComPort"),
                              QStringLiteral("BaudRate"),
                              QStringLiteral("DataBits"),
                              QStringLiteral("Parity"),
                              QStringLiteral("StopBits"),
                              QStringLiteral("FlowControl"),
                              QStringLiteral("EthernetEncapsulation"),
                              QStringLiteral("ReportCommErrors")};
const QStringList deviceKeys{
    QStringLiteral("DeviceName"),
    QStringLiteral("DeviceId"),
    QStringLiteral("TimingReserved"),
    QStringLiteral("RequestTimeout"),
    QStringLiteral("FailAfter"),
    QStringLiteral("InterRequestDelay"),
    QStringLiteral("AutoDemote"),
    QStringLiteral("DemoteAfter"),
    QStringLiteral("DemoteFor"),
    QStringLiteral("DiscardWritesWhileDemoted"),
    QStringLiteral("ZeroBasedAddr"),
    QStringLiteral("ZeroBasedBitAddr"),
    QStringLiteral("HoldingBitMaskWrites"),
    QStringLiteral("UseFunc06"),
    QStringLiteral("UseFunc05"),
    QStringLiteral("DefaultByteOrder"),
    QStringLiteral("FirstWordLow"),
    QStringLiteral("FirstDwordLow"),
    QStringLiteral("ModiconBitOrder"),
    QStringLiteral("OutputCoilBlock"),
    QStringLiteral("InputCoilBlock"),
    QStringLiteral("InternalRegBlock"),
    QStringLiteral("HoldingRegBlock"),
    QStringLiteral("BlockReadStrings"),
    QStringLiteral("TcpFraming"),
    QStringLiteral("LeadingBytes"),
    QStringLiteral("tags"),
    QStringLiteral("groups"),
};
const QStringList tcpDeviceKeys = deviceKeys + QStringList{QStringLiteral("DevicePort")};
const QStringList rtuDeviceKeys =
    deviceKeys + QStringList{QStringLiteral("Reserved"), QStringLiteral("ReservedByte1"),
                             QStringLiteral("ReservedByte2")};
const QStringList groupKeys{QStringLiteral("GroupName"), QStringLiteral("tags"),
                            QStringLiteral("groups")};
const QStringList tagKeys{QStringLiteral("TagName"),      QStringLiteral("Description"),
                          QStringLiteral("TagAddress"),   QStringLiteral("AddressNumber"),
                          QStringLiteral("BitNumber"),    QStringLiteral("DataType"),
                          QStringLiteral("ClientAccess"), QStringLiteral("ScanRate")};

QJsonObject parse(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    return document.object();
}

QJsonObject at(const QJsonObject &object, const char *list, int index)
{
    return object.value(QLatin1StringView(list)).toArray().at(index).toObject();
}

// Every key of `object` must hold a value other than in `defaults`, except the
// child lists.
void expectEverySettingChanged(const QJsonObject &object, const QJsonObject &defaults,
                               const char *what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(keysOf(object), keysOf(defaults));
    for (const QString &key : object.keys()) {
        if (key == u"devices" || key == u"tags" || key == u"groups" || key == u"kind")
            continue;
        EXPECT_NE(object.value(key), defaults.value(key)) << key.toStdString();
    }
}

Channels read(const QByteArray &json)
{
    ProjectJsonReader::Result result = ProjectJsonReader::read(json);
    EXPECT_TRUE(result.ok()) << result.problem->describe(QStringLiteral("json")).toStdString();
    return std::move(result.channels);
}

TEST(ProjectJsonRoundTrip, BuildDumpBuildGivesIdenticalPayloads)
{
    const QString json = tempPath(QStringLiteral("every.json"));
    const QString first = tempPath(QStringLiteral("first.drx"));
    const QString dumped = tempPath(QStringLiteral("dumped.json"));
    const QString second = tempPath(QStringLiteral("second.drx"));
    ASSERT_TRUE(writeFile(json, everySettingChanged()));

    const DrxCommands::Result built = DrxCommands::build(json, first);
    ASSERT_TRUE(built.ok()) << built.error.toStdString();
    EXPECT_TRUE(built.output.isEmpty());
    const DrxCommands::Result dump = DrxCommands::dump(first);
    ASSERT_TRUE(dump.ok()) << dump.error.toStdString();
    // The input is written the way dump prints, so it must come back unchanged:
    // every value, the key order, the indents and the escapes.
    EXPECT_EQ(dump.output.toStdString(), everySettingChanged().toStdString());

    ASSERT_TRUE(writeFile(dumped, dump.output));
    const DrxCommands::Result rebuilt = DrxCommands::build(dumped, second);
    ASSERT_TRUE(rebuilt.ok()) << rebuilt.error.toStdString();

    const ProjectFile::Loaded a = ProjectFile::load(first);
    const ProjectFile::Loaded b = ProjectFile::load(second);
    ASSERT_EQ(a.error, ProjectFile::Error::None) << a.message.toStdString();
    ASSERT_EQ(b.error, ProjectFile::Error::None) << b.message.toStdString();
    EXPECT_EQ(ProjectFile::encodePayload(a.channels).toHex().toStdString(),
              ProjectFile::encodePayload(b.channels).toHex().toStdString());

    // Spot checks that the values reached the model, not only the printout.
    ASSERT_EQ(a.channels.size(), 2u);
    const auto *tcp = dynamic_cast<const CModTCPChnl *>(a.channels[0].get());
    ASSERT_NE(tcp, nullptr);
    EXPECT_EQ(tcp->IpAddress, (std::array<qint32, 4>{192, 168, 1, 20}));
    ASSERT_EQ(tcp->devices.size(), 2u);
    EXPECT_EQ(static_cast<const CModTCPDev *>(tcp->devices[0].get())->DevicePort, 1502);
    const CModTag *deep = tcp->devices[0]->groups[0]->groups[0]->groups[0]->tags.at(0);
    EXPECT_EQ(deep->TagName, QStringLiteral("Tiefe"));
    const QString description = tcp->devices[0]->tags.at(1)->Description;
    EXPECT_TRUE(description.contains(QChar(0xDC00))) << "the lone surrogate survives";
    EXPECT_TRUE(description.contains(QStringLiteral("line\nbreak \x01")));
    EXPECT_EQ(tcp->devices[0]->tags.at(0)->TagName, QStringLiteral("Drehzahl_Ölpumpe"));
    const auto *rtu = dynamic_cast<const CModRTUChnl *>(a.channels[1].get());
    ASSERT_NE(rtu, nullptr);
    EXPECT_EQ(rtu->comProps.BaudRate, 14);
    EXPECT_EQ(rtu->devices[0]->LeadingBytes, -1);
    const auto *rtuDevice = dynamic_cast<const CModRTUDev *>(rtu->devices[0].get());
    ASSERT_NE(rtuDevice, nullptr);
    EXPECT_EQ(rtuDevice->Reserved, -7);
    EXPECT_EQ(rtuDevice->ReservedByte2, 255);
}

TEST(ProjectJsonRoundTrip, FixtureChangesEverySettingFromItsDefault)
{
    const QJsonObject every = parse(everySettingChanged());
    auto tcp = std::make_shared<CModTCPChnl>();
    tcp->devices.push_back(std::make_shared<CModTCPDev>());
    tcp->devices[0]->tags.append(std::make_shared<CModTag>());
    auto rtu = std::make_shared<CModRTUChnl>();
    rtu->devices.push_back(std::make_shared<CModRTUDev>());
    const QJsonObject defaults = ProjectJson::toJson({tcp, rtu});

    const QJsonObject tcpJson = at(every, "channels", 0);
    const QJsonObject rtuJson = at(every, "channels", 1);
    expectEverySettingChanged(tcpJson, at(defaults, "channels", 0), "TCP channel");
    expectEverySettingChanged(at(tcpJson, "devices", 0),
                              at(at(defaults, "channels", 0), "devices", 0), "TCP device");
    expectEverySettingChanged(at(at(tcpJson, "devices", 0), "tags", 0),
                              at(at(at(defaults, "channels", 0), "devices", 0), "tags", 0), "tag");
    expectEverySettingChanged(rtuJson, at(defaults, "channels", 1), "RTU channel");
    expectEverySettingChanged(at(rtuJson, "devices", 0),
                              at(at(defaults, "channels", 1), "devices", 0), "RTU device");
}

TEST(ProjectJsonDump, FileWrittenByTheModelPrintsEveryKey)
{
    const QString path = tempPath(QStringLiteral("model.drx"));
    const Channels project = modelProject();
    ASSERT_EQ(ProjectFile::save(path, project).error, ProjectFile::Error::None);

    const DrxCommands::Result dump = DrxCommands::dump(path);
    ASSERT_TRUE(dump.ok()) << dump.error.toStdString();
    const QJsonObject root = parse(dump.output);
    EXPECT_EQ(root.keys(), QStringList{QStringLiteral("channels")});

    const QJsonObject tcp = at(root, "channels", 0);
    EXPECT_EQ(keysOf(tcp), sorted(tcpChannelKeys));
    EXPECT_EQ(tcp.value(u"kind"), QJsonValue(QStringLiteral("tcp")));
    EXPECT_EQ(tcp.value(u"IpAddress"), QJsonValue(QStringLiteral("10.0.0.7")));
    EXPECT_EQ(tcp.value(u"NetworkAdapter"), QJsonValue(QStringLiteral("RealTek Adapter")));
    const QJsonObject device = at(tcp, "devices", 0);
    EXPECT_EQ(keysOf(device), sorted(tcpDeviceKeys));
    EXPECT_EQ(device.value(u"DevicePort"), QJsonValue(5020));
    EXPECT_EQ(device.value(u"ModiconBitOrder"), QJsonValue(true)) << "flags are booleans";
    EXPECT_EQ(device.value(u"ZeroBasedAddr"), QJsonValue(true));
    const QJsonObject stale = at(device, "tags", 1);
    EXPECT_EQ(keysOf(stale), sorted(tagKeys));
    EXPECT_EQ(stale.value(u"TagAddress"), QJsonValue(QStringLiteral("400020")));
    EXPECT_EQ(stale.value(u"BitNumber"), QJsonValue(5));
    const QJsonObject groupA = at(device, "groups", 0);
    EXPECT_EQ(keysOf(groupA), sorted(groupKeys));
    const QJsonObject groupC = at(at(groupA, "groups", 0), "groups", 0);
    EXPECT_EQ(groupC.value(u"GroupName"), QJsonValue(QStringLiteral("C")));
    EXPECT_EQ(keysOf(at(groupC, "tags", 0)), sorted(tagKeys));
    EXPECT_EQ(at(groupC, "tags", 0).value(u"Description"), QJsonValue(QStringLiteral("déjà vu")));

    const QJsonObject rtu = at(root, "channels", 1);
    EXPECT_EQ(keysOf(rtu), sorted(rtuChannelKeys));
    EXPECT_EQ(rtu.value(u"kind"), QJsonValue(QStringLiteral("rtu")));
    EXPECT_EQ(rtu.value(u"BaudRate"), QJsonValue(12));
    EXPECT_EQ(rtu.value(u"ReportCommErrors"), QJsonValue(false));
    EXPECT_EQ(keysOf(at(rtu, "devices", 0)), sorted(rtuDeviceKeys));
}

TEST(ProjectJsonDump, FileWrittenByTheModelComesBackFromItsDump)
{
    const QString path = tempPath(QStringLiteral("model.drx"));
    const QString json = tempPath(QStringLiteral("model.json"));
    const QString rebuilt = tempPath(QStringLiteral("rebuilt.drx"));
    const Channels project = modelProject();
    ASSERT_EQ(ProjectFile::save(path, project).error, ProjectFile::Error::None);

    const DrxCommands::Result dump = DrxCommands::dump(path);
    ASSERT_TRUE(dump.ok()) << dump.error.toStdString();
    ASSERT_TRUE(writeFile(json, dump.output));
    const DrxCommands::Result built = DrxCommands::build(json, rebuilt);
    ASSERT_TRUE(built.ok()) << built.error.toStdString();

    const ProjectFile::Loaded loaded = ProjectFile::load(rebuilt);
    ASSERT_EQ(loaded.error, ProjectFile::Error::None) << loaded.message.toStdString();
    EXPECT_EQ(ProjectFile::encodePayload(loaded.channels).toHex().toStdString(),
              ProjectFile::encodePayload(project).toHex().toStdString())
        << "including the BitNumber the driver left behind";
}

TEST(ProjectJsonDefaults, LeftOutKeysTakeTheModelDefaults)
{
    const Channels channels = read(R"({"channels": [
        {"kind": "tcp", "devices": [{"tags": [{"TagName": "Bit", "TagAddress": "400001.5",
                                               "DataType": 1}],
                                     "groups": [{"GroupName": "G"}]}]},
        {"kind": "rtu", "devices": [{}]}]})");

    auto tcp = std::make_shared<CModTCPChnl>();
    auto device = std::make_shared<CModTCPDev>();
    auto tag = std::make_shared<CModTag>();
    tag->TagName = QStringLiteral("Bit");
    tag->TagAddress = QStringLiteral("400001.5");
    tag->DataType = 1;
    tag->AddressNumber = 400001;
    tag->BitNumber = 5;
    device->tags.append(tag);
    auto group = std::make_shared<CModTagGroup>();
    group->name = QStringLiteral("G");
    device->groups.push_back(group);
    tcp->devices.push_back(device);
    auto rtu = std::make_shared<CModRTUChnl>();
    rtu->devices.push_back(std::make_shared<CModRTUDev>());

    EXPECT_EQ(ProjectFile::encodePayload(channels).toHex().toStdString(),
              ProjectFile::encodePayload({tcp, rtu}).toHex().toStdString());
    ASSERT_EQ(channels.size(), 2u);
    const CModTag *read = channels[0]->devices[0]->tags.at(0);
    EXPECT_EQ(read->AddressNumber, 400001);
    EXPECT_EQ(read->BitNumber, 5);
}

TEST(ProjectJsonDefaults, AddressNumberAndBitNumberFollowTheAddress)
{
    const Channels channels = read(R"({"channels": [{"kind": "tcp", "devices": [{"tags": [
        {"TagName": "Coil", "TagAddress": "000005", "DataType": 1},
        {"TagName": "Input", "TagAddress": "100001", "DataType": 1, "ClientAccess": 0},
        {"TagName": "Double", "TagAddress": "465533", "DataType": 9},
        {"TagName": "TopBit", "TagAddress": "300002.16", "DataType": 1, "ClientAccess": 0}
    ]}]}]})");
    ASSERT_EQ(channels.size(), 1u);
    const TagList &tags = channels[0]->devices[0]->tags;
    ASSERT_EQ(tags.size(), 4);
    EXPECT_EQ(tags.at(0)->AddressNumber, 5);
    EXPECT_EQ(tags.at(0)->BitNumber, 0);
    EXPECT_EQ(tags.at(1)->AddressNumber, 100001);
    EXPECT_EQ(tags.at(2)->AddressNumber, 465533);
    EXPECT_EQ(tags.at(2)->BitNumber, 0);
    EXPECT_EQ(tags.at(3)->AddressNumber, 300002);
    EXPECT_EQ(tags.at(3)->BitNumber, 16);
}

TEST(ProjectJsonDefaults, GivenAddressNumberAndBitNumberAreKept)
{
    const Channels channels = read(R"({"channels": [{"kind": "tcp", "devices": [{"tags": [
        {"TagName": "T", "TagAddress": "400020", "AddressNumber": 7, "BitNumber": 5}
    ]}]}]})");
    ASSERT_EQ(channels.size(), 1u);
    const CModTag *tag = channels[0]->devices[0]->tags.at(0);
    EXPECT_EQ(tag->AddressNumber, 7);
    EXPECT_EQ(tag->BitNumber, 5);
}

TEST(JsonPrinter, KeysInTheGivenOrderThenTheRestAlphabetically)
{
    const QJsonObject object{{QStringLiteral("zeta"), QJsonObject()},
                             {QStringLiteral("alpha"), QJsonArray{1, QStringLiteral("x")}},
                             {QStringLiteral("second"), true},
                             {QStringLiteral("first"), QJsonValue()},
                             {QStringLiteral("beta"), QJsonArray()}};
    const QByteArray expected = "{\n"
                                "    \"first\": null,\n"
                                "    \"second\": true,\n"
                                "    \"alpha\": [\n"
                                "        1,\n"
                                "        \"x\"\n"
                                "    ],\n"
                                "    \"beta\": [],\n"
                                "    \"zeta\": {}\n"
                                "}\n";
    const JsonPrinter printer({QStringLiteral("first"), QStringLiteral("second")});
    EXPECT_EQ(printer.print(object).toStdString(), expected.toStdString());
}

TEST(JsonPrinter, EscapesWhatJsonRequiresAndKeepsTheRestAsUtf8)
{
    const QString text = QStringLiteral("\"\\/\b\f\n\r\t\x1f\x7f é 😀") + QChar(0xD800) +
                         QStringLiteral("x") + QChar(0xDFFF);
    const QByteArray printed = JsonPrinter({}).print({{QStringLiteral("s"), text}});
    EXPECT_EQ(printed.toStdString(),
              "{\n    \"s\": \"\\\"\\\\/\\b\\f\\n\\r\\t\\u001f\x7f é 😀\\ud800x\\udfff\"\n}\n");
    EXPECT_EQ(QJsonDocument::fromJson(printed).object().value(u"s").toString(), text);
}

} // namespace

namespace {

// A project the driver loads although its editors would never make it.
Channels projectNoEditorWouldMake()
{
    Channels channels;
    for (int i = 0; i < 11; ++i) {
        auto tcp = std::make_shared<CModTCPChnl>();
        tcp->name = QStringLiteral("Line %1").arg(i); // a blank
        channels.push_back(tcp);
    }
    auto *tcp = static_cast<CModTCPChnl *>(channels[0].get());
    tcp->NetworkAdapter = QStringLiteral("eth0");
    tcp->IpAddress = {-1, 300, 0, 2147483647};
    tcp->ConnectTimeout = 0;
    auto device = std::make_shared<CModTCPDev>();
    device->name = QStringLiteral("Pump.1");
    device->DeviceId = 300;
    device->OutputCoilBlock = 13;
    device->DevicePort = -5;
    auto tag = std::make_shared<CModTag>();
    tag->TagName = QString(60, u'T');
    tag->TagAddress = QStringLiteral("465536");
    tag->DataType = 42;
    tag->ScanRate = 1050;
    device->tags.append(tag);
    auto unnamed = std::make_shared<CModTag>();
    unnamed->TagAddress = QStringLiteral("400001");
    device->tags.append(unnamed);
    auto twin = std::make_shared<CModTag>();
    twin->TagAddress = QStringLiteral("400001");
    device->tags.append(twin); // the same empty name
    device->groups.push_back(std::make_shared<CModTagGroup>());
    tcp->devices.push_back(device);

    auto rtu = std::make_shared<CModRTUChnl>();
    rtu->name = QStringLiteral("Serial");
    rtu->comProps.BaudRate = 99;
    rtu->comProps.DataBits = 200;
    auto rtuDevice = std::make_shared<CModRTUDev>();
    rtuDevice->Reserved = 123456;
    rtuDevice->ReservedByte1 = 7;
    rtu->devices.push_back(rtuDevice);
    channels.push_back(rtu);
    return channels;
}

} // namespace

// Every project the driver loads comes back from its dump byte for byte; what
// no editor would offer gives warning lines, not a refusal.
TEST(ProjectJsonRoundTrip, DumpThenBuildReproducesWhatNoEditorWouldMake)
{
    const QString original = tempPath(QStringLiteral("odd.drx"));
    const QString json = tempPath(QStringLiteral("odd.json"));
    const QString rebuilt = tempPath(QStringLiteral("odd-rebuilt.drx"));
    const Channels project = projectNoEditorWouldMake();
    ASSERT_EQ(ProjectFile::save(original, project).error, ProjectFile::Error::None);

    const DrxCommands::Result dump = DrxCommands::dump(original);
    ASSERT_TRUE(dump.ok()) << dump.error.toStdString();
    ASSERT_TRUE(writeFile(json, dump.output));

    // The dotted device name is the one thing a plain build refuses.
    const DrxCommands::Result refused = DrxCommands::build(json, rebuilt);
    EXPECT_EQ(refused.error, json + QStringLiteral(": channels[0].devices[0].DeviceName: Device "
                                                   "name can not contain \".\". "
                                                   "(--allow-dotted-names takes it)"));
    EXPECT_FALSE(QFile::exists(rebuilt));

    JsonReadOptions allowing;
    allowing.allowDottedNames = true;
    const DrxCommands::Result built = DrxCommands::build(json, rebuilt, allowing);
    ASSERT_TRUE(built.ok()) << built.error.toStdString();
    const QStringList expectedWarnings = {
        QStringLiteral("channels: Can't add channel, maximum channels are limited to 10."),
        QStringLiteral("channels[0].ChannelName: Channel name can not contain space."),
        QStringLiteral("channels[0].ConnectTimeout: 0 is out of range (1 to 1000)"),
        QStringLiteral("channels[0].NetworkAdapter: expected one of"),
        QStringLiteral("channels[0].IpAddress: octet -1 is out of range (0 to 255)"),
        QStringLiteral("channels[0].devices[0].DeviceName: Device name can not contain \".\"."),
        QStringLiteral("channels[0].devices[0].DeviceId: 300 is out of range (0 to 255)"),
        QStringLiteral("channels[0].devices[0].OutputCoilBlock: 13 is not a multiple of 8"),
        QStringLiteral("channels[0].devices[0].DevicePort: -5 is out of range"),
        QStringLiteral("channels[0].devices[0].tags[0].TagName: Tag name length more than limit"),
        QStringLiteral("channels[0].devices[0].tags[0].DataType: 42 is out of range (0 to 12)"),
        QStringLiteral("channels[0].devices[0].tags[0].ScanRate: 1050 is not a multiple of 100"),
        QStringLiteral("channels[0].devices[0].tags[1].TagName: Please enter tag name."),
        QStringLiteral("channels[0].devices[0].tags[2].TagName: Tag Name exists"),
        QStringLiteral("channels[0].devices[0].groups[0].GroupName: Please enter tag group name."),
        QStringLiteral("channels[11].BaudRate: 99 is out of range (0 to 14)"),
        QStringLiteral("channels[11].DataBits: 200 is out of range (0 to 3)"),
    };
    for (const QString &expected : expectedWarnings) {
        const QString prefix = QStringLiteral("warning: ") + json + QStringLiteral(": ") + expected;
        EXPECT_TRUE(std::any_of(built.warnings.cbegin(), built.warnings.cend(),
                                [&](const QString &line) { return line.startsWith(prefix); }))
            << expected.toStdString() << " not in\n"
            << built.warnings.join(u'\n').toStdString();
    }

    const ProjectFile::Loaded loaded = ProjectFile::load(rebuilt);
    ASSERT_EQ(loaded.error, ProjectFile::Error::None) << loaded.message.toStdString();
    EXPECT_EQ(ProjectFile::encodePayload(loaded.channels).toHex().toStdString(),
              ProjectFile::encodePayload(project).toHex().toStdString());
}
