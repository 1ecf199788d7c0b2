// The restart notice and the launcher in the test process, with the real
// launcher starting stand-ins from a folder laid out as an installation.
#include "hostruntimelauncher.h"
#include "hostruntimelocation.h"
#include "launchfolder.h"
#include "restartnoticedialog.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class RestartNotice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        folder.addRestarterPlaceholder();
    }

    LaunchPlan plan(ElevationRoute route) const
    {
        LaunchPlan plan;
        plan.programFilePath = folder.restarterPath();
        plan.route = route;
        plan.pkexecProgram = folder.binPath() + QStringLiteral("/pkexec");
        return plan;
    }

    // Runs the launcher alone and waits for its outcome.
    LaunchOutcome launch(const LaunchPlan &plan)
    {
        HostRuntimeLauncher launcher(plan);
        std::optional<LaunchOutcome> outcome;
        QObject::connect(&launcher, &HostRuntimeLauncher::finished,
                         [&](const LaunchOutcome &o) { outcome = o; });
        launcher.start();
        EXPECT_TRUE(waitUntil([&] { return outcome.has_value(); }));
        return outcome.value_or(LaunchOutcome{QStringLiteral("no outcome")});
    }

    LaunchFolder folder;
};

TEST_F(RestartNotice, ShowsItsNoticeAndLaunchesOnceAfterTwoSeconds)
{
    folder.addHostRuntime();
    HostRuntimeLauncher launcher(plan(ElevationRoute::Direct));
    RestartNoticeDialog dialog(launcher);
    QSignalSpy finished(&dialog, &QDialog::finished);
    QElapsedTimer clock;
    clock.start();
    dialog.show();
    EXPECT_EQ(dialog.findChild<QLabel *>(QStringLiteral("noticeLabel"))->text(),
              QStringLiteral("Orvala hostrun is restarting, please wait..."));

    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }, 20000));
    EXPECT_GE(clock.elapsed(), 1950);
    EXPECT_EQ(finished.front().front().toInt(), int(QDialog::Accepted));
    EXPECT_TRUE(dialog.hasLaunched());
    EXPECT_TRUE(dialog.launchFailure().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return folder.hostRuntimeRecords().size() == 1; }));
}

// The hidden Launch command starts at once; the timer's tick after it starts
// nothing more.
TEST_F(RestartNotice, LaunchCommandStartsAtOnceAndTheTimerAddsNothing)
{
    folder.addHostRuntime();
    HostRuntimeLauncher launcher(plan(ElevationRoute::Direct));
    RestartNoticeDialog dialog(launcher);
    QSignalSpy finished(&dialog, &QDialog::finished);
    QElapsedTimer clock;
    clock.start();
    dialog.show();
    dialog.launchNow();
    dialog.launchNow();
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    EXPECT_LT(clock.elapsed(), 1900);
    dialog.show(); // a later tick finds the dialog still there, launched
    QTest::qWait(2500);
    ASSERT_TRUE(waitUntil([&] { return folder.hostRuntimeRecords().size() == 1; }));
    QTest::qWait(300);
    EXPECT_EQ(folder.hostRuntimeRecords().size(), 1);
}

TEST_F(RestartNotice, EscapeOrEnterDuringTheWaitStartNothing)
{
    folder.addHostRuntime();
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        SCOPED_TRACE(key);
        HostRuntimeLauncher launcher(plan(ElevationRoute::Direct));
        RestartNoticeDialog dialog(launcher);
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        QTest::qWait(300);
        QTest::keyClick(&dialog, key);
        ASSERT_EQ(finished.count(), 1);
        EXPECT_FALSE(dialog.isVisible());
        QTest::qWait(int(RestartNoticeDialog::LaunchDelay.count()) + 500);
        EXPECT_FALSE(dialog.hasLaunched());
    }
    EXPECT_TRUE(folder.hostRuntimeRecords().isEmpty());
}

// While pkexec asks for authentication, the notice stays whatever is pressed.
TEST_F(RestartNotice, StaysWhilePkexecAsks)
{
    folder.addHostRuntime();
    folder.addPkexec(1500);
    HostRuntimeLauncher launcher(plan(ElevationRoute::ThroughPkexec));
    RestartNoticeDialog dialog(launcher);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    dialog.launchNow();
    ASSERT_TRUE(waitUntil([&] { return folder.pkexecRecords().size() == 1; }));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QTest::keyClick(&dialog, Qt::Key_Return);
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(finished.count(), 0);
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    EXPECT_TRUE(dialog.launchFailure().isEmpty()) << qPrintable(dialog.launchFailure());
    EXPECT_TRUE(waitUntil([&] { return folder.hostRuntimeRecords().size() == 1; }));
}

TEST_F(RestartNotice, PkexecFailuresAreOneLineEach)
{
    folder.addHostRuntime();
    folder.addPkexec(0, 127);
    const LaunchOutcome error = launch(plan(ElevationRoute::ThroughPkexec));
    EXPECT_FALSE(error.started());
    EXPECT_TRUE(error.failure.contains(QStringLiteral("exit status 127")))
        << qPrintable(error.failure);
    EXPECT_FALSE(error.failure.contains(QLatin1Char('\n')));

    LaunchPlan missingPkexec = plan(ElevationRoute::ThroughPkexec);
    missingPkexec.pkexecProgram = folder.path() + QStringLiteral("/no-such-pkexec");
    const LaunchOutcome missing = launch(missingPkexec);
    EXPECT_FALSE(missing.started());
    EXPECT_TRUE(missing.failure.contains(QStringLiteral("no-such-pkexec")))
        << qPrintable(missing.failure);
    EXPECT_TRUE(folder.hostRuntimeRecords().isEmpty());
}

