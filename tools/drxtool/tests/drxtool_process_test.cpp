// The drxtool program itself: exit codes, and what it prints where.
#include "projectfile.h"
#include "suiteversion.h"
#include "testenvironment.h"
#include "testprojects.h"

#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

using namespace testprojects;

namespace {

struct Finished
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

class DrxtoolProgram : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFileInfo(m_program).isExecutable()) << m_program.toStdString();
    }

    Finished run(const QStringList &arguments)
    {
        QProcess process;
        process.start(m_program, arguments);
        EXPECT_TRUE(process.waitForStarted(-1));
        EXPECT_TRUE(process.waitForFinished(-1));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        return {process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    const QString m_program = testsupport::builtProgram(QStringLiteral("tools/drxtool/drxtool"));
};

TEST_F(DrxtoolProgram, BuildsAndDumps)
{
    const QString json = tempPath(QStringLiteral("every.json"));
    const QString drx = tempPath(QStringLiteral("every.drx"));
    ASSERT_TRUE(writeFile(json, everySettingChanged()));

    const Finished build = run({QStringLiteral("build"), json, drx});
    EXPECT_EQ(build.exitCode, 0);
    EXPECT_EQ(build.out, QByteArray());
    EXPECT_EQ(build.err, QByteArray());
    EXPECT_EQ(ProjectFile::load(drx).error, ProjectFile::Error::None);

    const Finished dump = run({QStringLiteral("dump"), drx});
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_EQ(dump.out.toStdString(), everySettingChanged().toStdString());
    EXPECT_EQ(dump.err, QByteArray());
}

TEST_F(DrxtoolProgram, BadValueExits1WithOneLineAndKeepsTheOutput)
{
    const QString json = tempPath(QStringLiteral("bad.json"));
    const QString drx = tempPath(QStringLiteral("kept.drx"));
    ASSERT_EQ(ProjectFile::save(drx, modelProject()).error, ProjectFile::Error::None);
    const QByteArray before = readFile(drx);
    ASSERT_TRUE(writeFile(json, R"({"channels": [{"kind": "tcp", "devices": [
        {"DeviceName": "P"}, {"DeviceName": "Q", "FailAfter": 256}]}]})"));

    const Finished build = run({QStringLiteral("build"), json, drx});
    EXPECT_EQ(build.exitCode, 1);
    EXPECT_EQ(build.out, QByteArray());
    EXPECT_EQ(QString::fromUtf8(build.err),
              json + QStringLiteral(": channels[0].devices[1].FailAfter: 256 does not fit the "
                                    "stored field (0 to 255)\n"));
    EXPECT_EQ(readFile(drx), before);
}

// What the driver loads but no page offers is written, with a warning line
// per value on the error stream and exit code 0.
TEST_F(DrxtoolProgram, ValueNoPageOffersWarnsAndIsWritten)
{
    const QString json = tempPath(QStringLiteral("odd.json"));
    const QString drx = tempPath(QStringLiteral("odd.drx"));
    ASSERT_TRUE(writeFile(json, R"({"channels": [{"kind": "tcp", "devices": [
        {"DeviceName": "P", "DeviceId": 300, "OutputCoilBlock": 13}]}]})"));

    const Finished build = run({QStringLiteral("build"), json, drx});
    EXPECT_EQ(build.exitCode, 0);
    EXPECT_EQ(build.out, QByteArray());
    EXPECT_EQ(QString::fromUtf8(build.err),
              QStringLiteral("warning: %1: channels[0].devices[0].DeviceId: 300 is out of range "
                             "(0 to 255)\n"
                             "warning: %1: channels[0].devices[0].OutputCoilBlock: 13 is not a "
                             "multiple of 8\n")
                  .arg(json));
    const ProjectFile::Loaded loaded = ProjectFile::load(drx);
    ASSERT_EQ(loaded.error, ProjectFile::Error::None);
    EXPECT_EQ(loaded.channels.at(0)->devices.at(0)->DeviceId, 300);
}

// A name holding "." is refused unless the option takes it.
TEST_F(DrxtoolProgram, DottedNamesNeedTheOption)
{
    const QString json = tempPath(QStringLiteral("dotted.json"));
    const QString drx = tempPath(QStringLiteral("dotted.drx"));
    ASSERT_TRUE(writeFile(json, R"({"channels": [{"kind": "tcp", "ChannelName": "A.B"}]})"));

    const Finished refused = run({QStringLiteral("build"), json, drx});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(drx));

    const Finished allowed =
        run({QStringLiteral("build"), QStringLiteral("--allow-dotted-names"), json, drx});
    EXPECT_EQ(allowed.exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(allowed.err),
              QStringLiteral("warning: %1: channels[0].ChannelName: Channel name can not contain "
                             "\".\".\n")
                  .arg(json));
    EXPECT_TRUE(QFileInfo::exists(drx));
}

TEST_F(DrxtoolProgram, SyntaxErrorNamesLineAndColumn)
{
    const QString json = tempPath(QStringLiteral("syntax.json"));
    const QString drx = tempPath(QStringLiteral("never.drx"));
    ASSERT_TRUE(writeFile(json, "{\n  \"channels\": [\n    {\"kind\": \"tcp\",}\n  ]\n}\n"));

    const Finished build = run({QStringLiteral("build"), json, drx});
    EXPECT_EQ(build.exitCode, 1);
    EXPECT_EQ(QString::fromUtf8(build.err),
              json + QStringLiteral(": line 3, column 20: object is missing after a comma\n"));
    EXPECT_FALSE(QFileInfo::exists(drx));
}

TEST_F(DrxtoolProgram, DumpOfAFileThatIsNoProjectExits1)
{
    const QString path = tempPath(QStringLiteral("notes.drx"));
    ASSERT_TRUE(writeFile(path, QByteArray(4096, 'x')));
    const Finished dump = run({QStringLiteral("dump"), path});
    EXPECT_EQ(dump.exitCode, 1);
    EXPECT_EQ(dump.out, QByteArray());
    EXPECT_EQ(QString::fromUtf8(dump.err),
              QStringLiteral("%1: The file %1 is not a Modbus project file.\n").arg(path));

    const QString missing = tempPath(QStringLiteral("missing.drx"));
    const Finished dumpMissing = run({QStringLiteral("dump"), missing});
    EXPECT_EQ(dumpMissing.exitCode, 1);
    EXPECT_EQ(QString::fromUtf8(dumpMissing.err),
              missing + QStringLiteral(": cannot open: No such file or directory\n"));
}

TEST_F(DrxtoolProgram, UsageErrorsExit2)
{
    const QList<QStringList> misuses = {
        {},
        {QStringLiteral("dump")},
        {QStringLiteral("dump"), QStringLiteral("a.drx"), QStringLiteral("b.drx")},
        {QStringLiteral("build"), QStringLiteral("a.json")},
        {QStringLiteral("convert"), QStringLiteral("a.json"), QStringLiteral("b.drx")},
    };
    for (const QStringList &arguments : misuses) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        const Finished misuse = run(arguments);
        EXPECT_EQ(misuse.exitCode, 2);
        EXPECT_EQ(misuse.out, QByteArray());
        EXPECT_TRUE(misuse.err.startsWith("Usage: drxtool dump FILE.drx\n")) << misuse.err.data();
    }
    const Finished help = run({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: drxtool dump FILE.drx\n"));
    EXPECT_EQ(help.err, QByteArray());
}

TEST_F(DrxtoolProgram, VersionIsTheSuites)
{
    const Finished version = run({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QByteArray("drxtool ") + SuiteVersion + '\n');
}

} // namespace
