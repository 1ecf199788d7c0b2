// The dialog under the offscreen platform: its texts, the event list columns,
// the counters, and the two ways to close.
#include "fakesmtp.h"
#include "mailclientdialog.h"
#include "mailpayload.h"
#include "mailrelay.h"
#include "recordingnotifier.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct DialogBench
{
    MailSettings settings;
    MailRelay relay{settings, std::make_unique<FakeLibrary>(), std::make_unique<FakeProxy>()};
    RecordingNotifier notifier;
    MailClientDialog dialog{relay, notifier};

    DialogBench() { settings.proxyFolder = QStringLiteral("/opt/stunnel"); }
};

CMailDetails email(const QString &provider)
{
    CMailDetails e;
    e.channelName = provider;
    e.to = QStringLiteral("a@b.c");
    e.subject = QStringLiteral("s");
    return e;
}

} // namespace

TEST(MailClientDialog, ShowsTitleVersionColumnsCountersAndEvents)
{
    DialogBench b;
    b.dialog.show();
    EXPECT_EQ(b.dialog.windowTitle(), QStringLiteral("Orvala Email Client"));
    QStringList labels;
    for (QLabel *l : b.dialog.findChildren<QLabel *>())
        labels << l->text();
    EXPECT_TRUE(labels.contains(QStringLiteral("Version 2.3")));
    EXPECT_EQ(b.dialog.yahooCounter()->text(), QStringLiteral("0"));
    QAbstractItemModel *model = b.dialog.eventView()->model();
    QStringList headers;
    for (int c = 0; c < model->columnCount(); ++c)
        headers << model->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{QStringLiteral("Date"), QStringLiteral("Time"),
                                    QStringLiteral("Channel"), QStringLiteral("Message")}));

    b.relay.intake().acceptEmail(email(QStringLiteral("YAHOO")));
    b.relay.intake().acceptEmail(email(QStringLiteral("yahoo")));
    b.relay.intake().acceptEmail(email(QStringLiteral("Aol")));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return b.dialog.yahooCounter()->text() == QStringLiteral("2"); }));
    EXPECT_EQ(b.dialog.gmailCounter()->text(), QStringLiteral("0"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount() == 1; }));
    EXPECT_EQ(model->index(0, 2).data().toString(), QStringLiteral("Common"));
    EXPECT_EQ(model->index(0, 3).data().toString(),
              QStringLiteral("Email with non supported server (Aol) received, discarded."));
    EXPECT_EQ(model->index(0, 0).data().toString().size(), 10);
    EXPECT_EQ(model->index(0, 1).data().toString().size(), 8);
}

TEST(MailClientDialog, TheCancelPathAsksTheCloseButtonDoesNot)
{
    DialogBench b;
    b.dialog.show();
    QSignalSpy finished(&b.dialog, &QDialog::finished);
    b.dialog.close(); // the close box: asks, No keeps it
    EXPECT_EQ(b.notifier.questions, QStringList{QStringLiteral("Close Email client ?")});
    EXPECT_TRUE(b.dialog.isVisible());
    EXPECT_EQ(finished.count(), 0);
    QTest::keyClick(&b.dialog, Qt::Key_Escape);
    EXPECT_EQ(b.notifier.questions.size(), 2);
    b.notifier.yesNoAnswers.push_back(true);
    b.dialog.close();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(b.dialog.isVisible());

    DialogBench c;
    c.dialog.show();
    c.relay.intake().acceptEmail(email(QStringLiteral("GMail")));
    QTest::mouseClick(c.dialog.closeButton(), Qt::LeftButton);
    EXPECT_TRUE(c.notifier.questions.isEmpty());
    EXPECT_FALSE(c.dialog.isVisible());
    EXPECT_EQ(c.relay.events().texts().last(),
              QStringLiteral("Closing with 1 email(s) still queued; they are not sent."));
}

TEST(MailClientDialog, TheDrainedCloseDoesNotAsk)
{
    DialogBench b;
    b.dialog.show();
    hostmsg::Message close;
    close.msg = MailProtocol::CloseWhenDrainedMessage;
    EXPECT_EQ(b.relay.handleMessage(close), 1);
    for (int i = 0; i < 3; ++i)
        b.relay.onTick();
    EXPECT_FALSE(b.dialog.isVisible());
    EXPECT_TRUE(b.notifier.questions.isEmpty());
}
