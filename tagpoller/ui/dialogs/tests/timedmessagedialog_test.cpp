#include "dialogtesting.h"
#include "timedmessagedialog.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>

namespace {

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using dialogtesting::child;
using dialogtesting::str;

constexpr int BoundMs = 10000; // far beyond the shortened time-out, well within the test's

TEST(TimedMessageTest, ShowsTheMessageUnderTheDriversTitle)
{
    TimedMessageDialog dialog(u"Switching to Run mode."_s);
    EXPECT_EQ(str(dialog.windowTitle()), "Orvala Modbus Driver");
    auto *text = child<QPlainTextEdit>(dialog, "messageEdit");
    EXPECT_EQ(str(text->toPlainText()), "Switching to Run mode.");
    EXPECT_FALSE(text->isEnabled());
    EXPECT_EQ(str(dialog.message()), "Switching to Run mode.");
    EXPECT_EQ(dialog.timeout(), 10s);
}

TEST(TimedMessageTest, ClosesItselfWhenLeftAlone)
{
    TimedMessageDialog dialog(u"Left alone"_s);
    dialog.setTimeout(20ms);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    ASSERT_TRUE(finished.wait(BoundMs));
    EXPECT_EQ(finished.at(0).at(0).toInt(), int(QDialog::Rejected)) << "as if cancelled";
    EXPECT_FALSE(dialog.isVisible());
}

TEST(TimedMessageTest, OkClosesItEarlier)
{
    TimedMessageDialog dialog(u"Read at once"_s);
    QSignalSpy finished(&dialog, &QDialog::finished);
    EXPECT_FALSE(dialog.isCountingDown()) << "the time counts from the showing";
    dialog.show();
    EXPECT_TRUE(dialog.isCountingDown());
    QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), int(QDialog::Accepted));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.isCountingDown()) << "a closed dialog has nothing left to close";
}

} // namespace
