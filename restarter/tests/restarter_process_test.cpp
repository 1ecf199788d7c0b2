// restarter as a real process, with stand-ins for the host runtime and pkexec
// beside it or on its PATH.
#include "launchfolder.h"

#include "suiteversion.h"
#include "testenvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t Nobody = 65534;
constexpr int LaunchDelayMs = 2000;
// A precise timer never fires early; the margin covers clock granularity.
constexpr int EarliestLaunchMs = LaunchDelayMs - 50;

class RestarterProgram : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    ~RestarterProgram() override
    {
        if (restarter.state() != QProcess::NotRunning) {
            restarter.kill();
            restarter.waitForFinished(5000);
        }
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("PATH"),
                           folder.binPath() + QStringLiteral(":/usr/bin:/bin"));
        return environment;
    }

    // As the user nobody: a home of its own, and the leak checker's
    // suppressions where nobody can read them.
    QProcessEnvironment unprivilegedEnvironment() const
    {
        QProcessEnvironment environment = this->environment();
        const QString home = folder.path() + QStringLiteral("/nobody-home");
        QDir().mkpath(home);
        EXPECT_EQ(::chown(QFile::encodeName(home).constData(), Nobody, Nobody), 0);
        for (const char *variable : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                     "XDG_CACHE_HOME", "ORVALA_RUNTIME_DIR"})
            environment.insert(QLatin1StringView(variable), home);
        QString leakOptions = environment.value(QStringLiteral("LSAN_OPTIONS"));
        const QString key = QStringLiteral("suppressions=");
        if (const qsizetype at = leakOptions.indexOf(key); at >= 0) {
            const qsizetype end = leakOptions.indexOf(QLatin1Char(':'), at);
            const QString file =
                leakOptions.mid(at + key.size(), end < 0 ? -1 : end - at - key.size());
            const QString copy = folder.path() + QStringLiteral("/lsan.supp");
            QFile::copy(file, copy);
            ::chmod(QFile::encodeName(copy).constData(), 0644);
            leakOptions.replace(at + key.size(), file.size(), copy);
            environment.insert(QStringLiteral("LSAN_OPTIONS"), leakOptions);
        }
        return environment;
    }

    void start(const QString &program, const QStringList &arguments)
    {
        start(program, arguments, environment());
    }

    void start(const QString &program, const QStringList &arguments,
               const QProcessEnvironment &environment)
    {
        restarter.setProcessEnvironment(environment);
        clock.start();
        restarter.start(program, arguments);
        ASSERT_TRUE(restarter.waitForStarted(10000));
        restarterPid = restarter.processId();
    }

    // Runs restarter as nobody when the test runs as root; otherwise it is
    // unprivileged already.
    void startUnprivileged(const QStringList &arguments)
    {
        if (::geteuid() != 0) {
            start(folder.restarterPath(), arguments);
            return;
        }
        start(QStringLiteral("/usr/bin/setpriv"),
              QStringList{QStringLiteral("--reuid=%1").arg(Nobody),
                          QStringLiteral("--regid=%1").arg(Nobody),
                          QStringLiteral("--clear-groups"), QStringLiteral("--"),
                          folder.restarterPath()} +
                  arguments,
              unprivilegedEnvironment());
    }

    bool waitForExit()
    {
        // Events processed while waiting for the stand-ins may have seen it end.
        const bool finished =
            restarter.state() == QProcess::NotRunning || restarter.waitForFinished(30000);
        EXPECT_TRUE(finished) << "error " << restarter.error() << ": "
                              << qPrintable(restarter.errorString());
        EXPECT_EQ(restarter.exitStatus(), QProcess::NormalExit);
        return finished && restarter.exitStatus() == QProcess::NormalExit;
    }

    // The lines restarter itself wrote to its error stream.
    QStringList ownErrorLines()
    {
        QStringList lines;
        const QStringList all =
            QString::fromLocal8Bit(restarter.readAllStandardError()).split(QLatin1Char('\n'));
        for (const QString &line : all) {
            if (line.startsWith(QStringLiteral("restarter: ")))
                lines << line;
        }
        return lines;
    }

    uid_t unprivilegedUser() const { return ::geteuid() == 0 ? Nobody : ::geteuid(); }

    LaunchFolder folder;
    QProcess restarter;
    qint64 restarterPid = 0;
    QElapsedTimer clock;
};

