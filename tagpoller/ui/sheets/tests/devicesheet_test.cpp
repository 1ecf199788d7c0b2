// The device sheets driven through their widgets: device IDs of both kinds,
// demotion bounds, the block size spin buttons, hidden controls and the round
// trip of every setting.
#include "sheettesting.h"

#include "blocksizespinbox.h"
#include "deviceeditor.h"
#include "tabbedsheet.h"
#include "wizardsheet.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QWizardPage>

using namespace sheettesting;

namespace {

const QStringList DevicePageCaptions{
    QStringLiteral("Device"),
    QStringLiteral("Device ID"),
    QStringLiteral("Device Demotion"),
    QStringLiteral("Data Access Settings"),
    QStringLiteral("Data Encoding Settings"),
    QStringLiteral("Block Sizes"),
};

template<class Device> std::shared_ptr<Device> acceptedDevice()
{
    auto device = std::make_shared<Device>();
    device->isNew = false;
    return device;
}

QString blockText(QWidget *sheet, const char *name)
{
    return control<BlockSizeSpinBox>(sheet, name)->text();
}

class DeviceSheetTest : public ::testing::Test
{
protected:
    RecordingNotifier notifier;
};

TEST_F(DeviceSheetTest, NewDevicesOpenAsWizardsWithTheirPagesInOrder)
{
    auto rtu = std::make_shared<CModRTUDev>();
    DeviceEditor rtuEditor(*rtu, {rtu});
    WizardSheet rtuSheet(rtuEditor, notifier);
    rtuSheet.show();
    EXPECT_EQ(rtuSheet.windowTitle(), QStringLiteral("RTU Device Properties"));
    QStringList titles;
    for (int id : rtuSheet.pageIds())
        titles << rtuSheet.page(id)->title();
    EXPECT_EQ(titles, DevicePageCaptions);
    EXPECT_EQ(control<QLineEdit>(&rtuSheet, "deviceName")->text(), QStringLiteral("RTU_Device_1"));

    auto tcp = std::make_shared<CModTCPDev>();
    DeviceEditor tcpEditor(*tcp, {tcp});
    WizardSheet tcpSheet(tcpEditor, notifier);
    EXPECT_EQ(tcpSheet.windowTitle(), QStringLiteral("TCP Device Properties"));
    EXPECT_EQ(tcpSheet.page(1)->title(), QStringLiteral("TCP/IP Device ID"));
}

TEST_F(DeviceSheetTest, ExistingDevicesOpenAsTabs)
{
    auto tcp = acceptedDevice<CModTCPDev>();
    DeviceEditor editor(*tcp, {tcp});
    TabbedSheet sheet(editor, notifier);
    QStringList tabs;
    for (int i = 0; i < sheet.tabs()->count(); ++i)
        tabs << sheet.tabs()->tabText(i);
    QStringList expected = DevicePageCaptions;
    expected[1] = QStringLiteral("TCP/IP Device ID");
    EXPECT_EQ(tabs, expected);
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("TCP Device Properties"));
}

TEST_F(DeviceSheetTest, RtuDeviceId300IsRefused)
{
    auto device = std::make_shared<CModRTUDev>();
    DeviceEditor editor(*device, {device});
    WizardSheet sheet(editor, notifier);
    sheet.show();
    clickNext(sheet);
    auto *deviceId = control<QLineEdit>(&sheet, "deviceId");
    EXPECT_EQ(deviceId->text(), QStringLiteral("1"));

    typeText(deviceId, QStringLiteral("300"));
    clickNext(sheet);
    EXPECT_EQ(messages(notifier),
              std::vector<Message>{stop(QStringLiteral("Enter an integer between 0 and 255."))});
    EXPECT_EQ(sheet.currentId(), 1);
    EXPECT_EQ(sheet.focusWidget(), deviceId);
    EXPECT_EQ(deviceId->selectedText(), QStringLiteral("300"));

    typeText(deviceId, QStringLiteral("255"));
    clickNextToLastPage(sheet);
    clickFinish(sheet);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(device->DeviceId, 255);
    EXPECT_FALSE(device->isNew);
}

