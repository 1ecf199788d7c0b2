// The "WriteTag" command from the selection to the device's write queue, with
// a real Modbus runtime that is started but never connects.
#include "cmodchnl.h"
#include "datatypes.h"
#include "dialogtesting.h"
#include "modbusruntime.h"
#include "recordingnotifier.h"
#include "tagaddress.h"
#include "testenvironment.h"
#include "writetagcommand.h"
#include "writevaluedialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>

#include <memory>

namespace {

using namespace Qt::StringLiterals;
using dialogtesting::child;
using dialogtesting::onModalDialog;
using dialogtesting::str;

void answer(const QString &text)
{
    onModalDialog<WriteValueDialog>([text](WriteValueDialog &dialog) {
        QTest::keyClicks(child<QLineEdit>(dialog, "valueEdit"), text);
        QTest::mouseClick(
            child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok),
            Qt::LeftButton);
    });
}

void cancel()
{
    onModalDialog<WriteValueDialog>([](WriteValueDialog &dialog) {
        QTest::keyClicks(child<QLineEdit>(dialog, "valueEdit"), u"5"_s);
        QTest::mouseClick(
            child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Cancel),
            Qt::LeftButton);
    });
}

class WriteTagCommandTest : public ::testing::Test
{
protected:
    WriteTagCommandTest()
    {
        auto channel = std::make_shared<CModTCPChnl>();
        channel->name = u"Chnl1"_s;
        // Nothing listens there; the run is never made active anyway.
        channel->IpAddress = {127, 0, 0, 1};
        channel->PortNumber = 1;
        device = addDevice(*channel, u"Dev1"_s, 1);
        other = addDevice(*channel, u"Dev2"_s, 2);
        channels.push_back(channel);

        group = std::make_shared<CModTagGroup>();
        group->name = u"Group1"_s;
        subGroup = std::make_shared<CModTagGroup>();
        subGroup->name = u"Sub"_s;
        group->groups.push_back(subGroup);
        device->groups.push_back(group);
    }

    static CModDevice *addDevice(CModChnl &channel, const QString &name, int id)
    {
        auto device = std::make_shared<CModTCPDev>();
        device->name = name;
        device->DeviceId = id;
        channel.devices.push_back(device);
        return device.get();
    }

    static CModTag &addTag(TagList &tags, const QString &name, const QString &address, int dataType,
                           int access = ClientAccessCode::ReadWrite)
    {
        auto tag = std::make_shared<CModTag>();
        tag->TagName = name;
        tag->TagAddress = address;
        tag->AddressNumber = AddressText::leadingNumber(address);
        tag->DataType = dataType;
        tag->ClientAccess = access;
        CModTag &added = *tag;
        tags.append(std::move(tag));
        return added;
    }

    void startRuntime()
    {
        RuntimeServices services;
        services.projectFolder = testsupport::tempRoot();
        runtime = std::make_unique<ModbusRuntime>(services);
        std::vector<CModChnl *> list;
        for (const auto &channel : channels)
            list.push_back(channel.get());
        ASSERT_EQ(runtime->start(list), ModbusRuntime::StartResult::Started);
    }

    // The command with a selection that does not change while the dialog is open.
    void writeSelected(const CModTag *tag, const CModDevice *which,
                       const std::function<ModbusRuntime *()> &currentRuntime)
    {
        writeSelectedTag(
            nullptr, notifier,
            [tag, which] {
                return WriteTarget{tag, which};
            },
            currentRuntime);
    }

    std::function<ModbusRuntime *()> running()
    {
        return [this] { return runtime.get(); };
    }

    const std::deque<QueuedWrite> &queueOf(const CModDevice *which)
    {
        DeviceRuntime *deviceRuntime = runtime->deviceRuntime(which);
        EXPECT_NE(deviceRuntime, nullptr);
        static const std::deque<QueuedWrite> none;
        return deviceRuntime ? deviceRuntime->writeQueue() : none;
    }

    // Runs the command where no dialog may appear; true when one did (it is
    // then closed so that the test goes on).
    bool dialogShownBy(const std::function<void()> &command)
    {
        bool shown = false;
        QTimer::singleShot(0, qApp, [&shown] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                shown = true;
                modal->close();
            }
        });
        command();
        QCoreApplication::processEvents();
        return shown;
    }

    std::vector<std::shared_ptr<CModChnl>> channels;
    CModDevice *device = nullptr;
    CModDevice *other = nullptr;
    std::shared_ptr<CModTagGroup> group;
    std::shared_ptr<CModTagGroup> subGroup;
    std::unique_ptr<ModbusRuntime> runtime;
    RecordingNotifier notifier;
};