// A prompt nobody answers: pkexec is ended after the limit, not left behind.
TEST_F(RestartNotice, GivesUpOnPkexecAfterTheAuthenticationLimit)
{
    folder.addHostRuntime();
    folder.addPkexec(60000);
    LaunchPlan slow = plan(ElevationRoute::ThroughPkexec);
    slow.authenticationLimit = 1s;
    const LaunchOutcome outcome = launch(slow);
    EXPECT_FALSE(outcome.started());
    EXPECT_TRUE(outcome.failure.contains(QStringLiteral("within 1 s")))
        << qPrintable(outcome.failure);
    const QList<StandInRecord> pkexecs = folder.pkexecRecords();
    ASSERT_EQ(pkexecs.size(), 1);
    const pid_t pkexec = pid_t(pkexecs.front().number(QStringLiteral("pid")));
    EXPECT_NE(::kill(pkexec, 0), 0) << "pkexec still runs";
    EXPECT_TRUE(folder.hostRuntimeRecords().isEmpty());
}

TEST_F(RestartNotice, HostRuntimeThatEndsAtOnceThroughPkexecIsStillAStart)
{
    // pkexec became the host runtime, which printed its usage and ended
    // before the launcher looked: not a failure of the launch.
    folder.addPkexec();
    {
        QFile script(folder.hostRuntimePath());
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nexit 2\n");
    }
    ASSERT_EQ(::chmod(QFile::encodeName(folder.hostRuntimePath()).constData(), 0755), 0);
    const LaunchOutcome outcome = launch(plan(ElevationRoute::ThroughPkexec));
    EXPECT_TRUE(outcome.started()) << qPrintable(outcome.failure);
}

class HostRuntimeLookup : public RestartNotice
{
protected:
    QString problem() const
    {
        return HostRuntimeLocation::besideProgram(folder.restarterPath(), ::geteuid()).problem;
    }
    static void setMode(const QString &path, mode_t mode)
    {
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
    }
};

TEST_F(HostRuntimeLookup, TakesTheProgramBesideRestarter)
{
    folder.addHostRuntime();
    const HostRuntimeLocation location =
        HostRuntimeLocation::besideProgram(folder.restarterPath(), ::geteuid());
    EXPECT_TRUE(location.isUsable()) << qPrintable(location.problem);
    EXPECT_EQ(location.path, QFileInfo(folder.hostRuntimePath()).canonicalFilePath());
}

TEST_F(HostRuntimeLookup, RefusesWhatIsMissingOrNotAProgram)
{
    EXPECT_TRUE(problem().endsWith(QStringLiteral("/hostrun is missing"))) << qPrintable(problem());
    folder.addHostRuntime();
    setMode(folder.hostRuntimePath(), 0644);
    EXPECT_TRUE(problem().contains(QStringLiteral("not an executable file")));
    QFile::remove(folder.hostRuntimePath());
    QDir().mkdir(folder.hostRuntimePath());
    EXPECT_TRUE(problem().contains(QStringLiteral("not an executable file")));
    EXPECT_FALSE(HostRuntimeLocation::besideProgram(QString(), ::geteuid()).isUsable());
}

TEST_F(HostRuntimeLookup, RefusesWhatOthersCanChange)
{
    folder.addHostRuntime();
    setMode(folder.hostRuntimePath(), 0775);
    EXPECT_TRUE(problem().contains(QStringLiteral("hostrun is writable by group or others")));
    setMode(folder.hostRuntimePath(), 0755);
    setMode(folder.path(), 0757);
    EXPECT_TRUE(problem().contains(QStringLiteral("is writable by group or others")))
        << qPrintable(problem());
    setMode(folder.path(), 01777); // sticky does not help the folder of the program itself
    EXPECT_FALSE(problem().isEmpty());
    setMode(folder.path(), 0755);
    EXPECT_TRUE(problem().isEmpty()) << qPrintable(problem());

    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(folder.hostRuntimePath()).constData(), 65534, 65534),
                  0);
        EXPECT_TRUE(problem().contains(QStringLiteral("belongs to another user")));
    }
}

// A link beside restarter counts by what it points to, and the folder that
// holds the real program must be safe too.
TEST_F(HostRuntimeLookup, FollowsALinkAndChecksTheRealFolder)
{
    const QString elsewhere = folder.path() + QStringLiteral("/real");
    QDir().mkdir(elsewhere);
    setMode(elsewhere, 0755);
    const QString real = elsewhere + QStringLiteral("/hostrun-1.1");
    QFile::copy(QStringLiteral("/bin/true"), real);
    setMode(real, 0755);
    ASSERT_TRUE(QFile::link(real, folder.hostRuntimePath()));
    const HostRuntimeLocation location =
        HostRuntimeLocation::besideProgram(folder.restarterPath(), ::geteuid());
    EXPECT_TRUE(location.isUsable()) << qPrintable(location.problem);
    EXPECT_EQ(location.path, QFileInfo(real).canonicalFilePath());
    setMode(elsewhere, 0777);
    EXPECT_TRUE(problem().contains(QStringLiteral("/real is writable by group or others")));
}

} // namespace
