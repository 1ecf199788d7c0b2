// What `drxtool build` refuses, and what `drxtool dump` says about files that
// are not project files: one line naming the place and the reason, and never a
// change to the output file.
#include "drxcommands.h"
#include "jsonproblem.h"
#include "projectenvelope.h"
#include "projectjson.h"
#include "projectjsonreader.h"
#include "testprojects.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <limits>

using namespace testprojects;

namespace {

// Builders for small projects: one channel of the kind, one device, one tag,
// with the given members added to the object being tested.
QByteArray tcpChannelWith(const char *members)
{
    return QByteArray(R"({"channels": [{"kind": "tcp", )") + members + "}]}";
}
QByteArray deviceWith(const char *members)
{
    return QByteArray(R"({"channels": [{"kind": "tcp", "devices": [{)") + members + "}]}]}";
}
QByteArray rtuDeviceWith(const char *members)
{
    return QByteArray(R"({"channels": [{"kind": "rtu", "devices": [{)") + members + "}]}]}";
}
QByteArray tagWith(const char *members)
{
    return QByteArray(R"({"channels": [{"kind": "tcp", "devices": [{"tags": [{)") + members +
           "}]}]}]}";
}
QByteArray channels(int count)
{
    QByteArray list;
    for (int i = 0; i < count; ++i) {
        list += (i ? ", " : "") + QByteArray(R"({"kind": "tcp", "ChannelName": "C)") +
                QByteArray::number(i) + "\"}";
    }
    return R"({"channels": [)" + list + "]}";
}

struct BadInput
{
    const char *name;
    QByteArray json;
    const char *expected; // the line after "FILE: "
};

// One row per class of fault a generated file can have.
const std::vector<BadInput> &badInputs()
{
    static const std::vector<BadInput> rows = {
        // JSON syntax
        {"syntax-trailing-comma", "{\n  \"channels\": [\n    {\"kind\": \"tcp\",}\n  ]\n}",
         "line 3, column 20: object is missing after a comma"},
        {"syntax-column-counts-characters",
         "{\"channels\": [{\"kind\": \"tcp\", \"ChannelName\": "
         "\"Straße\" \"x\"}]}",
         "line 1, column 55: unterminated object"},
        {"syntax-unterminated-string", "{\"channels\": [{\"kind\": \"tcp}]}",
         "line 1, column 31: unterminated string"},
        {"syntax-empty-file", "", "line 1, column 1: illegal value"},
        {"syntax-invalid-utf8", "{\"channels\": [{\"kind\": \"tcp\", \"ChannelName\": \"\xff\"}]}",
         "line 1, column 46: invalid UTF8 string"},
        // the document's shape
        {"root-not-an-object", "[]", "expected an object, not an array"},
        {"root-unknown-key", R"({"channels": [{"kind": "tcp"}], "version": 2})",
         "version: unknown key"},
        {"channels-missing", "{}", "channels: a project needs at least one channel"},
        {"channels-empty", R"({"channels": []})", "channels: a project needs at least one channel"},
        {"channels-not-an-array", R"({"channels": {}})",
         "channels: expected an array, not an object"},
        {"channel-not-an-object", R"({"channels": [1]})",
         "channels[0]: expected an object, not a number"},
        {"kind-missing", R"({"channels": [{"ChannelName": "A"}]})", "channels[0].kind: missing"},
        {"kind-unknown", R"({"channels": [{"kind": "TCP"}]})",
         "channels[0].kind: expected \"tcp\" or \"rtu\""},
        {"devices-not-an-array", tcpChannelWith(R"("devices": "none")"),
         "channels[0].devices: expected an array, not a string"},
        {"tag-not-an-object", deviceWith(R"("tags": [[]])"),
         "channels[0].devices[0].tags[0]: expected an object, not an array"},
        // keys
        {"unknown-channel-key", tcpChannelWith(R"("Timeout": 3)"),
         "channels[0].Timeout: unknown key"},
        {"tcp-setting-on-rtu-channel", R"({"channels": [{"kind": "rtu", "PortNumber": 502}]})",
         "channels[0].PortNumber: unknown key"},
        {"device-port-on-rtu-device", rtuDeviceWith(R"("DevicePort": 502)"),
         "channels[0].devices[0].DevicePort: unknown key"},
        {"key-with-wrong-capitals", deviceWith(R"("DeviceID": 3)"),
         "channels[0].devices[0].DeviceID: unknown key; did you mean \"DeviceId\"?"},
        {"unknown-tag-key", tagWith(R"("TagName": "T", "Address": "400001")"),
         "channels[0].devices[0].tags[0].Address: unknown key"},
        {"duplicate-key", deviceWith(R"("DeviceId": 3, "DeviceId": 4)"),
         "channels[0].devices[0].DeviceId: the key is given more than once"},
        {"duplicate-key-escaped", deviceWith(R"("DeviceId": 3, "Device\u0049d": 4)"),
         "channels[0].devices[0].DeviceId: the key is given more than once"},
        // JSON types
        {"flag-as-number", deviceWith(R"("AutoDemote": 1)"),
         "channels[0].devices[0].AutoDemote: expected true or false, not a number"},
        {"integer-as-string", deviceWith(R"("DeviceId": "3")"),
         "channels[0].devices[0].DeviceId: expected an integer, not a string"},
        {"integer-as-null", tagWith(R"("TagName": "T", "ScanRate": null)"),
         "channels[0].devices[0].tags[0].ScanRate: expected an integer, not null"},
        {"integer-with-fraction", deviceWith(R"("DemoteFor": 1000.5)"),
         "channels[0].devices[0].DemoteFor: expected an integer, not a number with a fraction"},
        {"name-as-number", deviceWith(R"("DeviceName": 7)"),
         "channels[0].devices[0].DeviceName: expected a string, not a number"},
        {"text-as-boolean", tagWith(R"("TagName": "T", "Description": true)"),
         "channels[0].devices[0].tags[0].Description: expected a string, not a boolean"},
        {"ip-address-as-array", tcpChannelWith(R"("IpAddress": [10, 0, 0, 1])"),
         "channels[0].IpAddress: expected a string \"a.b.c.d\", not an array"},
        {"beyond-uint8", deviceWith(R"("FailAfter": 256)"),
         "channels[0].devices[0].FailAfter: 256 does not fit the stored field (0 to 255)"},
        {"beyond-int32", deviceWith(R"("TimingReserved": 2147483648)"),
         "channels[0].devices[0].TimingReserved: 2147483648 does not fit the stored field "
         "(-2147483648 to "
         "2147483647)"},
        {"beyond-int64", deviceWith(R"("DeviceId": 1e30)"),
         "channels[0].devices[0].DeviceId: 1e+30 does not fit the stored field (-2147483648 to "
         "2147483647)"},
        {"ip-three-parts", tcpChannelWith(R"("IpAddress": "192.168.1")"),
         "channels[0].IpAddress: expected four numbers joined by dots, \"a.b.c.d\""},
        {"ip-octet-beyond-int32", tcpChannelWith(R"("IpAddress": "4294967296.0.0.1")"),
         "channels[0].IpAddress: expected four numbers joined by dots, \"a.b.c.d\""},
        // names a host can never reach
        {"channel-name-with-dot", tcpChannelWith(R"("ChannelName": "Line.2")"),
         "channels[0].ChannelName: Channel name can not contain \".\". (--allow-dotted-names "
         "takes it)"},
        {"device-name-with-dot", deviceWith(R"("DeviceName": "..")"),
         "channels[0].devices[0].DeviceName: Device name can not contain \".\". "
         "(--allow-dotted-names takes it)"},
        {"group-name-with-dot", deviceWith(R"("groups": [{"GroupName": "G.1"}])"),
         "channels[0].devices[0].groups[0].GroupName: Tag group name can not contain \".\". "
         "(--allow-dotted-names takes it)"},
        {"tag-name-with-dot", tagWith(R"("TagName": "T.1", "TagAddress": "400001")"),
         "channels[0].devices[0].tags[0].TagName: Tag name can not contain \".\". "
         "(--allow-dotted-names takes it)"},
    };
    return rows;
}

// What the driver loads but no editor would offer: taken, with a warning line
// that names the place, and the file is written.
const std::vector<BadInput> &warningInputs()
{
    static const std::vector<BadInput> rows = {
        // more channels than the window adds
        {"eleven-channels", channels(11),
         "channels: Can't add channel, maximum channels are limited to 10."},
        // values outside what the pages offer
        {"out-of-range-low", tcpChannelWith(R"("ConnectTimeout": 0)"),
         "channels[0].ConnectTimeout: 0 is out of range (1 to 1000)"},
        {"out-of-range-high", deviceWith(R"("DemoteFor": 3600001)"),
         "channels[0].devices[0].DemoteFor: 3600001 is out of range (100 to 3600000)"},
        {"coil-block-not-multiple-of-8", deviceWith(R"("OutputCoilBlock": 13)"),
         "channels[0].devices[0].OutputCoilBlock: 13 is not a multiple of 8"},
        {"scan-rate-not-multiple-of-100", tagWith(R"("TagName": "T", "ScanRate": 1050)"),
         "channels[0].devices[0].tags[0].ScanRate: 1050 is not a multiple of 100"},
        {"data-type-beyond-codes", tagWith(R"("TagName": "T", "DataType": 13)"),
         "channels[0].devices[0].tags[0].DataType: 13 is out of range (0 to 12)"},
        {"baud-rate-beyond-list", R"({"channels": [{"kind": "rtu", "BaudRate": 15}]})",
         "channels[0].BaudRate: 15 is out of range (0 to 14)"},
        {"ip-octet-256", tcpChannelWith(R"("IpAddress": "192.168.1.256")"),
         "channels[0].IpAddress: octet 256 is out of range (0 to 255)"},
        {"ip-negative", tcpChannelWith(R"("IpAddress": "-1.0.0.1")"),
         "channels[0].IpAddress: octet -1 is out of range (0 to 255)"},
        {"adapter-not-in-list", tcpChannelWith(R"("NetworkAdapter": "eth0")"),
         "channels[0].NetworkAdapter: expected one of \"Default\", \"RealTek Adapter\", "
         "\"Modbus Adapter\""},
        // names
        {"channel-name-empty", tcpChannelWith(R"("ChannelName": "")"),
         "channels[0].ChannelName: Please enter Channel name."},
        {"channel-name-with-blank", tcpChannelWith(R"("ChannelName": "Line 1")"),
         "channels[0].ChannelName: Channel name can not contain space."},
        {"channel-name-41-characters",
         tcpChannelWith(R"("ChannelName": "A234567890123456789012345678901234567890X")"),
         "channels[0].ChannelName: Channel name length more than limit of 40 Characters."},
        {"channel-names-repeated",
         R"({"channels": [{"kind": "tcp", "ChannelName": "L"}, {"kind": "rtu", "ChannelName": "L"}]})",
         "channels[1].ChannelName: Channel name exists, please rename. (the name of channels[0])"},
        {"default-channel-names-clash", R"({"channels": [{"kind": "tcp"}, {"kind": "tcp"}]})",
         "channels[1].ChannelName: Channel name exists, please rename. (the name of channels[0])"},
        {"device-name-with-tab", deviceWith(R"("DeviceName": "Press\t1")"),
         "channels[0].devices[0].DeviceName: Device name can not contain space."},
        {"device-names-repeated",
         tcpChannelWith(
             R"("devices": [{"DeviceName": "P"}, {"DeviceName": "Q"}, {"DeviceName": "P"}])"),
         "channels[0].devices[2].DeviceName: Device name exists, please rename. (the name of "
         "channels[0].devices[0])"},
        {"group-name-missing", deviceWith(R"("groups": [{}])"),
         "channels[0].devices[0].groups[0].GroupName: Please enter tag group name."},
        {"group-names-repeated-deep",
         deviceWith(R"("groups": [{"GroupName": "A", "groups": [{"GroupName": "B"},
                                                               {"GroupName": "B"}]}])"),
         "channels[0].devices[0].groups[0].groups[1].GroupName: Group name exists, please rename. "
         "(the name of channels[0].devices[0].groups[0].groups[0])"},
        {"tag-name-missing", tagWith(R"("Description": "no name")"),
         "channels[0].devices[0].tags[0].TagName: Please enter tag name."},
        {"tag-name-with-dash", tagWith(R"("TagName": "Pump-1")"),
         "channels[0].devices[0].tags[0].TagName: Tag name can contain only letters, digits and "
         "\"_\"."},
        {"tag-name-41-characters",
         tagWith(R"("TagName": "T234567890123456789012345678901234567890X")"),
         "channels[0].devices[0].tags[0].TagName: Tag name length more than limit of 40 "
         "characters."},
        {"tag-names-repeated-in-group",
         deviceWith(
             R"("groups": [{"GroupName": "G", "tags": [{"TagName": "T"}, {"TagName": "T"}]}])"),
         "channels[0].devices[0].groups[0].tags[1].TagName: Tag Name exists, please rename (the "
         "name of channels[0].devices[0].groups[0].tags[0])"},
        // addresses
        {"address-empty", tagWith(R"("TagName": "T", "TagAddress": "")"),
         "channels[0].devices[0].tags[0].TagAddress: Please enter address."},
        {"address-bit-needs-boolean", tagWith(R"("TagName": "T", "TagAddress": "400001.5")"),
         "channels[0].devices[0].tags[0].TagAddress: Data type must be Boolean for bit "
         "addressing."},
        {"address-bit-17", tagWith(R"("TagName": "T", "TagAddress": "400001.17", "DataType": 1)"),
         "channels[0].devices[0].tags[0].TagAddress: Error in Holding  Register address bit, must "
         "be between 0 to 16"},
        {"address-input-register-read-write", tagWith(R"("TagName": "T", "TagAddress": "300001")"),
         "channels[0].devices[0].tags[0].TagAddress: Error in Internal Register Client Access, "
         "must be read only."},
        {"address-coil-without-leading-zero",
         tagWith(R"("TagName": "T", "TagAddress": "5", "DataType": 1)"),
         "channels[0].devices[0].tags[0].TagAddress: Invalid Address"},
        {"address-string-on-register", tagWith(R"("TagName": "T", "DataType": 0)"),
         "channels[0].devices[0].tags[0].TagAddress: Non valid data type for holding register"},
        {"address-beyond-type-range",
         tagWith(R"("TagName": "T", "TagAddress": "465536", "DataType": 6)"),
         "channels[0].devices[0].tags[0].TagAddress: address beyond the data type's range"},
        {"tcp-unit-id-300", deviceWith(R"("DeviceId": 300)"),
         "channels[0].devices[0].DeviceId: 300 is out of range (0 to 255)"},
    };
    return rows;
}

