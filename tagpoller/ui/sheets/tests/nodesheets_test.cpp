// The two entry points run their sheet modally; a queued call plays the user
// inside the sheet's event loop.
#include "sheettesting.h"

#include "nodesheets.h"
#include "tabbedsheet.h"
#include "wizardsheet.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include <functional>

using namespace sheettesting;

namespace {

// Runs `play` on the sheet once it is open and modal. Whatever happens, the
// sheet is closed afterwards, so a failing test never hangs in exec().
template<class Sheet> void whenSheetOpens(std::function<void(Sheet &)> play)
{
    QTimer::singleShot(0, [play] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr) << "no sheet is open";
        if (auto *sheet = qobject_cast<Sheet *>(dialog))
            play(*sheet);
        else
            ADD_FAILURE() << "the open sheet is of the other kind";
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the sheet is still open";
            dialog->reject();
        }
    });
}

TEST(NodeSheets, NewChannelIsEditedInTheWizard)
{
    auto channel = std::make_shared<CModTCPChnl>();
    RecordingNotifier notifier;
    whenSheetOpens<WizardSheet>([](WizardSheet &sheet) {
        typeText(control<QLineEdit>(&sheet, "channelName"), QStringLiteral("Line_2"));
        clickNextToLastPage(sheet);
        clickFinish(sheet);
    });
    EXPECT_TRUE(editChannelProperties(nullptr, *channel, {channel}, notifier));
    EXPECT_EQ(channel->name, QStringLiteral("Line_2"));
    EXPECT_FALSE(channel->isNew);
}

TEST(NodeSheets, CancelledDeviceEditReportsNoChange)
{
    auto device = std::make_shared<CModRTUDev>();
    device->isNew = false;
    RecordingNotifier notifier;
    whenSheetOpens<TabbedSheet>([](TabbedSheet &sheet) {
        typeText(control<QLineEdit>(&sheet, "deviceName"), QStringLiteral("Meter_2"));
        clickCancel(sheet);
    });
    EXPECT_FALSE(editDeviceProperties(nullptr, *device, {device}, notifier));
    EXPECT_EQ(device->name, QStringLiteral("RTU_Device_1"));
}

TEST(NodeSheets, ApplyThenCancelStillReportsTheChange)
{
    auto device = std::make_shared<CModTCPDev>();
    device->isNew = false;
    RecordingNotifier notifier;
    whenSheetOpens<TabbedSheet>([](TabbedSheet &sheet) {
        typeText(control<QLineEdit>(&sheet, "deviceName"), QStringLiteral("Meter_2"));
        clickApply(sheet);
        clickCancel(sheet);
    });
    EXPECT_TRUE(editDeviceProperties(nullptr, *device, {device}, notifier));
    EXPECT_EQ(device->name, QStringLiteral("Meter_2"));
}

} // namespace
