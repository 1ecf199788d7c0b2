// Run mode in the main window: the switch and its checks, the release of the
// engines over the run loop's ticks, closing while running, and the host's
// stop request, with a simulator behind the project's channel.
#include "desktop.h"
#include "driverstate.h"
#include "driverstrings.h"
#include "eventlog.h"
#include "mainwindow.h"
#include "projecttreemodel.h"
#include "recordingnotifier.h"
#include "runmode.h"
#include "simulator.h"
#include "tagaddress.h"
#include "taglistmodel.h"
#include "testenvironment.h"

#include <QBrush>
#include <QDir>
#include <QItemSelectionModel>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

class RunModeWindow : public ::testing::Test
{
protected:
    RunModeWindow()
        : store(QString(DriverSettingsOrganization), QString(DriverSettingsApplication))
        , state(notifier, DriverSettings{})
        // Each test its own folder: a closed window saves its messages, and the
        // next test's log would start with them.
        , log({3,
               QDir(testsupport::tempRoot())
                   .filePath(QStringLiteral("data-") +
                             QString::fromUtf8(
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name()))})
    {
        sim.start();
    }

    void buildProject(bool withRtu = false)
    {
        auto tag = std::make_shared<CModTag>();
        tag->TagName = QStringLiteral("Level");
        tag->TagAddress = QStringLiteral("400001");
        tag->AddressNumber = AddressText::leadingNumber(tag->TagAddress);
        auto device = std::make_shared<CModTCPDev>();
        device->name = QStringLiteral("Dev1");
        device->tags.append(tag);
        auto channel = std::make_shared<CModTCPChnl>();
        channel->name = QStringLiteral("Chnl1");
        channel->IpAddress = {127, 0, 0, 1};
        channel->PortNumber = sim.port();
        channel->devices.push_back(device);
        state.project.addChannel(channel);
        if (withRtu) {
            auto rtu = std::make_shared<CModRTUChnl>();
            rtu->name = QStringLiteral("Serial");
            state.project.addChannel(rtu);
        }
        Q_EMIT state.project.projectReset();
    }

    void openWindow()
    {
        window = std::make_unique<MainWindow>(state, log, notifier, store, desktop);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QTest::qWait(20);
    }

    bool logContains(const QString &text) const
    {
        for (int row = 0; row < log.count(); ++row) {
            if (log.message(row).text() == text)
                return true;
        }
        return false;
    }

    bool enabled(Command::Id id) const { return window->action(id)->isEnabled(); }

    mbsim::Simulator sim;
    RecordingNotifier notifier;
    QSettings store;
    hostmsg::Desktop desktop;
    DriverState state;
    EventLog log;
    std::unique_ptr<MainWindow> window;
};

TEST_F(RunModeWindow, userRunSwitchedBackReleasesItsEngines)
{
    buildProject();
    openWindow();
    window->action(Command::SwitchToRuntime)->trigger();
    ASSERT_TRUE(state.running);
    EXPECT_FALSE(state.configurationMode);
    EXPECT_EQ(state.linkState, LinkState::Delivering);
    EXPECT_TRUE(logContains(DriverString::text(DriverString::SwitchingToRunMode)));
    EXPECT_FALSE(enabled(Command::SwitchToRuntime));
    EXPECT_TRUE(enabled(Command::SwitchToConfiguration));
    EXPECT_FALSE(enabled(Command::NewTcpChannel));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.counters().requestsReceived > 5; }, 20000));

    window->action(Command::SwitchToConfiguration)->trigger();
    EXPECT_EQ(state.linkState, LinkState::Stopping);
    EXPECT_TRUE(logContains(DriverString::text(DriverString::SwitchingToConfigMode)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state.running; }, 5000));
    EXPECT_TRUE(state.configurationMode);
    EXPECT_EQ(state.linkState, LinkState::Idle);
    EXPECT_EQ(window->runMode().runtime(), nullptr);
    EXPECT_TRUE(logContains(QStringLiteral("Channel Chnl1, disconnected.")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.counters().connectionsClosed >= 1; }, 5000));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(enabled(Command::SwitchToRuntime));
    EXPECT_TRUE(enabled(Command::NewTcpChannel));
}

TEST_F(RunModeWindow, closingWhileRunningWaitsForTheRelease)
{
    buildProject();
    openWindow();
    window->action(Command::SwitchToRuntime)->trigger();
    ASSERT_TRUE(state.running);

    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(state.closePending);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 5000));
    EXPECT_FALSE(state.running);
    EXPECT_EQ(window->runMode().runtime(), nullptr);
}

