#include "driverstrings.h"
#include "project.h"
#include "projectenvelope.h"
#include "recordingnotifier.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

// Little builders for expected bytes, each named by the encoding it stands for.
QByteArray u8(quint8 v)
{
    return QByteArray(1, char(v));
}
QByteArray u16(quint16 v)
{
    return QByteArray::fromRawData("", 0) + char(v & 0xFF) + char(v >> 8);
}
QByteArray i32(qint32 v)
{
    QByteArray b;
    for (int i = 0; i < 4; ++i)
        b += char((quint32(v) >> (8 * i)) & 0xFF);
    return b;
}
QByteArray str(const QString &s)
{
    return QByteArray::fromHex("FFFEFF") + u8(quint8(s.size())) +
           QByteArray(reinterpret_cast<const char *>(s.utf16()), s.size() * 2);
}
QByteArray newClass(const char *name)
{
    return QByteArray::fromHex("FFFF0100") + u16(quint16(qstrlen(name))) + QByteArray(name);
}

std::shared_ptr<CModTag> makeTag(const QString &name,
                                 const QString &address = QStringLiteral("400001"))
{
    auto tag = std::make_shared<CModTag>();
    tag->TagName = name;
    tag->TagAddress = address;
    return tag;
}

// One TCP channel at 192.168.1.20 holding one device that holds one group with
// two tags, all with their defaults.
Channels exampleProject()
{
    auto group = std::make_shared<CModTagGroup>();
    group->name = QStringLiteral("G");
    group->tags.append(makeTag(QStringLiteral("T1")));
    group->tags.append(makeTag(QStringLiteral("T2")));
    auto device = std::make_shared<CModTCPDev>();
    device->groups.push_back(group);
    auto channel = std::make_shared<CModTCPChnl>();
    channel->IpAddress = {192, 168, 1, 20};
    channel->devices.push_back(device);
    return {channel};
}

QByteArray defaultTagFields(const QString &name)
{
    return u16(0) + str(name) + str(QString()) + str(QStringLiteral("400001")) + i32(400001) +
           u8(0) + i32(5) + i32(1) + i32(1000);
}

TEST(ProjectPayloadBytes, OneChannelDeviceGroupAndTwoTagsExactly)
{
    QByteArray device = newClass("CModTCPDev") + u16(0) + str(QStringLiteral("TCP_Device_1")) +
                        u16(0) + i32(1) + i32(3) + i32(1000) + u8(3) + i32(1) + i32(0) + u8(3) +
                        i32(10000);
    for (int flag : {0, 1, 1, 0, 1, 1, 1, 1, 1, 0}) // DiscardWritesWhileDemoted .. ModiconBitOrder
        device += i32(flag);
    device += i32(32) + i32(32) + i32(32) + i32(32) + i32(0) + i32(1) + i32(0);
    device += u16(0); // own tags
    device += u16(1) + newClass("CModTagGroup") + u16(0) + str(QStringLiteral("G")) + u16(0) +
              u16(2) + newClass("CModTag") + defaultTagFields(QStringLiteral("T1")) +
              QByteArray::fromHex("0780") + defaultTagFields(QStringLiteral("T2")) + u16(0);
    device += u16(0) + i32(502); // CModTCPDev part

    const QByteArray expected = u16(0) + u16(1) + newClass("CModTCPChnl") + u16(0) +
                                str(QStringLiteral("TCP_Channel_1")) + u16(1) + u8(1) + u8(10) +
                                i32(3) + i32(600) + i32(5) + u16(1) + device + u16(0) + i32(0) +
                                i32(1) + i32(502) + str(QStringLiteral("Default")) + i32(20) +
                                i32(1) + i32(168) + i32(192) + QByteArray::fromHex("0100 0400");

    const QByteArray payload = ProjectFile::encodePayload(exampleProject());
    EXPECT_EQ(payload.toHex(' ').toStdString(), expected.toHex(' ').toStdString());

    const ProjectFile::Loaded loaded = ProjectFile::decodePayload(payload);
    ASSERT_EQ(loaded.error, ProjectFile::Error::None) << loaded.message.toStdString();
    ASSERT_EQ(loaded.channels.size(), 1u);
    auto *channel = dynamic_cast<CModTCPChnl *>(loaded.channels[0].get());
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(channel->IpAddress, (std::array<qint32, 4>{192, 168, 1, 20}));
    EXPECT_FALSE(channel->isNew);
    ASSERT_EQ(channel->devices.size(), 1u) << "the repeated list yields the same device";
    EXPECT_FALSE(channel->devices[0]->isNew);
    EXPECT_EQ(ProjectFile::encodePayload(loaded.channels), payload);
}