class BuildRefusal : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder = tempPath(QStringLiteral("refusals"));
        ASSERT_TRUE(QDir().mkpath(m_folder));
        m_out = m_folder + QStringLiteral("/out.drx");
        ASSERT_EQ(ProjectFile::save(m_out, modelProject()).error, ProjectFile::Error::None);
        m_outBytes = readFile(m_out);
        m_outModified = QFileInfo(m_out).lastModified();
    }

    // The output file as SetUp wrote it, and nothing else beside it.
    void expectOutUntouched(const QStringList &inputs)
    {
        EXPECT_EQ(readFile(m_out), m_outBytes);
        EXPECT_EQ(QFileInfo(m_out).lastModified(), m_outModified);
        QStringList expected = inputs;
        expected << QStringLiteral("out.drx");
        expected.sort();
        EXPECT_EQ(QDir(m_folder).entryList(QDir::Files | QDir::Hidden), expected);
    }

    QString m_folder;
    QString m_out;
    QByteArray m_outBytes;
    QDateTime m_outModified;
};

TEST_F(BuildRefusal, EveryFaultGivesOneLineAndLeavesTheOutputAlone)
{
    QStringList inputs;
    for (const BadInput &row : badInputs()) {
        SCOPED_TRACE(row.name);
        const QString input =
            QStringLiteral("%1/%2.json").arg(m_folder, QLatin1StringView(row.name));
        ASSERT_TRUE(writeFile(input, row.json));
        inputs << QFileInfo(input).fileName();
        const DrxCommands::Result result = DrxCommands::build(input, m_out);
        EXPECT_EQ(result.error.toStdString(),
                  (input + QStringLiteral(": ") + QString::fromUtf8(row.expected)).toStdString());
        EXPECT_FALSE(result.error.contains(QLatin1Char('\n')));
        EXPECT_TRUE(result.output.isEmpty());
    }
    expectOutUntouched(inputs);
}