TEST_F(DeviceSheetTest, TcpDeviceIdOutside0To255IsRefusedAsOnRtu)
{
    auto device = std::make_shared<CModTCPDev>();
    DeviceEditor editor(*device, {device});
    WizardSheet sheet(editor, notifier);
    sheet.show();
    clickNext(sheet);
    auto *deviceId = control<QLineEdit>(&sheet, "deviceId");
    // 99999999999 used to be stored as 4294967295, 300 as 300.
    for (const QString &text : {QStringLiteral("300"), QStringLiteral("99999999999")}) {
        SCOPED_TRACE(text.toStdString());
        notifier.messages.clear();
        typeText(deviceId, text);
        clickNext(sheet);
        EXPECT_EQ(messages(notifier), std::vector<Message>{stop(
                                          QStringLiteral("Enter an integer between 0 and 255."))});
        EXPECT_EQ(sheet.currentId(), 1);
    }
    typeText(deviceId, QStringLiteral("255"));
    clickNextToLastPage(sheet);
    clickFinish(sheet);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(device->DeviceId, 255);
}

TEST_F(DeviceSheetTest, EmptyDeviceIdIsNotAPositiveInteger)
{
    auto device = acceptedDevice<CModTCPDev>();
    DeviceEditor editor(*device, {device});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    clickTab(sheet, 1);
    typeText(control<QLineEdit>(&sheet, "deviceId"), QString());
    clickOk(sheet);
    EXPECT_EQ(messages(notifier),
              std::vector<Message>{stop(QStringLiteral("Enter a positive integer."))});
}

TEST_F(DeviceSheetTest, DemoteForAboveAnHourIsRefusedWithItsBounds)
{
    auto device = acceptedDevice<CModRTUDev>();
    DeviceEditor editor(*device, {device});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    clickTab(sheet, 2);
    auto *demoteFor = control<QLineEdit>(&sheet, "demoteFor");
    EXPECT_EQ(demoteFor->text(), QStringLiteral("10000"));

    typeText(demoteFor, QStringLiteral("3600001"));
    clickTab(sheet, 3);
    EXPECT_EQ(
        messages(notifier),
        std::vector<Message>{stop(QStringLiteral("Enter an integer between 100 and 3600000."))});
    EXPECT_EQ(sheet.tabs()->currentIndex(), 2);
    EXPECT_EQ(sheet.focusWidget(), demoteFor);

    typeText(demoteFor, QStringLiteral("99"));
    clickOk(sheet);
    EXPECT_EQ(notifier.messages.back().text,
              QStringLiteral("Enter an integer between 100 and 3600000."));

    typeText(demoteFor, QStringLiteral("3600000"));
    typeText(control<QLineEdit>(&sheet, "demoteAfter"), QStringLiteral("30"));
    click(control<QCheckBox>(&sheet, "autoDemote"));
    click(control<QCheckBox>(&sheet, "discardWritesWhileDemoted"));
    clickOk(sheet);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(device->DemoteFor, 3600000);
    EXPECT_EQ(device->DemoteAfter, 30);
    EXPECT_TRUE(device->AutoDemote);
    EXPECT_TRUE(device->DiscardWritesWhileDemoted);
}