// Every field of a device record holds a value of its own, none its default,
// so a field written in the wrong place or width cannot go unnoticed.
TEST(ProjectPayloadBytes, DeviceRecordWithEveryFieldDistinctExactly)
{
    auto device = std::make_shared<CModTCPDev>();
    device->name = QStringLiteral("Press");
    device->DeviceId = 17;
    device->TimingReserved = 0x01020304;
    device->RequestTimeout = 2345;
    device->FailAfter = 6;
    device->InterRequestDelay = 78;
    device->AutoDemote = true;
    device->DemoteAfter = 9;
    device->DemoteFor = 123456;
    device->DiscardWritesWhileDemoted = true;
    device->ZeroBasedAddr = false;
    device->ZeroBasedBitAddr = false;
    device->HoldingBitMaskWrites = true;
    device->UseFunc06 = false;
    device->UseFunc05 = false;
    device->DefaultByteOrder = false;
    device->FirstWordLow = false;
    device->FirstDwordLow = false;
    device->ModiconBitOrder = true;
    device->OutputCoilBlock = 1600;
    device->InputCoilBlock = 808;
    device->InternalRegBlock = 100;
    device->HoldingRegBlock = 99;
    device->BlockReadStrings = true;
    device->TcpFraming = false;
    device->LeadingBytes = -2;
    device->DevicePort = 1502;
    auto channel = std::make_shared<CModTCPChnl>();
    channel->name = QStringLiteral("C");
    channel->IpAddress = {10, 20, 30, 40};
    channel->devices.push_back(device);

    const QByteArray expectedDevice =
        newClass("CModTCPDev") + u16(0) + str(QStringLiteral("Press")) + u16(0) + i32(17) +
        QByteArray::fromHex("04030201") + i32(2345) + u8(6) + i32(78) + i32(1) + u8(9) +
        i32(123456) + i32(1) + i32(0) + i32(0) + i32(1) + i32(0) + i32(0) + i32(0) + i32(0) +
        i32(0) + i32(1) + i32(1600) + i32(808) + i32(100) + i32(99) + i32(1) + i32(0) +
        QByteArray::fromHex("feffffff") + u16(0) + u16(0) + u16(0) + i32(1502);
    const QByteArray expected = u16(0) + u16(1) + newClass("CModTCPChnl") + u16(0) +
                                str(QStringLiteral("C")) + u16(1) + u8(1) + u8(10) + i32(3) +
                                i32(600) + i32(5) + u16(1) + expectedDevice + u16(0) + i32(0) +
                                i32(1) + i32(502) + str(QStringLiteral("Default")) + i32(40) +
                                i32(30) + i32(20) + i32(10) + QByteArray::fromHex("0100 0400");

    const QByteArray payload = ProjectFile::encodePayload({channel});
    EXPECT_EQ(payload.toHex(' ').toStdString(), expected.toHex(' ').toStdString());
    const ProjectFile::Loaded loaded = ProjectFile::decodePayload(payload);
    ASSERT_EQ(loaded.error, ProjectFile::Error::None) << loaded.message.toStdString();
    EXPECT_EQ(ProjectFile::encodePayload(loaded.channels), payload);
}