// The driver loads these, so their dumps must build again: each is taken with
// a warning line, the file is written, and its dump builds to the same payload.
TEST_F(BuildRefusal, ValuesNoEditorOffersGiveAWarningAndAreKept)
{
    for (const BadInput &row : warningInputs()) {
        SCOPED_TRACE(row.name);
        const QString input =
            QStringLiteral("%1/%2.json").arg(m_folder, QLatin1StringView(row.name));
        ASSERT_TRUE(writeFile(input, row.json));
        const QString output =
            QStringLiteral("%1/%2.drx").arg(m_folder, QLatin1StringView(row.name));
        const DrxCommands::Result result = DrxCommands::build(input, output);
        ASSERT_TRUE(result.ok()) << result.error.toStdString();
        const QString expected = QStringLiteral("warning: ") + input + QStringLiteral(": ") +
                                 QString::fromUtf8(row.expected);
        EXPECT_TRUE(result.warnings.contains(expected))
            << "expected " << expected.toStdString() << " in\n"
            << result.warnings.join(u'\n').toStdString();
        for (const QString &warning : result.warnings)
            EXPECT_FALSE(warning.contains(QLatin1Char('\n')));

        const DrxCommands::Result dumped = DrxCommands::dump(output);
        ASSERT_TRUE(dumped.ok()) << dumped.error.toStdString();
        const ProjectJsonReader::Result again = ProjectJsonReader::read(dumped.output);
        ASSERT_TRUE(again.ok()) << again.problem->describe({}).toStdString();
        const ProjectFile::Loaded loaded = ProjectFile::load(output);
        ASSERT_EQ(loaded.error, ProjectFile::Error::None);
        EXPECT_EQ(ProjectFile::encodePayload(again.channels).toHex().toStdString(),
                  ProjectFile::encodePayload(loaded.channels).toHex().toStdString());
    }
}