TEST_F(RestarterProgram, AsRootStartsTheHostRuntimeOnceInItsOwnSessionAfterTwoSeconds)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the direct start is taken only as root";
    folder.addHostRuntime();
    folder.addRestarterCopy();
    const QStringList arguments = {QStringLiteral("driver"), QStringLiteral("--items"),
                                   QStringLiteral("Plant.Boiler.Level")};
    start(folder.restarterPath(), arguments);

    ASSERT_TRUE(waitUntil([&] { return !folder.hostRuntimeRecords().isEmpty(); }));
    const qint64 startedAfterMs = clock.elapsed();
    EXPECT_GE(startedAfterMs, EarliestLaunchMs);
    ASSERT_TRUE(waitForExit());
    EXPECT_EQ(restarter.exitCode(), 0);
    EXPECT_LT(clock.elapsed() - startedAfterMs, 10000) << "restarter stayed after the start";
    EXPECT_TRUE(ownErrorLines().isEmpty());

    const QList<StandInRecord> records = folder.hostRuntimeRecords();
    ASSERT_EQ(records.size(), 1);
    const StandInRecord &hostRuntime = records.front();
    EXPECT_EQ(hostRuntime.number(QStringLiteral("uid")), 0);
    EXPECT_EQ(hostRuntime.arguments, arguments);
    EXPECT_EQ(hostRuntime.number(QStringLiteral("sid")), hostRuntime.number(QStringLiteral("pid")))
        << "not the leader of a session of its own";
    EXPECT_NE(hostRuntime.number(QStringLiteral("sid")), qint64(::getsid(0)));
    EXPECT_TRUE(folder.pkexecRecords().isEmpty());
}

TEST_F(RestarterProgram, ThroughPkexecWhenNotRootAndStaysUntilPkexecHasStartedTheHostRuntime)
{
    folder.addHostRuntime();
    folder.addPkexec(1000); // an authentication prompt that takes a second
    folder.addRestarterCopy();
    startUnprivileged({QStringLiteral("driver"), QStringLiteral("--items"), QStringLiteral("A,B")});

    ASSERT_TRUE(waitUntil([&] { return !folder.pkexecRecords().isEmpty(); }));
    EXPECT_GE(clock.elapsed(), EarliestLaunchMs);
    ASSERT_TRUE(waitUntil([&] { return !folder.hostRuntimeRecords().isEmpty(); }));
    ASSERT_TRUE(waitForExit());
    EXPECT_EQ(restarter.exitCode(), 0) << restarter.readAllStandardError().constData();

    const QList<StandInRecord> pkexecs = folder.pkexecRecords();
    ASSERT_EQ(pkexecs.size(), 1);
    const StandInRecord &pkexec = pkexecs.front();
    // pkexec asks about its parent: restarter itself, not a forked helper.
    EXPECT_EQ(pkexec.number(QStringLiteral("ppid")), restarterPid);
    EXPECT_EQ(pkexec.number(QStringLiteral("uid")), unprivilegedUser());
    EXPECT_EQ(pkexec.arguments, (QStringList{folder.hostRuntimePath(), QStringLiteral("driver"),
                                             QStringLiteral("--items"), QStringLiteral("A,B")}));

    const QList<StandInRecord> hostRuntimes = folder.hostRuntimeRecords();
    ASSERT_EQ(hostRuntimes.size(), 1);
    const StandInRecord &hostRuntime = hostRuntimes.front();
    // pkexec became the host runtime, in its session, while restarter still ran.
    EXPECT_EQ(hostRuntime.number(QStringLiteral("pid")), pkexec.number(QStringLiteral("pid")));
    EXPECT_EQ(hostRuntime.number(QStringLiteral("sid")), hostRuntime.number(QStringLiteral("pid")));
    // Its parent as the shell found it on start: had restarter gone before
    // the exec, it would have been reparented.
    EXPECT_EQ(hostRuntime.number(QStringLiteral("ppid")), restarterPid);
    EXPECT_EQ(
        hostRuntime.arguments,
        (QStringList{QStringLiteral("driver"), QStringLiteral("--items"), QStringLiteral("A,B")}));
}

