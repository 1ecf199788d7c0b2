// The channel sheets driven through their widgets: the wizard of a new channel,
// the tabs of an existing one, the name rule, the checks of every page and the
// round trip of every setting.
#include "sheettesting.h"

#include "channelcommunicationspage.h"
#include "channeleditor.h"
#include "tabbedsheet.h"
#include "wizardsheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QWizardPage>

using namespace sheettesting;

namespace {

std::shared_ptr<CModTCPChnl> acceptedTcpChannel(const QString &name)
{
    auto channel = std::make_shared<CModTCPChnl>();
    channel->name = name;
    channel->isNew = false;
    return channel;
}

class ChannelSheetTest : public ::testing::Test
{
protected:
    RecordingNotifier notifier;
};

// --- The wizard of a new channel -------------------------------------------

TEST_F(ChannelSheetTest, NewTcpChannelOpensAsWizardOnIdentificationWithDefaultName)
{
    auto channel = std::make_shared<CModTCPChnl>();
    ChannelEditor editor(*channel, {channel});
    WizardSheet sheet(editor, notifier);
    sheet.show();

    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("TCP Channel Properties"));
    ASSERT_EQ(sheet.currentId(), 0);
    EXPECT_EQ(sheet.currentPage()->title(), QStringLiteral("Channel Identification"));
    EXPECT_EQ(control<QLineEdit>(&sheet, "channelName")->text(), QStringLiteral("TCP_Channel_1"));
    QStringList titles;
    for (int id : sheet.pageIds())
        titles << sheet.page(id)->title();
    EXPECT_EQ(titles, QStringList({QStringLiteral("Channel Identification"),
                                   QStringLiteral("Network Interface"),
                                   QStringLiteral("Channel Optimizations")}));
    // First page: Next only.
    EXPECT_FALSE(sheet.button(QWizard::BackButton)->isEnabled());
    EXPECT_TRUE(sheet.button(QWizard::NextButton)->isVisible());
    EXPECT_FALSE(sheet.button(QWizard::FinishButton)->isVisible());
}

TEST_F(ChannelSheetTest, WizardButtonsFollowThePage)
{
    auto channel = std::make_shared<CModRTUChnl>();
    ChannelEditor editor(*channel, {});
    WizardSheet sheet(editor, notifier);
    sheet.show();
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("RTU Channel Properties"));

    clickNext(sheet);
    ASSERT_EQ(sheet.currentPage()->title(), QStringLiteral("Channel Communications"));
    EXPECT_TRUE(sheet.button(QWizard::BackButton)->isEnabled());
    EXPECT_TRUE(sheet.button(QWizard::NextButton)->isVisible());
    EXPECT_FALSE(sheet.button(QWizard::FinishButton)->isVisible());

    clickNext(sheet);
    ASSERT_EQ(sheet.currentPage()->title(), QStringLiteral("Channel Optimizations"));
    EXPECT_TRUE(sheet.button(QWizard::BackButton)->isEnabled());
    EXPECT_FALSE(sheet.button(QWizard::NextButton)->isVisible());
    EXPECT_TRUE(sheet.button(QWizard::FinishButton)->isVisible());
}

TEST_F(ChannelSheetTest, NewTcpChannelIsRefusedWhileSiblingHasItsNameThenAcceptedAfterRename)
{
    auto existing = acceptedTcpChannel(QStringLiteral("TCP_Channel_1"));
    auto channel = std::make_shared<CModTCPChnl>();
    const Channels siblings{existing, channel};
    ChannelEditor editor(*channel, siblings);
    WizardSheet sheet(editor, notifier);
    sheet.show();
    auto *name = control<QLineEdit>(&sheet, "channelName");

    clickNext(sheet);
    EXPECT_EQ(messages(notifier),
              std::vector<Message>{stop(QStringLiteral("Channel name exists, please rename."))});
    EXPECT_EQ(notifier.messages.front().text, DriverString::text(DriverString::ChannelNameExists));
    EXPECT_EQ(sheet.currentId(), 0);
    EXPECT_EQ(sheet.focusWidget(), name);
    EXPECT_EQ(name->selectedText(), QStringLiteral("TCP_Channel_1"));
    EXPECT_TRUE(channel->isNew);

    typeText(name, QStringLiteral("TCP_Channel_2"));
    clickNext(sheet);
    EXPECT_EQ(sheet.currentId(), 1);
    clickNext(sheet);
    EXPECT_EQ(sheet.currentId(), 2);
    clickFinish(sheet);

    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(channel->name, QStringLiteral("TCP_Channel_2"));
    EXPECT_FALSE(channel->isNew);
    EXPECT_EQ(existing->name, QStringLiteral("TCP_Channel_1"));
}