TEST_F(BuildRefusal, DottedNamesAreTakenWhenAllowed)
{
    const QString input = m_folder + QStringLiteral("/dotted.json");
    ASSERT_TRUE(writeFile(input, tcpChannelWith(R"("ChannelName": "Line.2")")));
    const QString output = m_folder + QStringLiteral("/dotted.drx");
    JsonReadOptions allowing;
    allowing.allowDottedNames = true;
    const DrxCommands::Result result = DrxCommands::build(input, output, allowing);
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    EXPECT_EQ(result.warnings,
              QStringList{QStringLiteral("warning: %1: channels[0].ChannelName: Channel name can "
                                         "not contain \".\".")
                              .arg(input)});
    const ProjectFile::Loaded loaded = ProjectFile::load(output);
    ASSERT_EQ(loaded.error, ProjectFile::Error::None);
    EXPECT_EQ(loaded.channels.at(0)->name, QStringLiteral("Line.2"));
}

TEST_F(BuildRefusal, MissingInputIsNamed)
{
    const QString input = m_folder + QStringLiteral("/missing.json");
    const DrxCommands::Result result = DrxCommands::build(input, m_out);
    EXPECT_EQ(result.error, input + QStringLiteral(": cannot open: No such file or directory"));
    expectOutUntouched({});
}

