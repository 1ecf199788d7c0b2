#include "driverstate.h"
#include "notifier.h"
#include "testenvironment.h"

#include <QDir>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

class AnsweringNotifier : public Notifier
{
public:
    QString fileAnswer;
    void showMessage(const QString &, Icon) override {}
    bool askYesNo(const QString &) override { return false; }
    QString getOpenFileName(const FileDialog &) override { return fileAnswer; }
    QString getSaveFileName(const FileDialog &) override { return fileAnswer; }
};

TEST(DriverStateTest, StartsInConfigurationModeWithAnIdleLink)
{
    AnsweringNotifier notifier;
    DriverState state(notifier, DriverSettings{});
    EXPECT_TRUE(state.configurationMode);
    EXPECT_FALSE(state.running);
    EXPECT_FALSE(state.launchedByHost);
    EXPECT_EQ(state.hostWindow, 0u);
    EXPECT_EQ(state.linkState, LinkState::Idle);
    EXPECT_TRUE(state.project.channels().empty());
    EXPECT_FALSE(state.project.isModified());
}

TEST(DriverStateTest, SavedAndOpenedProjectsGoToTheTopOfTheRecentFiles)
{
    AnsweringNotifier notifier;
    DriverState state(notifier, DriverSettings{});
    const QString first = QDir(testsupport::tempRoot()).filePath(QStringLiteral("first.drx"));
    const QString second = QDir(testsupport::tempRoot()).filePath(QStringLiteral("second.drx"));

    auto channel = std::make_shared<CModTCPChnl>();
    channel->devices.push_back(std::make_shared<CModTCPDev>());
    state.project.addChannel(channel);
    state.project.markModified();
    notifier.fileAnswer = first;
    state.project.save();
    state.project.markModified();
    notifier.fileAnswer = second;
    state.project.saveAs();
    ASSERT_EQ(state.recentFiles.entry(0), second);
    EXPECT_EQ(state.recentFiles.entry(1), first);

    notifier.fileAnswer = first;
    state.project.open();
    EXPECT_EQ(state.recentFiles.entry(0), first);
    EXPECT_EQ(state.recentFiles.entry(1), second);

    QSettings store{QString(DriverSettingsOrganization), QString(DriverSettingsApplication)};
    state.recentFiles.save(store);
    RecentFileList reloaded;
    reloaded.load(store);
    EXPECT_EQ(reloaded.entries(), state.recentFiles.entries());
}

} // namespace