TEST_F(RestarterProgram, DeclinedAuthenticationIsOneErrorLineAndStatus1)
{
    folder.addHostRuntime();
    folder.addPkexec(0, 126);
    folder.addRestarterCopy();
    startUnprivileged({});

    ASSERT_TRUE(waitForExit());
    EXPECT_EQ(restarter.exitCode(), 1);
    EXPECT_GE(clock.elapsed(), EarliestLaunchMs);
    const QStringList lines = ownErrorLines();
    ASSERT_EQ(lines.size(), 1) << qPrintable(lines.join(QLatin1Char('\n')));
    EXPECT_TRUE(lines.front().contains(QStringLiteral("declined"))) << qPrintable(lines.front());
    EXPECT_EQ(folder.pkexecRecords().size(), 1);
    EXPECT_TRUE(folder.hostRuntimeRecords().isEmpty());
}

TEST_F(RestarterProgram, WithoutAHostRuntimeEndsAfterTwoSecondsWithOneErrorLine)
{
    folder.addPkexec();
    folder.addRestarterCopy();
    start(folder.restarterPath(), {});

    ASSERT_TRUE(waitForExit());
    EXPECT_GE(clock.elapsed(), EarliestLaunchMs);
    EXPECT_EQ(restarter.exitCode(), 1);
    const QStringList lines = ownErrorLines();
    ASSERT_EQ(lines.size(), 1) << qPrintable(lines.join(QLatin1Char('\n')));
    EXPECT_TRUE(lines.front().contains(folder.hostRuntimePath() + QStringLiteral(" is missing")))
        << qPrintable(lines.front());
    EXPECT_TRUE(folder.pkexecRecords().isEmpty()) << "pkexec asked for nothing to start";
}

// A link to restarter does not make a program beside the link the one to
// start: restarter looks beside its real file (in the build tree, no hostrun).
TEST_F(RestarterProgram, LooksBesideItsRealFileNotBesideALinkToIt)
{
    folder.addHostRuntime();
    ASSERT_TRUE(QFile::link(testsupport::builtProgram(QStringLiteral("restarter/restarter")),
                            folder.restarterPath()));
    start(folder.restarterPath(), {});

    ASSERT_TRUE(waitForExit());
    EXPECT_EQ(restarter.exitCode(), 1);
    EXPECT_EQ(ownErrorLines().size(), 1);
    EXPECT_TRUE(folder.hostRuntimeRecords().isEmpty());
}

TEST_F(RestarterProgram, RefusesAHostRuntimeOthersCanChange)
{
    folder.addHostRuntime();
    folder.addRestarterCopy();
    ASSERT_EQ(::chmod(QFile::encodeName(folder.hostRuntimePath()).constData(), 0777), 0);
    start(folder.restarterPath(), {});

    ASSERT_TRUE(waitForExit());
    EXPECT_EQ(restarter.exitCode(), 1);
    const QStringList lines = ownErrorLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.front().contains(QStringLiteral("writable by group or others")));
    EXPECT_TRUE(folder.hostRuntimeRecords().isEmpty());
}

// --help and --version need no display.
TEST_F(RestarterProgram, AnswersHelpAndVersionWithoutADisplay)
{
    QProcessEnvironment bare = environment();
    bare.remove(QStringLiteral("QT_QPA_PLATFORM"));
    bare.remove(QStringLiteral("DISPLAY"));
    bare.remove(QStringLiteral("WAYLAND_DISPLAY"));
    const QString program = testsupport::builtProgram(QStringLiteral("restarter/restarter"));

    start(program, {QStringLiteral("--version")}, bare);
    ASSERT_TRUE(waitForExit());
    EXPECT_EQ(restarter.exitCode(), 0);
    EXPECT_EQ(restarter.readAllStandardOutput(),
              QByteArray("restarter ") + QByteArray(SuiteVersion) + '\n');

    start(program, {QStringLiteral("--help")}, bare);
    ASSERT_TRUE(waitForExit());
    EXPECT_EQ(restarter.exitCode(), 0);
    const QByteArray help = restarter.readAllStandardOutput();
    EXPECT_TRUE(help.contains("hostrun")) << help.constData();
    EXPECT_TRUE(help.contains("pkexec")) << help.constData();
}

} // namespace