TEST_F(BuildRefusal, ProblemsOnTheWayOutNameTheOutput)
{
    const QString input = m_folder + QStringLiteral("/good.json");
    ASSERT_TRUE(writeFile(input, everySettingChanged()));
    const QString folderAsOutput = m_folder + QStringLiteral("/folder.drx");
    ASSERT_TRUE(QDir().mkpath(folderAsOutput));
    const DrxCommands::Result result = DrxCommands::build(input, folderAsOutput);
    EXPECT_TRUE(result.error.startsWith(folderAsOutput + QStringLiteral(": cannot write: ")))
        << result.error.toStdString();
    EXPECT_FALSE(result.error.contains(QLatin1Char('\n')));
}

// Both ends of every range are accepted and land in the model; one step beyond
// either end is refused. Rows name the object a key belongs to.
struct RangeRow
{
    enum Object { TcpChannel, RtuChannel, TcpDevice, RtuDevice, Tag } object;
    const char *key;
    qint64 minimum;
    qint64 maximum;
    qint64 step;
};

constexpr qint64 Int32Min = std::numeric_limits<qint32>::min();
constexpr qint64 Int32Max = std::numeric_limits<qint32>::max();

// What the project file stores each setting in: one byte, or an int32.
std::pair<qint64, qint64> storedWidth(const char *key)
{
    static const QStringList byteFields{QStringLiteral("WriteOptimization"),
                                        QStringLiteral("DutyCycle"),
                                        QStringLiteral("ComPort"),
                                        QStringLiteral("DataBits"),
                                        QStringLiteral("Parity"),
                                        QStringLiteral("StopBits"),
                                        QStringLiteral("FlowControl"),
                                        QStringLiteral("FailAfter"),
                                        QStringLiteral("DemoteAfter"),
                                        QStringLiteral("BitNumber")};
    if (byteFields.contains(QLatin1StringView(key)))
        return {0, 255};
    return {Int32Min, Int32Max};
}