TEST_F(DeviceSheetTest, DemoteAfterZeroIsRefusedWithItsBounds)
{
    auto device = acceptedDevice<CModTCPDev>();
    DeviceEditor editor(*device, {device});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    clickTab(sheet, 2);
    auto *demoteAfter = control<QLineEdit>(&sheet, "demoteAfter");
    typeText(demoteAfter, QStringLiteral("0"));
    // A later field in error as well: the first is reported.
    typeText(control<QLineEdit>(&sheet, "demoteFor"), QStringLiteral("1"));
    clickOk(sheet);
    EXPECT_EQ(messages(notifier),
              std::vector<Message>{stop(QStringLiteral("Enter an integer between 1 and 30."))});
    EXPECT_EQ(sheet.focusWidget(), demoteAfter);

    typeText(demoteAfter, QStringLiteral("31"));
    clickOk(sheet);
    EXPECT_EQ(notifier.messages.back().text, QStringLiteral("Enter an integer between 1 and 30."));
    typeText(demoteAfter, QStringLiteral("300"));
    clickOk(sheet);
    EXPECT_EQ(notifier.messages.back().text, QStringLiteral("Enter an integer between 0 and 255."));
    EXPECT_EQ(device->DemoteAfter, 3);
}

TEST_F(DeviceSheetTest, CoilSpinStepsByEightAndStopsAtItsRange)
{
    auto device = acceptedDevice<CModTCPDev>();
    DeviceEditor editor(*device, {device});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    clickTab(sheet, 5);
    auto *output = control<BlockSizeSpinBox>(&sheet, "outputCoilBlock");
    ASSERT_EQ(output->text(), QStringLiteral("32"));

    QTest::keyClick(output, Qt::Key_Up);
    EXPECT_EQ(output->text(), QStringLiteral("40"));
    QTest::keyClick(output, Qt::Key_Down);
    QTest::keyClick(output, Qt::Key_Down);
    EXPECT_EQ(output->text(), QStringLiteral("24"));
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(output, Qt::Key_Down);
    EXPECT_EQ(output->text(), QStringLiteral("8"));
    for (int i = 0; i < 260; ++i)
        QTest::keyClick(output, Qt::Key_Up);
    EXPECT_EQ(output->text(), QStringLiteral("2000"));
    QTest::keyClick(output, Qt::Key_Down);
    EXPECT_EQ(output->text(), QStringLiteral("1992"));
    EXPECT_TRUE(sheet.button(QDialogButtonBox::Apply)->isEnabled());

    clickOk(sheet);
    EXPECT_EQ(device->OutputCoilBlock, 1992);
}

TEST_F(DeviceSheetTest, RegisterSpinStepsByOneFrom1To125)
{
    auto device = acceptedDevice<CModRTUDev>();
    DeviceEditor editor(*device, {device});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    clickTab(sheet, 5);
    auto *holding = control<BlockSizeSpinBox>(&sheet, "holdingRegBlock");
    QTest::keyClick(holding, Qt::Key_Up);
    EXPECT_EQ(holding->text(), QStringLiteral("33"));
    for (int i = 0; i < 40; ++i)
        QTest::keyClick(holding, Qt::Key_Down);
    EXPECT_EQ(holding->text(), QStringLiteral("1"));
    for (int i = 0; i < 130; ++i)
        QTest::keyClick(holding, Qt::Key_Up);
    EXPECT_EQ(holding->text(), QStringLiteral("125"));
    auto *internal = control<BlockSizeSpinBox>(&sheet, "internalRegBlock");
    QTest::keyClick(internal, Qt::Key_Down);
    clickOk(sheet);
    EXPECT_EQ(device->HoldingRegBlock, 125);
    EXPECT_EQ(device->InternalRegBlock, 31);
}

TEST_F(DeviceSheetTest, BlockSizesCannotBeTyped)
{
    auto device = acceptedDevice<CModRTUDev>();
    DeviceEditor editor(*device, {device});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    clickTab(sheet, 5);
    auto *input = control<BlockSizeSpinBox>(&sheet, "inputCoilBlock");
    QTest::keyClick(input, Qt::Key_End);
    QTest::keyClick(input, Qt::Key_Backspace);
    QTest::keyClicks(input, QStringLiteral("17"));
    EXPECT_EQ(input->text(), QStringLiteral("32"));
    EXPECT_FALSE(sheet.button(QDialogButtonBox::Apply)->isEnabled());
}