TEST_F(ChannelSheetTest, CancellingTheWizardLeavesTheChannelUntouched)
{
    auto channel = std::make_shared<CModTCPChnl>();
    const QByteArray before = recordBytes(*channel);
    ChannelEditor editor(*channel, {channel});
    WizardSheet sheet(editor, notifier);
    sheet.show();

    typeText(control<QLineEdit>(&sheet, "channelName"), QStringLiteral("Renamed"));
    clickNext(sheet);
    typeText(control<QLineEdit>(&sheet, "portNumber"), QStringLiteral("1502"));
    typeText(control<QLineEdit>(&sheet, "ipOctet4"), QStringLiteral("99"));
    clickNext(sheet);
    typeText(control<QLineEdit>(&sheet, "dutyCycle"), QStringLiteral("3"));
    clickCancel(sheet);

    EXPECT_EQ(sheet.result(), QDialog::Rejected);
    EXPECT_EQ(recordBytes(*channel), before);
    EXPECT_TRUE(channel->isNew);
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(ChannelSheetTest, BackTakesThePageFirst)
{
    auto channel = std::make_shared<CModTCPChnl>();
    ChannelEditor editor(*channel, {});
    WizardSheet sheet(editor, notifier);
    sheet.show();
    clickNext(sheet);
    auto *port = control<QLineEdit>(&sheet, "portNumber");

    typeText(port, QStringLiteral("99"));
    clickBack(sheet);
    EXPECT_EQ(messages(notifier), std::vector<Message>{stop(
                                      QStringLiteral("Enter an integer between 100 and 65535."))});
    EXPECT_EQ(sheet.currentId(), 1);
    EXPECT_EQ(sheet.focusWidget(), port);

    typeText(port, QStringLiteral("100"));
    clickBack(sheet);
    EXPECT_EQ(sheet.currentId(), 0);
    EXPECT_EQ(editor.workingCopy().name, QStringLiteral("TCP_Channel_1"));
    EXPECT_EQ(static_cast<const CModTCPChnl &>(editor.workingCopy()).PortNumber, 100);
    EXPECT_EQ(channel->PortNumber, 502);
}

TEST_F(ChannelSheetTest, FinishTakesTheLastPageFirst)
{
    auto channel = std::make_shared<CModTCPChnl>();
    const QByteArray before = recordBytes(*channel);
    ChannelEditor editor(*channel, {});
    WizardSheet sheet(editor, notifier);
    sheet.show();
    clickNextToLastPage(sheet);
    auto *dutyCycle = control<QLineEdit>(&sheet, "dutyCycle");

    typeText(dutyCycle, QStringLiteral("11"));
    clickFinish(sheet);
    EXPECT_EQ(messages(notifier),
              std::vector<Message>{stop(QStringLiteral("Enter an integer between 1 and 10."))});
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(sheet.focusWidget(), dutyCycle);
    EXPECT_EQ(recordBytes(*channel), before);
    EXPECT_TRUE(channel->isNew);

    typeText(dutyCycle, QStringLiteral("7"));
    click(control<QRadioButton>(&sheet, "writeLatestAll"));
    clickFinish(sheet);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(channel->DutyCycle, 7);
    EXPECT_EQ(channel->WriteOptimization, 2);
    EXPECT_FALSE(channel->isNew);
}

TEST_F(ChannelSheetTest, EveryTcpSettingSurvivesTheWizardUnchanged)
{
    auto channel = std::make_shared<CModTCPChnl>();
    changeEverySetting(*channel);
    const QByteArray before = recordBytes(*channel);
    ChannelEditor editor(*channel, {channel});
    WizardSheet sheet(editor, notifier);
    sheet.show();
    clickNextToLastPage(sheet);
    clickFinish(sheet);

    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_EQ(recordBytes(*channel), before);
    EXPECT_FALSE(channel->isNew);
}

TEST_F(ChannelSheetTest, EveryRtuSettingSurvivesTheWizardUnchanged)
{
    auto channel = std::make_shared<CModRTUChnl>();
    changeEverySetting(*channel);
    const QByteArray before = recordBytes(*channel);
    ChannelEditor editor(*channel, {channel});
    WizardSheet sheet(editor, notifier);
    sheet.show();
    clickNextToLastPage(sheet);
    clickFinish(sheet);

    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_EQ(recordBytes(*channel), before);
}

// --- The tabs of an existing channel ----------------------------------------

TEST_F(ChannelSheetTest, ExistingChannelOpensAsTabsWithOkCancelAndApply)
{
    auto tcp = acceptedTcpChannel(QStringLiteral("Line_1"));
    ChannelEditor tcpEditor(*tcp, {tcp});
    TabbedSheet tcpSheet(tcpEditor, notifier);
    tcpSheet.show();
    EXPECT_EQ(tcpSheet.windowTitle(), QStringLiteral("TCP Channel Properties"));
    QStringList tabs;
    for (int i = 0; i < tcpSheet.tabs()->count(); ++i)
        tabs << tcpSheet.tabs()->tabText(i);
    EXPECT_EQ(tabs, QStringList({QStringLiteral("Channel Identification"),
                                 QStringLiteral("Network Interface"),
                                 QStringLiteral("Channel Optimizations")}));
    EXPECT_TRUE(tcpSheet.button(QDialogButtonBox::Ok)->isEnabled());
    EXPECT_TRUE(tcpSheet.button(QDialogButtonBox::Cancel)->isEnabled());
    EXPECT_FALSE(tcpSheet.button(QDialogButtonBox::Apply)->isEnabled());

    auto rtu = std::make_shared<CModRTUChnl>();
    rtu->isNew = false;
    ChannelEditor rtuEditor(*rtu, {rtu});
    TabbedSheet rtuSheet(rtuEditor, notifier);
    EXPECT_EQ(rtuSheet.windowTitle(), QStringLiteral("RTU Channel Properties"));
    EXPECT_EQ(rtuSheet.tabs()->tabText(1), QStringLiteral("Channel Communications"));
}

TEST_F(ChannelSheetTest, KeepingItsOwnNameIsAccepted)
{
    auto channel = acceptedTcpChannel(QStringLiteral("Line_1"));
    auto other = acceptedTcpChannel(QStringLiteral("line_1")); // names compare case-sensitively
    ChannelEditor editor(*channel, {other, channel});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    clickOk(sheet);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(ChannelSheetTest, ApplyWritesBackWithoutClosing)
{
    auto channel = acceptedTcpChannel(QStringLiteral("Line_1"));
    ChannelEditor editor(*channel, {channel});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    clickTab(sheet, 1);
    auto *apply = sheet.button(QDialogButtonBox::Apply);
    EXPECT_FALSE(apply->isEnabled());

    typeText(control<QLineEdit>(&sheet, "portNumber"), QStringLiteral("1502"));
    EXPECT_TRUE(apply->isEnabled());
    EXPECT_EQ(channel->PortNumber, 502);
    clickApply(sheet);

    EXPECT_EQ(channel->PortNumber, 1502);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_TRUE(sheet.hasApplied());
    EXPECT_FALSE(apply->isEnabled());
    EXPECT_EQ(sheet.tabs()->currentIndex(), 1);

    // What was applied stays when the sheet is cancelled afterwards.
    typeText(control<QLineEdit>(&sheet, "portNumber"), QStringLiteral("2502"));
    clickCancel(sheet);
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
    EXPECT_EQ(channel->PortNumber, 1502);
}

TEST_F(ChannelSheetTest, ApplyIsRefusedLikeOk)
{
    auto channel = acceptedTcpChannel(QStringLiteral("Line_1"));
    ChannelEditor editor(*channel, {channel});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    typeText(control<QLineEdit>(&sheet, "channelName"), QString());
    clickApply(sheet);
    EXPECT_EQ(messages(notifier),
              std::vector<Message>{stop(QStringLiteral("Please enter Channel name."))});
    EXPECT_FALSE(sheet.hasApplied());
    EXPECT_EQ(channel->name, QStringLiteral("Line_1"));
}

TEST_F(ChannelSheetTest, CancellingTheTabsLeavesTheChannelUntouched)
{
    auto channel = acceptedTcpChannel(QStringLiteral("Line_1"));
    const QByteArray before = recordBytes(*channel);
    ChannelEditor editor(*channel, {channel});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    typeText(control<QLineEdit>(&sheet, "channelName"), QStringLiteral("Line_2"));
    clickTab(sheet, 1);
    typeText(control<QLineEdit>(&sheet, "ipOctet1"), QStringLiteral("10"));
    clickTab(sheet, 2);
    click(control<QRadioButton>(&sheet, "writeAllValues"));
    clickCancel(sheet);

    EXPECT_EQ(sheet.result(), QDialog::Rejected);
    EXPECT_EQ(recordBytes(*channel), before);
}

TEST_F(ChannelSheetTest, OkWritesWhatEveryVisitedTabTook)
{
    auto channel = acceptedTcpChannel(QStringLiteral("Line_1"));
    ChannelEditor editor(*channel, {channel});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    typeText(control<QLineEdit>(&sheet, "channelName"), QStringLiteral("Line_2"));
    clickTab(sheet, 1);
    typeText(control<QLineEdit>(&sheet, "ipOctet1"), QStringLiteral("10"));
    typeText(control<QLineEdit>(&sheet, "reconnectAfter"), QStringLiteral("7200"));
    typeText(control<QLineEdit>(&sheet, "maxReconnectAttempts"), QStringLiteral("0"));
    clickTab(sheet, 2);
    click(control<QRadioButton>(&sheet, "writeAllValues"));
    clickOk(sheet);

    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(channel->name, QStringLiteral("Line_2"));
    EXPECT_EQ(channel->IpAddress, (std::array<qint32, 4>{10, 0, 0, 10}));
    EXPECT_EQ(channel->ReconnectAfter, 7200);
    EXPECT_EQ(channel->MaxReconnectAttempts, 0);
    EXPECT_EQ(channel->WriteOptimization, 0);
}

TEST_F(ChannelSheetTest, InvalidOctetKeepsTheTab)
{
    auto channel = acceptedTcpChannel(QStringLiteral("Line_1"));
    ChannelEditor editor(*channel, {channel});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    clickTab(sheet, 1);
    auto *octet = control<QLineEdit>(&sheet, "ipOctet3");
    typeText(octet, QStringLiteral("256"));

    clickTab(sheet, 2);
    EXPECT_EQ(messages(notifier),
              std::vector<Message>{stop(QStringLiteral("Enter an integer between 0 and 255."))});
    EXPECT_EQ(sheet.tabs()->currentIndex(), 1);
    EXPECT_EQ(sheet.focusWidget(), octet);

    clickOk(sheet);
    EXPECT_EQ(notifier.messages.size(), 2u);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(channel->IpAddress[2], 0);

    typeText(octet, QStringLiteral("255"));
    clickTab(sheet, 2);
    EXPECT_EQ(sheet.tabs()->currentIndex(), 2);
    EXPECT_EQ(notifier.messages.size(), 2u);
}

TEST_F(ChannelSheetTest, NetworkInterfaceChecksInOrderWithTheirBounds)
{
    struct Case
    {
        const char *control;
        QString text;
        QString message;
    };
    const Case cases[] = {
        {"ipOctet1", QStringLiteral("256"), QStringLiteral("Enter an integer between 0 and 255.")},
        {"ipOctet2", QString(), QStringLiteral("Enter an integer.")},
        {"portNumber", QStringLiteral("99"),
         QStringLiteral("Enter an integer between 100 and 65535.")},
        {"portNumber", QStringLiteral("65536"),
         QStringLiteral("Enter an integer between 100 and 65535.")},
        {"portNumber", QString(), QStringLiteral("Enter an integer.")},
        {"reconnectAfter", QStringLiteral("4"),
         QStringLiteral("Enter an integer between 5 and 7200.")},
        {"reconnectAfter", QStringLiteral("7201"),
         QStringLiteral("Enter an integer between 5 and 7200.")},
        {"reconnectAfter", QString(), QStringLiteral("Enter a positive integer.")},
        {"maxReconnectAttempts", QStringLiteral("101"),
         QStringLiteral("Enter an integer between 0 and 100.")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.control);
        auto channel = acceptedTcpChannel(QStringLiteral("Line_1"));
        RecordingNotifier caseNotifier;
        ChannelEditor editor(*channel, {channel});
        TabbedSheet sheet(editor, caseNotifier);
        sheet.show();
        clickTab(sheet, 1);
        auto *edit = control<QLineEdit>(&sheet, c.control);
        typeText(edit, c.text);
        // A later field in error too: the first one is reported.
        typeText(control<QLineEdit>(&sheet, "maxReconnectAttempts"), QStringLiteral("999"));
        clickOk(sheet);
        EXPECT_EQ(messages(caseNotifier), std::vector<Message>{stop(c.message)});
        EXPECT_EQ(sheet.focusWidget(), edit);
        EXPECT_EQ(sheet.result(), QDialog::Rejected);
    }
}

TEST_F(ChannelSheetTest, HiddenConnectTimeoutOutOfRangeNeverBlocksTheSheet)
{
    auto channel = acceptedTcpChannel(QStringLiteral("Line_1"));
    channel->ConnectTimeout = 0;
    ChannelEditor editor(*channel, {channel});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    clickTab(sheet, 1);
    auto *connectTimeout = control<QLineEdit>(&sheet, "connectTimeout");
    EXPECT_FALSE(connectTimeout->isVisible());
    auto *adapter = control<QComboBox>(&sheet, "networkAdapter");
    EXPECT_FALSE(adapter->isVisible());

    // Nobody could correct it: the sheet is accepted and the value stays.
    clickOk(sheet);
    EXPECT_TRUE(messages(notifier).empty());
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(channel->ConnectTimeout, 0);
}

TEST_F(ChannelSheetTest, UnknownAdapterTextIsKept)
{
    auto channel = acceptedTcpChannel(QStringLiteral("Line_1"));
    channel->NetworkAdapter = QStringLiteral("Intel Adapter");
    ChannelEditor editor(*channel, {channel});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    visitEveryTab(sheet);
    clickTab(sheet, 1);
    clickOk(sheet);
    EXPECT_EQ(channel->NetworkAdapter, QStringLiteral("Intel Adapter"));
}

TEST_F(ChannelSheetTest, DutyCycleIsAByteFrom1To10)
{
    const struct
    {
        QString text;
        QString message;
    } cases[] = {
        {QStringLiteral("0"), QStringLiteral("Enter an integer between 1 and 10.")},
        {QStringLiteral("11"), QStringLiteral("Enter an integer between 1 and 10.")},
        {QStringLiteral("256"), QStringLiteral("Enter an integer between 0 and 255.")},
        {QString(), QStringLiteral("Enter an integer between 0 and 255.")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(qPrintable(c.text));
        auto channel = acceptedTcpChannel(QStringLiteral("Line_1"));
        RecordingNotifier caseNotifier;
        ChannelEditor editor(*channel, {channel});
        TabbedSheet sheet(editor, caseNotifier);
        sheet.show();
        clickTab(sheet, 2);
        typeText(control<QLineEdit>(&sheet, "dutyCycle"), c.text);
        clickOk(sheet);
        EXPECT_EQ(messages(caseNotifier), std::vector<Message>{stop(c.message)});
        EXPECT_EQ(channel->DutyCycle, 10);
    }
}

TEST_F(ChannelSheetTest, EveryTcpSettingSurvivesTheTabsUnchanged)
{
    auto channel = std::make_shared<CModTCPChnl>();
    changeEverySetting(*channel);
    channel->isNew = false;
    const QByteArray before = recordBytes(*channel);
    ChannelEditor editor(*channel, {channel});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    visitEveryTab(sheet);
    clickTab(sheet, 2);
    clickOk(sheet);

    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_EQ(recordBytes(*channel), before);
}

// --- RTU channels -------------------------------------------------------------

TEST_F(ChannelSheetTest, SerialListsOfferTheirTexts)
{
    const QStringList ports = ChannelCommunicationsPage::comPortItems();
    ASSERT_EQ(ports.size(), 256);
    EXPECT_EQ(ports.front(), QStringLiteral("None"));
    EXPECT_EQ(ports.at(1), QStringLiteral("COM 1"));
    EXPECT_EQ(ports.back(), QStringLiteral("COM 255"));
    EXPECT_EQ(
        ChannelCommunicationsPage::baudRateItems(),
        QStringList({QStringLiteral(" 300"), QStringLiteral(" 600"), QStringLiteral(" 1200"),
                     QStringLiteral(" 2400"), QStringLiteral(" 4800"), QStringLiteral(" 9600"),
                     QStringLiteral(" 14400"), QStringLiteral(" 19200"), QStringLiteral(" 28800"),
                     QStringLiteral(" 38400"), QStringLiteral(" 56000"), QStringLiteral(" 57600"),
                     QStringLiteral(" 115200"), QStringLiteral(" 128000"),
                     QStringLiteral(" 256000")}));
    EXPECT_EQ(ChannelCommunicationsPage::dataBitsItems(),
              QStringList({QStringLiteral(" 5"), QStringLiteral(" 6"), QStringLiteral(" 7"),
                           QStringLiteral(" 8")}));
    EXPECT_EQ(ChannelCommunicationsPage::parityItems(),
              QStringList({QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even")}));
    EXPECT_EQ(ChannelCommunicationsPage::flowControlItems(),
              QStringList({QStringLiteral("None"), QStringLiteral("DTR"), QStringLiteral("RTS"),
                           QStringLiteral("RTS,DTR"), QStringLiteral("RTS Always"),
                           QStringLiteral("RTS Manual")}));
}

TEST_F(ChannelSheetTest, SerialPageShowsAndStoresListPositions)
{
    auto channel = std::make_shared<CModRTUChnl>();
    channel->isNew = false;
    ChannelEditor editor(*channel, {channel});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    clickTab(sheet, 1);

    // The defaults: COM 1, 9600 baud, 8 data bits, even parity, one stop bit.
    auto *comPort = control<QComboBox>(&sheet, "comPort");
    auto *baudRate = control<QComboBox>(&sheet, "baudRate");
    auto *dataBits = control<QComboBox>(&sheet, "dataBits");
    auto *parity = control<QComboBox>(&sheet, "parity");
    auto *flowControl = control<QComboBox>(&sheet, "flowControl");
    EXPECT_EQ(comPort->currentText(), QStringLiteral("COM 1"));
    EXPECT_EQ(baudRate->currentText(), QStringLiteral(" 9600"));
    EXPECT_EQ(dataBits->currentText(), QStringLiteral(" 8"));
    EXPECT_EQ(parity->currentText(), QStringLiteral("Even"));
    EXPECT_TRUE(control<QRadioButton>(&sheet, "oneStopBit")->isChecked());
    EXPECT_EQ(flowControl->currentText(), QStringLiteral("None"));
    EXPECT_EQ(control<QLineEdit>(&sheet, "connectTimeout")->text(), QStringLiteral("3"));
    EXPECT_FALSE(control<QCheckBox>(&sheet, "reportCommErrors")->isVisible());
    EXPECT_FALSE(control<QCheckBox>(&sheet, "ethernetEncapsulation")->isVisible());

    QTest::keyClick(comPort, Qt::Key_Down);
    QTest::keyClick(baudRate, Qt::Key_Up);
    QTest::keyClick(dataBits, Qt::Key_Up);
    QTest::keyClick(parity, Qt::Key_Home);
    click(control<QRadioButton>(&sheet, "twoStopBits"));
    QTest::keyClick(flowControl, Qt::Key_End);
    typeText(control<QLineEdit>(&sheet, "connectTimeout"), QStringLiteral("1000"));
    EXPECT_TRUE(sheet.button(QDialogButtonBox::Apply)->isEnabled());
    clickOk(sheet);

    ASSERT_EQ(sheet.result(), QDialog::Accepted);
    const SerialSettings &com = channel->comProps;
    EXPECT_EQ(com.ComPort, 2);
    EXPECT_EQ(com.BaudRate, 4);
    EXPECT_EQ(com.DataBits, 2);
    EXPECT_EQ(com.Parity, 0);
    EXPECT_EQ(com.StopBits, 1);
    EXPECT_EQ(com.FlowControl, 5);
    EXPECT_EQ(channel->ConnectTimeout, 1000);
    EXPECT_TRUE(com.ReportCommErrors);
    EXPECT_FALSE(com.EthernetEncapsulation);
}

TEST_F(ChannelSheetTest, SerialConnectTimeoutIsFrom1To1000)
{
    auto channel = std::make_shared<CModRTUChnl>();
    channel->isNew = false;
    ChannelEditor editor(*channel, {channel});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    clickTab(sheet, 1);
    auto *connectTimeout = control<QLineEdit>(&sheet, "connectTimeout");
    typeText(connectTimeout, QStringLiteral("1001"));
    clickTab(sheet, 0);
    EXPECT_EQ(messages(notifier),
              std::vector<Message>{stop(QStringLiteral("Enter an integer between 1 and 1000."))});
    EXPECT_EQ(sheet.tabs()->currentIndex(), 1);
    EXPECT_EQ(sheet.focusWidget(), connectTimeout);
}

TEST_F(ChannelSheetTest, StoredPositionsTheListsDoNotHaveAreKept)
{
    auto channel = std::make_shared<CModRTUChnl>();
    channel->isNew = false;
    channel->comProps.BaudRate = 20;
    channel->comProps.StopBits = 5;
    channel->comProps.FlowControl = 9;
    channel->WriteOptimization = 7;
    const QByteArray before = recordBytes(*channel);
    ChannelEditor editor(*channel, {channel});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    visitEveryTab(sheet);
    clickTab(sheet, 1);
    EXPECT_EQ(control<QComboBox>(&sheet, "baudRate")->currentIndex(), -1);
    EXPECT_FALSE(control<QRadioButton>(&sheet, "oneStopBit")->isChecked());
    EXPECT_FALSE(control<QRadioButton>(&sheet, "twoStopBits")->isChecked());
    clickTab(sheet, 2);
    clickOk(sheet);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(recordBytes(*channel), before);
}

TEST_F(ChannelSheetTest, EveryRtuSettingSurvivesTheTabsUnchanged)
{
    auto channel = std::make_shared<CModRTUChnl>();
    changeEverySetting(*channel);
    channel->isNew = false;
    const QByteArray before = recordBytes(*channel);
    ChannelEditor editor(*channel, {channel});
    TabbedSheet sheet(editor, notifier);
    sheet.show();
    visitEveryTab(sheet);
    clickTab(sheet, 1);
    clickOk(sheet);

    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_EQ(recordBytes(*channel), before);
}

} // namespace
