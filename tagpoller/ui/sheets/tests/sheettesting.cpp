#include "sheettesting.h"

#include "archivewriter.h"
#include "tabbedsheet.h"
#include "wizardsheet.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <ostream>

namespace sheettesting {

QByteArray recordBytes(Record &record)
{
    ArchiveWriter writer;
    writer.writeRecord(record);
    return writer.data();
}

namespace {

void changeChannelSettings(CModChnl &channel)
{
    channel.ConnectTimeout = 17;
    channel.ReconnectAfter = 45;
    channel.MaxReconnectAttempts = 9;
    channel.WriteOptimization = 2;
    channel.DutyCycle = 4;
}

} // namespace

void changeEverySetting(CModTCPChnl &channel)
{
    channel.name = QStringLiteral("Line_7");
    changeChannelSettings(channel);
    channel.NetworkAdapter = QStringLiteral("Modbus Adapter");
    channel.SharedSocket = 1;
    channel.MaxSocketsPerDevice = 3;
    channel.PortNumber = 1502;
    channel.IpAddress = {192, 168, 1, 20};
}

void changeEverySetting(CModRTUChnl &channel)
{
    channel.name = QStringLiteral("Serial_2");
    changeChannelSettings(channel);
    channel.WriteOptimization = 0;
    SerialSettings &com = channel.comProps;
    com.ComPort = 4;
    com.BaudRate = 12;
    com.DataBits = 1;
    com.Parity = 1;
    com.StopBits = 1;
    com.FlowControl = 3;
    com.EthernetEncapsulation = true;
    com.ReportCommErrors = false;
}

void changeEverySetting(CModDevice &device)
{
    device.name = QStringLiteral("Pump_3");
    device.DeviceId = 17;
    device.TimingReserved = 5;
    device.RequestTimeout = 2500;
    device.FailAfter = 7;
    device.InterRequestDelay = 20;
    device.AutoDemote = true;
    device.DemoteAfter = 12;
    device.DemoteFor = 60000;
    device.DiscardWritesWhileDemoted = true;
    device.ZeroBasedAddr = false;
    device.ZeroBasedBitAddr = false;
    device.HoldingBitMaskWrites = true;
    device.UseFunc06 = false;
    device.UseFunc05 = false;
    device.DefaultByteOrder = false;
    device.FirstWordLow = false;
    device.FirstDwordLow = false;
    device.ModiconBitOrder = true;
    device.OutputCoilBlock = 800;
    device.InputCoilBlock = 16;
    device.InternalRegBlock = 100;
    device.HoldingRegBlock = 7;
    device.BlockReadStrings = true;
    device.TcpFraming = false;
    device.LeadingBytes = 6;
}

void changeEverySetting(CModTCPDev &device)
{
    changeEverySetting(static_cast<CModDevice &>(device));
    device.DevicePort = 1502;
}

void typeText(QLineEdit *edit, const QString &text)
{
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Backspace);
    else
        QTest::keyClicks(edit, text);
}

void pasteText(QLineEdit *edit, const QString &text)
{
    ASSERT_NE(edit, nullptr);
    QGuiApplication::clipboard()->setText(text);
    edit->selectAll();
    QTest::keySequence(edit, QKeySequence::Paste);
}

void click(QAbstractButton *button)
{
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible()) << qPrintable(button->text());
    ASSERT_TRUE(button->isEnabled()) << qPrintable(button->text());
    // A check box or radio button reacts only to its indicator and text, which
    // may not reach the middle of a wide one: click the indicator at the left.
    const bool indicator =
        qobject_cast<QCheckBox *>(button) || qobject_cast<QRadioButton *>(button);
    const int middle = button->height() / 2;
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier,
                      indicator ? QPoint(middle, middle) : button->rect().center());
}

void clickNext(WizardSheet &sheet)
{
    click(sheet.button(QWizard::NextButton));
}

void clickBack(WizardSheet &sheet)
{
    click(sheet.button(QWizard::BackButton));
}

void clickFinish(WizardSheet &sheet)
{
    click(sheet.button(QWizard::FinishButton));
}

void clickCancel(WizardSheet &sheet)
{
    click(sheet.button(QWizard::CancelButton));
}

void clickNextToLastPage(WizardSheet &sheet)
{
    const int last = int(sheet.pageIds().size()) - 1;
    while (sheet.currentId() < last) {
        const int before = sheet.currentId();
        clickNext(sheet);
        ASSERT_EQ(sheet.currentId(), before + 1) << "page " << before << " was refused";
    }
}

void clickTab(TabbedSheet &sheet, int index)
{
    QTabBar *bar = sheet.tabs()->tabBar();
    ASSERT_TRUE(bar->isVisible());
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
}

void clickOk(TabbedSheet &sheet)
{
    click(sheet.button(QDialogButtonBox::Ok));
}

void clickApply(TabbedSheet &sheet)
{
    click(sheet.button(QDialogButtonBox::Apply));
}

void clickCancel(TabbedSheet &sheet)
{
    click(sheet.button(QDialogButtonBox::Cancel));
}

void visitEveryTab(TabbedSheet &sheet)
{
    for (int index = 1; index < sheet.tabs()->count(); ++index) {
        clickTab(sheet, index);
        ASSERT_EQ(sheet.tabs()->currentIndex(), index) << "tab " << index - 1 << " was refused";
    }
    clickTab(sheet, 0);
    ASSERT_EQ(sheet.tabs()->currentIndex(), 0);
}

std::vector<Message> messages(const RecordingNotifier &notifier)
{
    std::vector<Message> shown;
    for (const auto &m : notifier.messages)
        shown.push_back({m.text, m.icon});
    return shown;
}

Message stop(const QString &text)
{
    return {text, Notifier::Icon::Stop};
}

void PrintTo(const Message &message, std::ostream *os)
{
    *os << '"' << message.text.toStdString() << "\" icon " << int(message.icon);
}

} // namespace sheettesting