const RangeRow rangeRows[] = {
    {RangeRow::TcpChannel, "ConnectTimeout", 1, 1000, 1},
    {RangeRow::TcpChannel, "ReconnectAfter", 5, 7200, 1},
    {RangeRow::TcpChannel, "MaxReconnectAttempts", 0, 100, 1},
    {RangeRow::TcpChannel, "WriteOptimization", 0, 2, 1},
    {RangeRow::TcpChannel, "DutyCycle", 1, 10, 1},
    {RangeRow::TcpChannel, "SharedSocket", 0, 1, 1},
    {RangeRow::TcpChannel, "MaxSocketsPerDevice", 1, 10, 1},
    {RangeRow::TcpChannel, "PortNumber", 100, 65535, 1},
    {RangeRow::RtuChannel, "ConnectTimeout", 1, 1000, 1},
    {RangeRow::RtuChannel, "ComPort", 0, 255, 1},
    {RangeRow::RtuChannel, "BaudRate", 0, 14, 1},
    {RangeRow::RtuChannel, "DataBits", 0, 3, 1},
    {RangeRow::RtuChannel, "Parity", 0, 2, 1},
    {RangeRow::RtuChannel, "StopBits", 0, 1, 1},
    {RangeRow::RtuChannel, "FlowControl", 0, 5, 1},
    {RangeRow::TcpDevice, "DeviceId", 0, 255, 1},
    {RangeRow::TcpDevice, "TimingReserved", Int32Min, Int32Max, 1},
    {RangeRow::TcpDevice, "RequestTimeout", Int32Min, Int32Max, 1},
    {RangeRow::TcpDevice, "FailAfter", 0, 255, 1},
    {RangeRow::TcpDevice, "InterRequestDelay", Int32Min, Int32Max, 1},
    {RangeRow::TcpDevice, "DemoteAfter", 1, 30, 1},
    {RangeRow::TcpDevice, "DemoteFor", 100, 3600000, 1},
    {RangeRow::TcpDevice, "OutputCoilBlock", 8, 2000, 8},
    {RangeRow::TcpDevice, "InputCoilBlock", 8, 2000, 8},
    {RangeRow::TcpDevice, "InternalRegBlock", 1, 125, 1},
    {RangeRow::TcpDevice, "HoldingRegBlock", 1, 125, 1},
    {RangeRow::TcpDevice, "LeadingBytes", Int32Min, Int32Max, 1},
    {RangeRow::TcpDevice, "DevicePort", 0, Int32Max, 1},
    {RangeRow::RtuDevice, "DeviceId", 0, 255, 1},
    {RangeRow::RtuDevice, "DemoteFor", 100, 3600000, 1},
    {RangeRow::Tag, "AddressNumber", Int32Min, Int32Max, 1},
    {RangeRow::Tag, "BitNumber", 0, 255, 1},
    {RangeRow::Tag, "ClientAccess", 0, 1, 1},
    {RangeRow::Tag, "ScanRate", 100, 100000, 100},
};

// A project whose object of the row's kind holds `key: value`, and the path of
// that object.
std::pair<QJsonObject, QString> projectWith(RangeRow::Object object, const QString &key,
                                            qint64 value)
{
    QJsonObject tag{{QStringLiteral("TagName"), QStringLiteral("T")}};
    QJsonObject device;
    QJsonObject channel{
        {QStringLiteral("kind"), object == RangeRow::RtuChannel || object == RangeRow::RtuDevice
                                     ? QStringLiteral("rtu")
                                     : QStringLiteral("tcp")}};
    QString path = QStringLiteral("channels[0]");
    switch (object) {
    case RangeRow::TcpChannel:
    case RangeRow::RtuChannel:
        channel.insert(key, value);
        break;
    case RangeRow::TcpDevice:
    case RangeRow::RtuDevice:
        device.insert(key, value);
        path += QStringLiteral(".devices[0]");
        break;
    case RangeRow::Tag:
        tag.insert(key, value);
        path += QStringLiteral(".devices[0].tags[0]");
        break;
    }
    device.insert(QStringLiteral("tags"), QJsonArray{tag});
    channel.insert(QStringLiteral("devices"), QJsonArray{device});
    return {QJsonObject{{QStringLiteral("channels"), QJsonArray{channel}}}, path};
}