// An RTU channel: its serial settings embedded without a class tag, and its
// device list written twice, the second time as back-references only.
TEST(ProjectPayloadBytes, RtuChannelWithComPropsAndRepeatedDeviceListExactly)
{
    auto channel = std::make_shared<CModRTUChnl>();
    channel->name = QStringLiteral("Serial");
    channel->WriteOptimization = 2;
    channel->DutyCycle = 4;
    channel->ConnectTimeout = 7;
    channel->ReconnectAfter = 60;
    channel->MaxReconnectAttempts = 0;
    channel->comProps.ComPort = 3;
    channel->comProps.BaudRate = 11;
    channel->comProps.DataBits = 2;
    channel->comProps.Parity = 1;
    channel->comProps.StopBits = 1;
    channel->comProps.FlowControl = 5;
    channel->comProps.EthernetEncapsulation = true;
    channel->comProps.ReportCommErrors = false;
    for (const char *name : {"A", "B"}) {
        auto device = std::make_shared<CModRTUDev>();
        device->name = QString::fromLatin1(name);
        channel->devices.push_back(device);
    }

    // A default RTU device after its class tag or reference: the device part,
    // then the RTU part with its reserved values.
    const auto rtuDevice = [](const QString &name) {
        QByteArray bytes = u16(0) + str(name) + u16(0) + i32(1) + i32(3) + i32(1000) + u8(3) +
                           i32(1) + i32(0) + u8(3) + i32(10000);
        for (int flag : {0, 1, 1, 0, 1, 1, 1, 1, 1, 0})
            bytes += i32(flag);
        bytes += i32(32) + i32(32) + i32(32) + i32(32) + i32(0) + i32(1) + i32(0);
        return bytes + u16(0) + u16(0) + u16(0) + i32(0) + u8(0) + u8(0);
    };
    const QByteArray comProps =
        u16(0) + u8(3) + i32(11) + u8(2) + u8(1) + u8(1) + u8(5) + i32(1) + i32(0);
    // Object indices: 1 the channel class, 2 the channel, 3 the device class,
    // 4 and 5 the devices; a class reference is its index with the top bit set.
    const QByteArray expected =
        u16(0) + u16(1) + newClass("CModRTUChnl") + u16(0) + str(QStringLiteral("Serial")) +
        u16(1) + u8(2) + u8(4) + i32(7) + i32(60) + i32(0) + u16(2) + newClass("CModRTUDev") +
        rtuDevice(QStringLiteral("A")) + QByteArray::fromHex("0380") +
        rtuDevice(QStringLiteral("B")) + u16(0) + comProps + u16(2) + u16(4) + u16(5);

    const QByteArray payload = ProjectFile::encodePayload({channel});
    EXPECT_EQ(payload.toHex(' ').toStdString(), expected.toHex(' ').toStdString());
    const ProjectFile::Loaded loaded = ProjectFile::decodePayload(payload);
    ASSERT_EQ(loaded.error, ProjectFile::Error::None) << loaded.message.toStdString();
    ASSERT_EQ(loaded.channels.at(0)->devices.size(), 2u);
    EXPECT_EQ(loaded.channels[0]->devices[1]->name, QStringLiteral("B"));
    EXPECT_EQ(ProjectFile::encodePayload(loaded.channels), payload);
}

TEST(ProjectPayloadBytes, ChannelRecordVersion0LoadsReconnectDefaults)
{
    Channels project = exampleProject();
    project[0]->ReconnectAfter = 30;
    project[0]->MaxReconnectAttempts = 9;
    QByteArray payload = ProjectFile::encodePayload(project);
    const QByteArray current = u16(1) + u8(1) + u8(10) + i32(3) + i32(30) + i32(9);
    const QByteArray older = u16(0) + u8(1) + u8(10) + i32(3);
    ASSERT_EQ(payload.count(current), 1);
    payload.replace(current, older);

    const ProjectFile::Loaded loaded = ProjectFile::decodePayload(payload);
    ASSERT_EQ(loaded.error, ProjectFile::Error::None) << loaded.message.toStdString();
    EXPECT_EQ(loaded.channels[0]->ReconnectAfter, 600);
    EXPECT_EQ(loaded.channels[0]->MaxReconnectAttempts, 5);
}