TEST_F(WriteTagCommandTest, theDeviceOfADeviceIsItself)
{
    EXPECT_EQ(deviceOfTreeObject(device, channels), device);
    EXPECT_EQ(deviceOfTreeObject(other, channels), other);
}

TEST_F(WriteTagCommandTest, theDeviceOfAGroupIsTheDeviceAboveIt)
{
    EXPECT_EQ(deviceOfTreeObject(group.get(), channels), device);
    EXPECT_EQ(deviceOfTreeObject(subGroup.get(), channels), device) << "two levels below";
}

TEST_F(WriteTagCommandTest, channelsAndStrangersHaveNoDevice)
{
    EXPECT_EQ(deviceOfTreeObject(nullptr, channels), nullptr);
    EXPECT_EQ(deviceOfTreeObject(channels.front().get(), channels), nullptr);
    CModTagGroup stranger;
    EXPECT_EQ(deviceOfTreeObject(&stranger, channels), nullptr);
    CModTCPDev strangerDevice;
    EXPECT_EQ(deviceOfTreeObject(&strangerDevice, channels), nullptr);
}

TEST_F(WriteTagCommandTest, aWordTagWithoutValueIsWrittenAsLong)
{
    CModTag &tag = addTag(device->tags, u"Speed"_s, u"400001"_s, DataTypeCode::Word);
    startRuntime();
    answer(u"1234"_s);
    writeSelected(&tag, device, running());

    const auto &queue = queueOf(device);
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_EQ(str(queue.front().tagName), "Speed");
    EXPECT_EQ(queue.front().address, 0) << "register offset from 400000, zero-based";
    EXPECT_EQ(queue.front().value.type(), DataTypeCode::Long);
    EXPECT_EQ(queue.front().value.asInteger(), 1234);
    EXPECT_TRUE(queueOf(other).empty());
}

TEST_F(WriteTagCommandTest, aDWordTagTakesTheWholeUnsignedRange)
{
    CModTag &tag = addTag(device->tags, u"Total"_s, u"400011"_s, DataTypeCode::DWord);
    startRuntime();
    answer(u"4000000000"_s);
    writeSelected(&tag, device, running());

    const auto &queue = queueOf(device);
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_EQ(queue.front().value.type(), DataTypeCode::DWord);
    EXPECT_EQ(queue.front().value.asInteger64(), 4000000000LL);
}

TEST_F(WriteTagCommandTest, aTagOfAGroupTwoLevelsDownGoesToItsDevice)
{
    addTag(device->tags, u"Own"_s, u"400001"_s, DataTypeCode::Word);
    CModTag &tag = addTag(subGroup->tags, u"Deep"_s, u"000003"_s, DataTypeCode::Boolean);
    tag.value.setBoolean(false); // it has had a value
    startRuntime();
    answer(u"1"_s);
    writeSelected(&tag, deviceOfTreeObject(subGroup.get(), channels), running());

    const auto &queue = queueOf(device);
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_EQ(str(queue.front().tagName), "Deep");
    EXPECT_EQ(queue.front().value.type(), DataTypeCode::Boolean);
    EXPECT_TRUE(queue.front().value.asBoolean());
}

TEST_F(WriteTagCommandTest, cancelWritesNothing)
{
    CModTag &tag = addTag(device->tags, u"Speed"_s, u"400001"_s, DataTypeCode::Word);
    startRuntime();
    cancel();
    writeSelected(&tag, device, running());
    EXPECT_TRUE(queueOf(device).empty());
}

TEST_F(WriteTagCommandTest, tagsTheDialogCannotWriteOpenNoDialog)
{
    CModTag &readOnly =
        addTag(device->tags, u"RO"_s, u"400001"_s, DataTypeCode::Word, ClientAccessCode::ReadOnly);
    CModTag &input = addTag(device->tags, u"In"_s, u"300001"_s, DataTypeCode::Word);
    CModTag &inputCoil = addTag(device->tags, u"InCoil"_s, u"100001"_s, DataTypeCode::Boolean);
    startRuntime();

    for (CModTag *tag : {&readOnly, &input, &inputCoil}) {
        SCOPED_TRACE(str(tag->TagName));
        EXPECT_FALSE(dialogShownBy([&] { writeSelected(tag, device, running()); }));
    }
    EXPECT_FALSE(dialogShownBy([&] { writeSelected(nullptr, device, running()); }))
        << "no tag selected";
    EXPECT_TRUE(queueOf(device).empty());
}