TEST_F(DeviceSheetTest, StoredCoilBlockOf13IsAcceptedAnd7IsRefused)
{
    auto device = acceptedDevice<CModTCPDev>();
    device->InputCoilBlock = 13;
    {
        DeviceEditor editor(*device, {device});
        TabbedSheet sheet(editor, notifier);
        sheet.show();
        clickTab(sheet, 5);
        EXPECT_EQ(blockText(&sheet, "inputCoilBlock"), QStringLiteral("13"));
        clickOk(sheet);
        EXPECT_EQ(sheet.result(), QDialog::Accepted);
        EXPECT_EQ(device->InputCoilBlock, 13);
        EXPECT_TRUE(notifier.messages.empty());
    }

    device->InputCoilBlock = 7;
    DeviceEditor editor(*device, {device});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    clickTab(sheet, 5);
    auto *input = control<BlockSizeSpinBox>(&sheet, "inputCoilBlock");
    EXPECT_EQ(input->text(), QStringLiteral("7"));
    clickOk(sheet);
    EXPECT_EQ(messages(notifier),
              std::vector<Message>{stop(QStringLiteral("Enter an integer between 8 and 2000."))});
    EXPECT_TRUE(input->isAncestorOf(sheet.focusWidget()));

    // Stepping brings it into the range.
    QTest::keyClick(input, Qt::Key_Up);
    EXPECT_EQ(input->text(), QStringLiteral("15"));
    clickOk(sheet);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(device->InputCoilBlock, 15);
}

TEST_F(DeviceSheetTest, HiddenControlsAreExchangedButNotShown)
{
    auto device = acceptedDevice<CModTCPDev>();
    changeEverySetting(*device);
    DeviceEditor editor(*device, {device});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    visitEveryTab(sheet);

    clickTab(sheet, 1);
    auto *devicePort = control<QLineEdit>(&sheet, "devicePort");
    EXPECT_FALSE(devicePort->isVisible());
    EXPECT_EQ(devicePort->text(), QStringLiteral("1502"));
    clickTab(sheet, 3);
    EXPECT_TRUE(control<QCheckBox>(&sheet, "zeroBasedAddr")->isVisible());
    for (const char *hidden : {"useFunc06", "useFunc05"}) {
        auto *box = control<QCheckBox>(&sheet, hidden);
        EXPECT_FALSE(box->isVisible()) << hidden;
        EXPECT_FALSE(box->isChecked()) << hidden;
    }
    clickTab(sheet, 5);
    auto *blockReadStrings = control<QCheckBox>(&sheet, "blockReadStrings");
    EXPECT_FALSE(blockReadStrings->isVisible());
    EXPECT_TRUE(blockReadStrings->isChecked());
}

TEST_F(DeviceSheetTest, CheckBoxesWriteTheirFlags)
{
    auto device = acceptedDevice<CModRTUDev>();
    DeviceEditor editor(*device, {device});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    clickTab(sheet, 3);
    for (const char *name : {"zeroBasedAddr", "zeroBasedBitAddr", "holdingBitMaskWrites"})
        click(control<QCheckBox>(&sheet, name));
    clickTab(sheet, 4);
    for (const char *name :
         {"defaultByteOrder", "firstWordLow", "firstDwordLow", "modiconBitOrder"})
        click(control<QCheckBox>(&sheet, name));
    clickOk(sheet);

    ASSERT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_FALSE(device->ZeroBasedAddr);
    EXPECT_FALSE(device->ZeroBasedBitAddr);
    EXPECT_TRUE(device->HoldingBitMaskWrites);
    EXPECT_FALSE(device->DefaultByteOrder);
    EXPECT_FALSE(device->FirstWordLow);
    EXPECT_FALSE(device->FirstDwordLow);
    EXPECT_TRUE(device->ModiconBitOrder);
    EXPECT_TRUE(device->UseFunc06);
    EXPECT_TRUE(device->UseFunc05);
}