TEST(ProjectPayloadBytes, NarrowStringsFromOtherWritersLoad)
{
    QByteArray payload = ProjectFile::encodePayload(exampleProject());
    payload.replace(str(QStringLiteral("T2")), QByteArray::fromHex("02") + "T2");
    payload.replace(str(QStringLiteral("Default")), QByteArray::fromHex("07") + "Default");
    const ProjectFile::Loaded loaded = ProjectFile::decodePayload(payload);
    ASSERT_EQ(loaded.error, ProjectFile::Error::None) << loaded.message.toStdString();
    auto *channel = static_cast<CModTCPChnl *>(loaded.channels[0].get());
    EXPECT_EQ(channel->NetworkAdapter, QStringLiteral("Default"));
    EXPECT_EQ(channel->devices[0]->groups[0]->tags.at(1)->TagName, QStringLiteral("T2"));
}

TEST(ProjectPayloadBytes, DeviceOfTheOtherKindIsRefused)
{
    Channels project = exampleProject();
    project[0]->devices[0] = std::make_shared<CModRTUDev>();
    const ProjectFile::Loaded loaded =
        ProjectFile::decodePayload(ProjectFile::encodePayload(project));
    EXPECT_EQ(loaded.error, ProjectFile::Error::Unreadable);
    EXPECT_TRUE(loaded.message.contains(QStringLiteral("CModRTUDev")))
        << loaded.message.toStdString();
}

class ProjectFileTest : public ::testing::Test
{
protected:
    QString pathOf(const QString &name) const
    {
        return QDir(testsupport::tempRoot()).filePath(name);
    }

    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // A project with both channel kinds and a group three levels below a device.
    void buildRichProject(Project &project)
    {
        auto tcp = std::make_shared<CModTCPChnl>();
        tcp->name = QStringLiteral("Line1");
        auto device = std::make_shared<CModTCPDev>();
        device->name = QStringLiteral("PLC");
        device->DeviceId = 17;
        device->ModiconBitOrder = true;
        device->tags.append(makeTag(QStringLiteral("Speed"), QStringLiteral("300010")));
        auto level1 = std::make_shared<CModTagGroup>();
        level1->name = QStringLiteral("A");
        auto level2 = std::make_shared<CModTagGroup>();
        level2->name = QStringLiteral("B");
        auto level3 = std::make_shared<CModTagGroup>();
        level3->name = QStringLiteral("C");
        level3->tags.append(makeTag(QStringLiteral("Deep"), QStringLiteral("400100.3")));
        level3->tags.at(0)->Description = QStringLiteral("déjà vu, with comma");
        level2->groups.push_back(level3);
        level2->groups.push_back(std::make_shared<CModTagGroup>());
        level2->groups.back()->name = QStringLiteral("B2");
        level1->groups.push_back(level2);
        device->groups.push_back(level1);
        tcp->devices.push_back(device);
        tcp->devices.push_back(std::make_shared<CModTCPDev>());
        auto rtu = std::make_shared<CModRTUChnl>();
        rtu->comProps.BaudRate = 12;
        rtu->devices.push_back(std::make_shared<CModRTUDev>());
        project.addChannel(tcp);
        project.addChannel(rtu);
        project.markModified();
    }

    RecordingNotifier notifier;
};