TEST_F(WriteTagCommandTest, aValueTypeWithoutConversionWritesNothing)
{
    CModTag &tag = addTag(device->tags, u"Stamp"_s, u"400001"_s, DataTypeCode::Date);
    tag.value.setFromInteger(1, DataTypeCode::Date);
    startRuntime();
    // Said at once, rather than after a value was typed for nothing.
    EXPECT_FALSE(dialogShownBy([&] { writeSelected(&tag, device, running()); }));
    EXPECT_TRUE(queueOf(device).empty());
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(str(notifier.messages[0].text), "A Date tag cannot be written from here.");
}

TEST_F(WriteTagCommandTest, noDeviceOrNoRunWritesNothing)
{
    CModTag &tag = addTag(device->tags, u"Speed"_s, u"400001"_s, DataTypeCode::Word);
    startRuntime();

    answer(u"7"_s);
    writeSelected(&tag, nullptr, running());
    EXPECT_TRUE(queueOf(device).empty()) << "channel selected in the tree";

    // The run ended while the dialog was open.
    answer(u"7"_s);
    writeSelected(&tag, device, [] { return static_cast<ModbusRuntime *>(nullptr); });
    EXPECT_TRUE(queueOf(device).empty());

    // A device the run does not know.
    CModTCPDev stranger;
    answer(u"7"_s);
    writeSelected(&tag, &stranger, running());
    EXPECT_TRUE(queueOf(device).empty());
}

TEST_F(WriteTagCommandTest, textThatIsNotAWordNumberSendsNothing)
{
    CModTag &tag = addTag(device->tags, u"Speed"_s, u"400001"_s, DataTypeCode::Word);
    startRuntime();
    int refusals = 0;
    onModalDialog<WriteValueDialog>([this, &refusals](WriteValueDialog &dialog) {
        auto *ok = child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok);
        for (const QString &text : {u"abc"_s, u"12abc"_s, u"1.5"_s, u"70000"_s}) {
            child<QLineEdit>(dialog, "valueEdit")->setText(text);
            QTest::mouseClick(ok, Qt::LeftButton);
            if (dialog.isVisible() && notifier.messages.size() == size_t(refusals + 1))
                ++refusals;
        }
        dialog.reject();
    });
    writeSelected(&tag, device, running());
    EXPECT_EQ(refusals, 4);
    EXPECT_TRUE(queueOf(device).empty());
}

TEST_F(WriteTagCommandTest, aTagGoneWhileTheDialogWasOpenIsNotWritten)
{
    CModTag &tag = addTag(device->tags, u"Speed"_s, u"400001"_s, DataTypeCode::Word);
    startRuntime();
    // The selection the main window would report: the tag, until the project
    // is closed under the open dialog.
    WriteTarget selected{&tag, device};
    onModalDialog<WriteValueDialog>([&selected](WriteValueDialog &dialog) {
        child<QLineEdit>(dialog, "valueEdit")->setText(u"7"_s);
        selected = WriteTarget{};
        dialog.accept();
    });
    writeSelectedTag(
        nullptr, notifier, [&selected] { return selected; }, running());
    EXPECT_TRUE(queueOf(device).empty());

    // Another tag selected by then: not written either.
    CModTag &other = addTag(device->tags, u"Other"_s, u"400002"_s, DataTypeCode::Word);
    selected = WriteTarget{&tag, device};
    onModalDialog<WriteValueDialog>([&selected, &other, this](WriteValueDialog &dialog) {
        child<QLineEdit>(dialog, "valueEdit")->setText(u"7"_s);
        selected = WriteTarget{&other, device};
        dialog.accept();
    });
    writeSelectedTag(
        nullptr, notifier, [&selected] { return selected; }, running());
    EXPECT_TRUE(queueOf(device).empty());

    // Unchanged: written.
    selected = WriteTarget{&tag, device};
    answer(u"7"_s);
    writeSelectedTag(
        nullptr, notifier, [&selected] { return selected; }, running());
    EXPECT_EQ(queueOf(device).size(), 1u);
}

} // namespace