TEST_F(DeviceSheetTest, ApplyWritesBackWithoutClosing)
{
    auto device = acceptedDevice<CModTCPDev>();
    DeviceEditor editor(*device, {device});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    typeText(control<QLineEdit>(&sheet, "deviceName"), QStringLiteral("Meter_2"));
    clickApply(sheet);
    EXPECT_EQ(device->name, QStringLiteral("Meter_2"));
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_FALSE(sheet.button(QDialogButtonBox::Apply)->isEnabled());
}

TEST_F(DeviceSheetTest, CancellingLeavesTheDeviceUntouched)
{
    auto device = std::make_shared<CModRTUDev>();
    const QByteArray before = recordBytes(*device);
    DeviceEditor editor(*device, {device});
    WizardSheet sheet(editor, notifier);
    sheet.show();
    typeText(control<QLineEdit>(&sheet, "deviceName"), QStringLiteral("Meter_2"));
    clickNext(sheet);
    typeText(control<QLineEdit>(&sheet, "deviceId"), QStringLiteral("9"));
    clickNextToLastPage(sheet);
    QTest::keyClick(control<BlockSizeSpinBox>(&sheet, "outputCoilBlock"), Qt::Key_Up);
    clickCancel(sheet);

    EXPECT_EQ(sheet.result(), QDialog::Rejected);
    EXPECT_EQ(recordBytes(*device), before);
    EXPECT_TRUE(device->isNew);
}

template<class Device> void expectEverySettingSurvivesTheTabs(RecordingNotifier &notifier)
{
    auto device = acceptedDevice<Device>();
    changeEverySetting(*device);
    const QByteArray before = recordBytes(*device);
    DeviceEditor editor(*device, {device});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    visitEveryTab(sheet);
    clickTab(sheet, 5);
    clickOk(sheet);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_EQ(recordBytes(*device), before);
}

template<class Device> void expectEverySettingSurvivesTheWizard(RecordingNotifier &notifier)
{
    auto device = std::make_shared<Device>();
    changeEverySetting(*device);
    const QByteArray before = recordBytes(*device);
    DeviceEditor editor(*device, {device});
    WizardSheet sheet(editor, notifier);
    sheet.show();
    clickNextToLastPage(sheet);
    clickFinish(sheet);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_EQ(recordBytes(*device), before);
    EXPECT_FALSE(device->isNew);
}

TEST_F(DeviceSheetTest, EveryRtuSettingSurvivesTheTabsUnchanged)
{
    expectEverySettingSurvivesTheTabs<CModRTUDev>(notifier);
}

TEST_F(DeviceSheetTest, EveryTcpSettingSurvivesTheTabsUnchanged)
{
    expectEverySettingSurvivesTheTabs<CModTCPDev>(notifier);
}

TEST_F(DeviceSheetTest, EveryRtuSettingSurvivesTheWizardUnchanged)
{
    expectEverySettingSurvivesTheWizard<CModRTUDev>(notifier);
}

TEST_F(DeviceSheetTest, EveryTcpSettingSurvivesTheWizardUnchanged)
{
    expectEverySettingSurvivesTheWizard<CModTCPDev>(notifier);
}

TEST_F(DeviceSheetTest, DeviceKeepsItsTagsAndGroups)
{
    auto device = acceptedDevice<CModTCPDev>();
    auto tag = std::make_shared<CModTag>();
    tag->TagName = QStringLiteral("Level");
    device->tags.append(tag);
    device->groups.push_back(std::make_shared<CModTagGroup>());
    DeviceEditor editor(*device, {device});
    EXPECT_TRUE(editor.workingCopy().tags.isEmpty());
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    typeText(control<QLineEdit>(&sheet, "deviceName"), QStringLiteral("Tank_1"));
    clickOk(sheet);
    ASSERT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(device->name, QStringLiteral("Tank_1"));
    ASSERT_EQ(device->tags.size(), 1);
    EXPECT_EQ(device->tags.at(0), tag.get());
    EXPECT_EQ(device->groups.size(), 1u);
}

} // namespace