QJsonValue valueAt(const QJsonObject &root, RangeRow::Object object, const QString &key)
{
    QJsonObject node = root.value(u"channels").toArray().at(0).toObject();
    if (object != RangeRow::TcpChannel && object != RangeRow::RtuChannel)
        node = node.value(u"devices").toArray().at(0).toObject();
    if (object == RangeRow::Tag)
        node = node.value(u"tags").toArray().at(0).toObject();
    return node.value(key);
}

TEST(BuildRanges, BothEndsAreTakenQuietlyAndOneBeyondWarnsOrIsRefused)
{
    for (const RangeRow &row : rangeRows) {
        const QString key = QString::fromLatin1(row.key);
        SCOPED_TRACE(row.key);
        for (qint64 accepted : {row.minimum, row.maximum}) {
            const ProjectJsonReader::Result result =
                ProjectJsonReader::read(projectWith(row.object, key, accepted).first);
            ASSERT_TRUE(result.ok())
                << accepted << ": " << result.problem->describe({}).toStdString();
            EXPECT_EQ(valueAt(ProjectJson::toJson(result.channels), row.object, key),
                      QJsonValue(accepted));
        }
        // One beyond either end: refused when the stored field cannot hold
        // it, otherwise kept with a warning (the driver loads it).
        for (qint64 beyond : {row.minimum - 1, row.maximum + 1}) {
            const auto [project, path] = projectWith(row.object, key, beyond);
            const ProjectJsonReader::Result result = ProjectJsonReader::read(project);
            const QString place = path + QLatin1Char('.') + key;
            const auto [storedMinimum, storedMaximum] = storedWidth(row.key);
            if (beyond < storedMinimum || beyond > storedMaximum) {
                ASSERT_FALSE(result.ok()) << beyond;
                EXPECT_EQ(result.problem->place, place);
                EXPECT_EQ(result.problem->reason,
                          QStringLiteral("%1 does not fit the stored field (%2 to %3)")
                              .arg(beyond)
                              .arg(storedMinimum)
                              .arg(storedMaximum));
                continue;
            }
            ASSERT_TRUE(result.ok()) << beyond;
            ASSERT_EQ(result.warnings.size(), 1) << beyond;
            EXPECT_EQ(result.warnings[0].place, place);
            EXPECT_EQ(result.warnings[0].reason, QStringLiteral("%1 is out of range (%2 to %3)")
                                                     .arg(beyond)
                                                     .arg(row.minimum)
                                                     .arg(row.maximum));
            EXPECT_EQ(valueAt(ProjectJson::toJson(result.channels), row.object, key),
                      QJsonValue(beyond));
        }
        if (row.step > 1) {
            const ProjectJsonReader::Result result =
                ProjectJsonReader::read(projectWith(row.object, key, row.minimum + 1).first);
            ASSERT_TRUE(result.ok());
            ASSERT_EQ(result.warnings.size(), 1);
            EXPECT_EQ(
                result.warnings[0].reason,
                QStringLiteral("%1 is not a multiple of %2").arg(row.minimum + 1).arg(row.step));
        }
    }
}

TEST(BuildNames, LimitsAndUniquenessAreExactlyAsInTheDriver)
{
    const ProjectJsonReader::Result result = ProjectJsonReader::read(QByteArray(R"({"channels": [
        {"kind": "tcp", "ChannelName": "C234567890123456789012345678901234567890", "devices": [
            {"DeviceName": "Pump", "tags": [{"TagName": "T234567890123456789012345678901234567890"},
                                            {"TagName": "Größe_2"}],
             "groups": [{"GroupName": "Pump", "tags": [{"TagName": "Größe_2"}]},
                        {"GroupName": "pump", "groups": [{"GroupName": "Pump"}]}]},
            {"DeviceName": "pump"}]},
        {"kind": "rtu", "ChannelName": "Line_(2)!", "devices": [{"DeviceName": "Pump"}]}]})"));
    // 40 characters, names repeated in other lists or differing in case, letters
    // beyond ASCII in tag names, any characters but blanks in other names.
    ASSERT_TRUE(result.ok()) << result.problem->describe({}).toStdString();
    EXPECT_EQ(result.channels.size(), 2u);
}

TEST(BuildChannels, TenChannelsAreAccepted)
{
    const ProjectJsonReader::Result result = ProjectJsonReader::read(channels(10));
    ASSERT_TRUE(result.ok()) << result.problem->describe({}).toStdString();
    EXPECT_EQ(result.channels.size(), 10u);
}

