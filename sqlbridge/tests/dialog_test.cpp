// The bridge's dialog under the offscreen platform.
#include "bridgetexts.h"
#include "messagelog.h"
#include "recordingnotifier.h"
#include "sqlbridge.h"
#include "sqlinterfacedialog.h"

#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class DialogTest : public ::testing::Test
{
protected:
    static SqlBridge::Options manualTimer()
    {
        SqlBridge::Options options;
        options.timerInterval = std::chrono::milliseconds(0);
        return options;
    }

    MessageLog log;
    SqlBridge bridge{log, manualTimer()};
    RecordingNotifier notifier;
    SqlInterfaceDialog dialog{bridge, log, notifier};
};

} // namespace

TEST_F(DialogTest, ShowsTitleVersionMessagesAndTotals)
{
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Orvala_SQL_Interface"));
    EXPECT_EQ(dialog.versionText(), QStringLiteral("Version 1.0"));
    // The totals show only once something was written.
    EXPECT_TRUE(dialog.tagTotalText().isEmpty());
    EXPECT_TRUE(dialog.alarmTotalText().isEmpty());
    Q_EMIT bridge.tagTotalChanged(4294967296ll + 5);
    Q_EMIT bridge.alarmTotalChanged(10);
    EXPECT_EQ(dialog.tagTotalText(), QStringLiteral("4294967301"));
    EXPECT_EQ(dialog.alarmTotalText(), QStringLiteral("10"));

    log.append(QStringLiteral("first"));
    log.append(QStringLiteral("second"));
    QAbstractItemModel *model = dialog.messageList()->model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(1, 0).data().toString(), QStringLiteral("second"));
    // Operators count on the words of the layout.
    QStringList labels;
    for (const QLabel *label : dialog.findChildren<QLabel *>())
        labels << label->text();
    EXPECT_TRUE(labels.contains(QStringLiteral("Messages")));
    EXPECT_TRUE(labels.contains(QStringLiteral("Tag Values Sent")));
    EXPECT_TRUE(labels.contains(QStringLiteral("Alarms Sent")));
    EXPECT_EQ(dialog.closeButton()->text(), QStringLiteral("Close"));
}

TEST_F(DialogTest, EnterDoesNothingAndCloseAsks)
{
    dialog.show();
    QSignalSpy finished(&dialog, &QDialog::finished);
    QTest::keyClick(&dialog, Qt::Key_Return);
    QTest::keyClick(dialog.messageList(), Qt::Key_Enter);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(notifier.questions.isEmpty());

    // Close, answered No: the program keeps running.
    QTest::mouseClick(dialog.closeButton(), Qt::LeftButton);
    EXPECT_EQ(notifier.questions, QStringList{BridgeText::closeQuestion()});
    EXPECT_TRUE(dialog.isVisible());
    // Escape asks the same; the window's own close button too.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.close();
    EXPECT_EQ(notifier.questions.size(), 3);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(finished.size(), 0);

    notifier.yesNoAnswers.push_back(true);
    QTest::mouseClick(dialog.closeButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(finished.size(), 1);
}

TEST_F(DialogTest, ClosesWithoutAskingWhenDrainedOrTold)
{
    dialog.show();
    QSignalSpy finished(&dialog, &QDialog::finished);
    bridge.requestCloseWhenDrained();
    bridge.onTimerTick();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(notifier.questions.isEmpty());
    EXPECT_FALSE(dialog.isVisible());
}