TEST_F(RunModeWindow, runIsRefusedWithUnsavedChangesOrWithoutTags)
{
    buildProject();
    openWindow();
    state.project.markModified();
    window->action(Command::SwitchToRuntime)->trigger();
    EXPECT_FALSE(state.running);
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].text, DriverString::text(DriverString::SaveBeforeRunning));
    EXPECT_EQ(notifier.messages[0].icon, Notifier::Icon::Stop);
    EXPECT_FALSE(logContains(DriverString::text(DriverString::SwitchingToRunMode)));

    state.project.close();
    window->action(Command::SwitchToRuntime)->trigger();
    EXPECT_FALSE(state.running);
    EXPECT_TRUE(state.configurationMode);
    EXPECT_TRUE(logContains(DriverString::text(DriverString::NoTagsDefined)));
}

TEST_F(RunModeWindow, rtuChannelIsAnnouncedInATimedMessageAndTheRunGoesOn)
{
    buildProject(true);
    openWindow();
    window->action(Command::SwitchToRuntime)->trigger();
    EXPECT_TRUE(state.running);
    // The timed form, which closes itself after 10 s, never the plain box.
    ASSERT_EQ(notifier.timedMessages.size(), 1u);
    EXPECT_EQ(notifier.timedMessages[0].text, DriverString::text(DriverString::RtuChannelsFound));
    EXPECT_EQ(notifier.timedMessages[0].seconds, 10);
    EXPECT_FALSE(
        notifier.messageTexts().contains(DriverString::text(DriverString::RtuChannelsFound)));
    EXPECT_TRUE(logContains(DriverString::text(DriverString::RtuChannelsFound)));
}

TEST_F(RunModeWindow, stopRequestFromTheHostReleasesAndClosesWithoutAsking)
{
    buildProject();
    openWindow();
    state.launchedByHost = true;
    window->action(Command::SwitchToRuntime)->trigger();
    ASSERT_TRUE(state.running);
    // A host-launched run waits for the item request before polling.
    QTest::qWait(700);
    EXPECT_EQ(sim.counters().connectionsAccepted, 0u);
    EXPECT_FALSE(enabled(Command::SwitchToConfiguration));

    const hostmsg::Handle driverWindow = desktop.findWindow(MainWindow::Title);
    ASSERT_NE(driverWindow, 0u);
    EXPECT_EQ(desktop.sendMessage(driverWindow, hostmsg::WM_USER + 102), 1);
    EXPECT_TRUE(window->runMode().stopRequested());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 5000));
    EXPECT_TRUE(notifier.questions.isEmpty());
    EXPECT_FALSE(state.running);
}

TEST_F(RunModeWindow, userCloseOfAHostLaunchedRunAsksAndReleasesAtOnce)
{
    buildProject();
    openWindow();
    state.launchedByHost = true;
    window->action(Command::SwitchToRuntime)->trigger();
    ASSERT_TRUE(state.running);

    notifier.yesNoAnswers = {false};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(state.running);
    ASSERT_EQ(notifier.questions.size(), 1);
    EXPECT_EQ(notifier.questions[0], DriverString::text(DriverString::AskQuitWhileClientConnected));

    notifier.yesNoAnswers = {true};
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(state.running);
    EXPECT_EQ(window->runMode().runtime(), nullptr);
}

TEST_F(RunModeWindow, refusedCloseAfterALostHostLeavesNeitherModeUntilNew)
{
    buildProject();
    openWindow();
    state.launchedByHost = true;
    window->action(Command::SwitchToRuntime)->trigger();
    ASSERT_TRUE(state.running);

    // What a delivery that the host no longer acknowledges leaves behind.
    state.hostWindow = 0;
    state.linkState = LinkState::Stopping;
    notifier.yesNoAnswers = {false};
    ASSERT_TRUE(QTest::qWaitFor([&] { return notifier.questions.size() == 1; }, 5000));
    EXPECT_EQ(notifier.questions[0], DriverString::text(DriverString::AskQuitWhileClientConnected));
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(state.running);
    EXPECT_FALSE(state.configurationMode);
    // Nothing runs, so the file commands work; nothing can be edited or run.
    EXPECT_TRUE(enabled(Command::NewProject));
    EXPECT_TRUE(enabled(Command::OpenProject));
    EXPECT_FALSE(enabled(Command::NewTcpChannel));
    EXPECT_FALSE(enabled(Command::SwitchToRuntime));

    window->action(Command::NewProject)->trigger();
    EXPECT_TRUE(state.configurationMode);
    EXPECT_TRUE(enabled(Command::NewTcpChannel));
}