TEST(JsonProblemPlace, LineAndColumnOfTheParsersOffset)
{
    const QByteArray text = "{\n  \"ä\": 1,\n  \"b\": tru\n}";
    // The parser's offset lies just past the character it stumbled on.
    EXPECT_EQ(JsonProblem::atOffset(text, 1, {}).place, QStringLiteral("line 1, column 1"));
    EXPECT_EQ(JsonProblem::atOffset(text, 3, {}).place, QStringLiteral("line 2, column 1"));
    // "ä" is two bytes and one character.
    EXPECT_EQ(JsonProblem::atOffset(text, 10, {}).place, QStringLiteral("line 2, column 7"));
    EXPECT_EQ(JsonProblem::atOffset(text, 0, {}).place, QStringLiteral("line 1, column 1"));
    EXPECT_EQ(JsonProblem::atOffset(text, 999, {}).place, QStringLiteral("line 4, column 2"));
}

TEST(JsonProblemPlace, ControlCharactersNeverBreakTheLine)
{
    const JsonProblem problem{QStringLiteral("channels[0]"), QStringLiteral("bad\nname\r")};
    EXPECT_EQ(problem.describe(QStringLiteral("p.json")),
              QStringLiteral("p.json: channels[0]: bad\\x0aname\\x0d"));
    EXPECT_EQ((JsonProblem{{}, QStringLiteral("why")}).describe(QStringLiteral("p.json")),
              QStringLiteral("p.json: why"));
}

class DumpRefusal : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(ProjectFile::save(m_good, modelProject()).error, ProjectFile::Error::None);
        m_goodBytes = readFile(m_good);
    }

    // Dumps `bytes` written to a file of that name; the file stays as it was.
    QString dumpError(const char *name, const QByteArray &bytes)
    {
        const QString path = tempPath(QLatin1StringView(name));
        EXPECT_TRUE(writeFile(path, bytes));
        const DrxCommands::Result result = DrxCommands::dump(path);
        EXPECT_TRUE(result.output.isEmpty());
        EXPECT_EQ(readFile(path), bytes);
        EXPECT_FALSE(result.error.contains(QLatin1Char('\n')));
        return result.error;
    }

    const QString m_good = tempPath(QStringLiteral("good.drx"));
    QByteArray m_goodBytes;
};

TEST_F(DumpRefusal, MissingFile)
{
    const QString path = tempPath(QStringLiteral("missing.drx"));
    EXPECT_EQ(DrxCommands::dump(path).error,
              path + QStringLiteral(": cannot open: No such file or directory"));
}

TEST_F(DumpRefusal, NotAProjectFile)
{
    const QString path = tempPath(QStringLiteral("text.drx"));
    EXPECT_EQ(dumpError("text.drx", QByteArray(4096, 'x')),
              QStringLiteral("%1: The file %1 is not a Modbus project file.").arg(path));
}

TEST_F(DumpRefusal, ShorterThanAnyProjectFile)
{
    const QString path = tempPath(QStringLiteral("short.drx"));
    EXPECT_EQ(dumpError("short.drx", m_goodBytes.left(envelope::MinimumFileSize - 1)),
              path + QStringLiteral(": not a project file: shorter than 2048 bytes"));
}

TEST_F(DumpRefusal, TruncatedFile)
{
    ASSERT_GT(m_goodBytes.size(), envelope::MinimumFileSize + 16);
    const QString path = tempPath(QStringLiteral("truncated.drx"));
    const QString error = dumpError("truncated.drx", m_goodBytes.left(m_goodBytes.size() - 16));
    const QString prefix = QStringLiteral("%1: The project file %1 could not be read (").arg(path);
    EXPECT_TRUE(error.startsWith(prefix)) << error.toStdString();
    EXPECT_TRUE(error.endsWith(QStringLiteral("). No project was opened."))) << error.toStdString();
}

TEST_F(DumpRefusal, PayloadThatDoesNotDecode)
{
    QByteArray payload = ProjectFile::encodePayload(modelProject());
    payload.replace("CModTCPChnl", "CModXYZChnl");
    const std::optional<QByteArray> file = envelope::wrapPayload(payload);
    ASSERT_TRUE(file);
    const QString path = tempPath(QStringLiteral("unknown-class.drx"));
    const QString error = dumpError("unknown-class.drx", *file);
    EXPECT_TRUE(
        error.startsWith(QStringLiteral("%1: The project file %1 could not be read (").arg(path)))
        << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("CModXYZChnl"))) << error.toStdString();
}

} // namespace