TEST_F(ProjectFileTest, SaveAndLoadKeepEveryNodeInTreeOrder)
{
    Project project(notifier);
    buildRichProject(project);
    const QString path = pathOf(QStringLiteral("rich.drx"));
    ASSERT_TRUE(project.saveFile(path));
    EXPECT_FALSE(project.isModified());
    EXPECT_EQ(project.path(), path);

    Project reloaded(notifier);
    ASSERT_TRUE(reloaded.loadFile(path));
    EXPECT_EQ(ProjectFile::encodePayload(reloaded.channels()),
              ProjectFile::encodePayload(project.channels()));
    CModTag *deep = reloaded.findTagByPath(u"Line1.PLC.A.B.C.Deep", 42);
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(deep->requestId, 42);
    EXPECT_EQ(deep->Description, QStringLiteral("déjà vu, with comma"));
    EXPECT_EQ(reloaded.findTagByPath(u"Line1.PLC.a.B.C.Deep", 1), nullptr) << "case-sensitive";
    EXPECT_EQ(static_cast<CModRTUChnl *>(reloaded.channels()[1].get())->comProps.BaudRate, 12);
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(ProjectFileTest, FailedSaveKeepsTheOldFileAndTheModifiedFlag)
{
    Project project(notifier);
    buildRichProject(project);
    const QString path = pathOf(QStringLiteral("kept.drx"));
    ASSERT_TRUE(project.saveFile(path));
    const QByteArray before = readFile(path);

    // Without channels the payload is too short to wrap.
    while (!project.channels().empty())
        project.takeChannel(project.channels().front().get());
    project.markModified();
    EXPECT_FALSE(project.saveFile(path));
    EXPECT_EQ(notifier.messageTexts(),
              QStringList{DriverString::text(DriverString::ErrorSavingProject)});
    EXPECT_TRUE(project.isModified());
    EXPECT_EQ(readFile(path), before);

    // A folder where the file should go cannot be written either.
    buildRichProject(project);
    const QString folder = pathOf(QStringLiteral("a-folder.drx"));
    QDir().mkpath(folder);
    EXPECT_FALSE(project.saveFile(folder));
    EXPECT_EQ(notifier.messages.size(), 2u);
    EXPECT_EQ(project.path(), path) << "a failed save adopts no new path";
}

TEST_F(ProjectFileTest, BadFilesLeaveTheOpenProjectAndTheFileAlone)
{
    Project project(notifier);
    buildRichProject(project);
    const QString good = pathOf(QStringLiteral("good.drx"));
    ASSERT_TRUE(project.saveFile(good));
    const QByteArray goodBytes = readFile(good);
    const QByteArray openPayload = ProjectFile::encodePayload(project.channels());

    struct BadFile
    {
        const char *name;
        QByteArray bytes;
        bool silent;
    };
    const QByteArray payload = ProjectFile::encodePayload(project.channels());
    std::vector<BadFile> files = {
        {"short.drx", goodBytes.left(2047), true},
        {"random.drx", QByteArray(4096, 'x'), false},
        {"truncated-payload.drx", *envelope::wrapPayload(payload.left(payload.size() - 7)), false},
        {"trailing-bytes.drx", *envelope::wrapPayload(payload + "junk"), false},
        {"unknown-class.drx",
         *envelope::wrapPayload(QByteArray(payload).replace("CModTCPChnl", "CModXYZChnl")), false},
    };
    for (const BadFile &bad : files) {
        const QString path = pathOf(QString::fromLatin1(bad.name));
        writeFile(path, bad.bytes);
        notifier.messages.clear();
        EXPECT_FALSE(project.loadFile(path)) << bad.name;
        EXPECT_EQ(notifier.messages.empty(), bad.silent) << bad.name;
        if (!bad.silent) {
            EXPECT_TRUE(notifier.messages[0].text.contains(path))
                << notifier.messages[0].text.toStdString();
            EXPECT_EQ(notifier.messages[0].icon, Notifier::Icon::Stop);
        }
        EXPECT_EQ(project.path(), good) << bad.name;
        EXPECT_EQ(ProjectFile::encodePayload(project.channels()), openPayload) << bad.name;
        EXPECT_EQ(readFile(path), bad.bytes) << bad.name;
    }
    // A file cut short names what is missing.
    const QString cut = pathOf(QStringLiteral("cut.drx"));
    writeFile(cut, goodBytes.left(goodBytes.size() - 1024));
    notifier.messages.clear();
    EXPECT_FALSE(project.loadFile(cut));
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_TRUE(notifier.messages[0].text.contains(QStringLiteral("cut short")))
        << notifier.messages[0].text.toStdString();

    notifier.messages.clear();
    EXPECT_FALSE(project.loadFile(pathOf(QStringLiteral("missing.drx"))));
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(ProjectFileTest, NewProjectAsksAndKeepsAProjectItCouldNotSave)
{
    Project project(notifier);
    buildRichProject(project);
    // Yes to saving, then the save dialog is cancelled: nothing is discarded.
    notifier.yesNoAnswers = {true};
    EXPECT_FALSE(project.startNew());
    EXPECT_EQ(notifier.questions,
              QStringList{DriverString::text(DriverString::SaveExistingProject)});
    ASSERT_EQ(notifier.dialogs.size(), 1u);
    EXPECT_EQ(notifier.dialogs[0].title, QStringLiteral("Save Modbus Project"));
    EXPECT_EQ(notifier.dialogs[0].defaultExtension, QStringLiteral("drx"));
    EXPECT_EQ(project.channels().size(), 2u);

    // Yes, and the save goes through: the file is written, then discarded.
    const QString path = pathOf(QStringLiteral("saved-on-new.drx"));
    notifier.yesNoAnswers = {true};
    notifier.fileAnswers = {path};
    QStringList used;
    QObject::connect(&project, &Project::fileUsed, [&](const QString &p) { used << p; });
    EXPECT_TRUE(project.startNew());
    EXPECT_TRUE(project.channels().empty());
    EXPECT_TRUE(project.path().isEmpty());
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(used, QStringList{path});

    // No: discarded without saving.
    buildRichProject(project);
    notifier.yesNoAnswers = {false};
    EXPECT_TRUE(project.startNew());
    EXPECT_TRUE(project.channels().empty());
}

TEST_F(ProjectFileTest, OpenProjectUsesItsDialogAndReportsTheFile)
{
    Project source(notifier);
    buildRichProject(source);
    const QString path = pathOf(QStringLiteral("open-me.drx"));
    ASSERT_TRUE(source.saveFile(path));

    Project project(notifier);
    QStringList used;
    QObject::connect(&project, &Project::fileUsed, [&](const QString &p) { used << p; });
    notifier.fileAnswers = {path};
    project.open();
    ASSERT_EQ(notifier.dialogs.size(), 1u);
    EXPECT_EQ(notifier.dialogs[0].title, QStringLiteral("Open Modbus Project"));
    EXPECT_EQ(notifier.dialogs[0].filter, QStringLiteral("Modbus driver files (*.drx)|*.drx|"));
    EXPECT_EQ(project.channels().size(), 2u);
    EXPECT_EQ(used, QStringList{path});

    // Save As does nothing for an unmodified project; Close asks nothing.
    project.saveAs();
    EXPECT_EQ(notifier.dialogs.size(), 1u);
    project.close();
    EXPECT_TRUE(notifier.questions.isEmpty());
    EXPECT_TRUE(project.channels().empty());
}

TEST_F(ProjectFileTest, EleventhChannelIsRefused)
{
    Project project(notifier);
    for (int i = 0; i < Project::MaxChannels; ++i) {
        ASSERT_TRUE(project.canAddChannel());
        project.addChannel(std::make_shared<CModTCPChnl>());
    }
    EXPECT_FALSE(project.canAddChannel());
    EXPECT_EQ(
        notifier.messageTexts(),
        QStringList{QStringLiteral("Can't add channel, maximum channels are limited to 10.")});
}

} // namespace