TEST_F(RunModeWindow, engineCreationFailureLeavesNeitherMode)
{
    // More channels than engines: the editor prevents it, a file may not.
    for (int i = 0; i < 11; ++i) {
        buildProject();
        state.project.channels().back()->name = QStringLiteral("Chnl%1").arg(i);
    }
    openWindow();
    window->action(Command::SwitchToRuntime)->trigger();
    EXPECT_FALSE(state.running);
    EXPECT_FALSE(state.configurationMode);
    ASSERT_FALSE(notifier.messages.empty());
    EXPECT_EQ(notifier.messages.back().text, QStringLiteral("Failed to create Controls"));
    EXPECT_EQ(notifier.messages.back().icon, Notifier::Icon::None);
    EXPECT_EQ(window->runMode().runtime(), nullptr);
    EXPECT_TRUE(enabled(Command::NewProject));
    EXPECT_FALSE(enabled(Command::SwitchToRuntime));
}

TEST_F(RunModeWindow, aRefusedCloseAfterTheReleaseLeavesNoStaleCloseRequest)
{
    buildProject();
    const QString path = QDir(testsupport::tempRoot()).filePath(QStringLiteral("stale.drx"));
    ASSERT_TRUE(state.project.saveFile(path));
    openWindow();
    window->action(Command::SwitchToRuntime)->trigger();
    ASSERT_TRUE(state.running);

    // Closed while running; by the time the release asks again the project
    // has unsaved changes and the user cancels the save question.
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(state.closePending);
    state.project.markModified();
    notifier.yesNoCancelAnswers = {Notifier::Answer::Cancel};
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !state.running && notifier.questions.size() == 1; }, 5000));
    QTest::qWait(100);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(state.closePending);

    // A later run that ends must not close the window.
    ASSERT_TRUE(state.project.saveFile(path));
    window->action(Command::SwitchToRuntime)->trigger();
    ASSERT_TRUE(state.running);
    window->action(Command::SwitchToConfiguration)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state.running; }, 5000));
    QTest::qWait(200);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(state.configurationMode);
}

TEST_F(RunModeWindow, theTagListShowsEachValuesQualityAndAStoppedRunIsNotLive)
{
    sim.setHoldingRegister(1, 0, 321);
    buildProject();
    openWindow();
    CModDevice *device = state.project.channels()[0]->devices[0].get();
    device->DeviceId = 1;
    CModTag &tag = *device->tags.at(0);
    const QModelIndex deviceIndex =
        window->treeModel()->index(0, 0, window->treeModel()->index(0, 0));
    window->projectTree()->selectionModel()->setCurrentIndex(deviceIndex,
                                                             QItemSelectionModel::ClearAndSelect);
    TagListModel *model = window->tagListModel();
    ASSERT_EQ(model->rowCount(), 1);
    const QModelIndex data = model->index(0, TagListModel::DataColumn);

    window->action(Command::SwitchToRuntime)->trigger();
    ASSERT_TRUE(state.running);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return model->data(data).toString() == QStringLiteral("321"); }, 20000));
    EXPECT_EQ(model->quality(tag), TagListModel::Quality::Good);
    EXPECT_FALSE(model->data(data, Qt::ForegroundRole).isValid());
    EXPECT_TRUE(model->data(data, Qt::ToolTipRole)
                    .toString()
                    .startsWith(QStringLiteral("Good; last good read ")));
    EXPECT_NE(tag.lastGoodRead, 0);

    // What the run time does when it can no longer vouch for the value.
    tag.flags |= CModTag::ErrorState;
    EXPECT_EQ(model->quality(tag), TagListModel::Quality::Bad);
    EXPECT_TRUE(model->data(data, Qt::ForegroundRole).isValid());
    EXPECT_TRUE(model->data(data, Qt::FontRole).isValid());
    EXPECT_TRUE(
        model->data(data, Qt::ToolTipRole).toString().contains(QStringLiteral("last good read")));
    tag.flags &= ~quint32(CModTag::ErrorState);

    window->action(Command::SwitchToConfiguration)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state.running; }, 5000));
    EXPECT_FALSE(model->isRunning());
    EXPECT_EQ(model->quality(tag), TagListModel::Quality::Stopped);
    EXPECT_TRUE(model->data(data, Qt::ForegroundRole).isValid()) << "greyed, not live";
    EXPECT_EQ(model->data(data, Qt::ToolTipRole).toString(),
              QStringLiteral("Not running: the value of the last run"));
}

} // namespace
