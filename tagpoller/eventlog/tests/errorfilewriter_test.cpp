#include "errorfilewriter.h"
#include "eventlogtesting.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace eventlogtest;

namespace {

const QString Started = QStringLiteral(": Error File Generation Started. ");
const QString Stopped = QStringLiteral(": Error File Generation Stopped. ");

// The bytes one line takes in the file: UTF-16LE, no byte-order mark.
QByteArray fileLine(const char *timeText, const QString &text)
{
    QStringEncoder toUtf16(QStringEncoder::Utf16LE);
    return toUtf16(QString::fromLatin1(timeText) + QStringLiteral(", ") + text +
                   QStringLiteral(" \r\n"));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

class ErrorFileWriterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setCentralEuropeanTime();
        ASSERT_TRUE(QDir().mkpath(projectFolder()));
    }

    QString projectFolder() const { return testsupport::tempRoot() + QStringLiteral("/project"); }
    QString errorFile() const { return projectFolder() + QStringLiteral("/Channel1.txt"); }

    ManualClock m_clock{AprilFifth2017At140307};
};

TEST_F(ErrorFileWriterTest, GenerationOffCreatesNoFileAndCollectsNothing)
{
    ErrorFileWriter writer(false, 15, m_clock.wallClock());
    writer.open(QStringLiteral("Channel1.txt"), projectFolder());
    for (int i = 0; i < 12; ++i)
        writer.addLine(QStringLiteral("trace %1").arg(i));
    writer.writeOut();
    EXPECT_FALSE(writer.isActive());
    EXPECT_TRUE(writer.path().isEmpty());
    EXPECT_EQ(writer.pendingLineCount(), 0);
    EXPECT_FALSE(QFile::exists(errorFile()));
}

TEST_F(ErrorFileWriterTest, OpenCreatesTheFileBesideTheProjectWithoutWritingIt)
{
    ErrorFileWriter writer(true, 15, m_clock.wallClock());
    writer.open(QStringLiteral("Channel1.txt"), projectFolder());
    EXPECT_EQ(writer.path(), errorFile());
    ASSERT_TRUE(QFile::exists(errorFile()));
    EXPECT_EQ(QFileInfo(errorFile()).size(), 0);
}

TEST_F(ErrorFileWriterTest, OpenKeepsWhatTheFileHolds)
{
    QFile existing(errorFile());
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("earlier run");
    existing.close();

    ErrorFileWriter writer(true, 15, m_clock.wallClock());
    writer.open(QStringLiteral("Channel1.txt"), projectFolder());
    EXPECT_EQ(readFile(errorFile()), QByteArray("earlier run"));
}

TEST_F(ErrorFileWriterTest, EmptyNameOpensNothing)
{
    ErrorFileWriter writer(true, 15, m_clock.wallClock());
    writer.open(QString(), projectFolder());
    EXPECT_TRUE(writer.path().isEmpty());
    EXPECT_TRUE(QDir(projectFolder()).isEmpty());
}

// The first trace line brings the Started line with it; nothing reaches the
// file until five lines are pending, then all five go out at once, appended
// after what the file held.
TEST_F(ErrorFileWriterTest, FirstLineStartsAndLinesGoOutInBlocksOfFive)
{
    QFile existing(errorFile());
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    const QByteArray earlier = fileLine("17-04-04 [09:00:00]", QStringLiteral("yesterday"));
    existing.write(earlier);
    existing.close();

    ErrorFileWriter writer(true, 15, m_clock.wallClock());
    writer.open(QStringLiteral("Channel1.txt"), projectFolder());

    writer.addLine(QStringLiteral("Connecting 10.0.0.5:502"));
    EXPECT_EQ(writer.pendingLineCount(), 2);
    m_clock.advance(1s);
    writer.addLine(QStringLiteral("Connected"));
    writer.addLine(QStringLiteral("Sent frame 1"));
    EXPECT_EQ(writer.pendingLineCount(), 4);
    EXPECT_EQ(readFile(errorFile()), earlier);

    writer.addLine(QStringLiteral("Reply timeout"));
    EXPECT_EQ(writer.pendingLineCount(), 0);
    const QByteArray firstBlock =
        earlier + fileLine("17-04-05 [14:03:07]", Started) +
        fileLine("17-04-05 [14:03:07]", QStringLiteral("Connecting 10.0.0.5:502")) +
        fileLine("17-04-05 [14:03:08]", QStringLiteral("Connected")) +
        fileLine("17-04-05 [14:03:08]", QStringLiteral("Sent frame 1")) +
        fileLine("17-04-05 [14:03:08]", QStringLiteral("Reply timeout"));
    EXPECT_EQ(readFile(errorFile()), firstBlock);

    for (int i = 1; i <= 4; ++i)
        writer.addLine(QStringLiteral("line %1").arg(i));
    EXPECT_EQ(readFile(errorFile()), firstBlock);
    writer.addLine(QStringLiteral("line 5 — Ä😀"));
    QByteArray secondBlock;
    for (int i = 1; i <= 4; ++i)
        secondBlock += fileLine("17-04-05 [14:03:08]", QStringLiteral("line %1").arg(i));
    secondBlock += fileLine("17-04-05 [14:03:08]", QStringLiteral("line 5 — Ä😀"));
    EXPECT_EQ(readFile(errorFile()), firstBlock + secondBlock);
}

TEST_F(ErrorFileWriterTest, FileHasNoByteOrderMarkAndTheLineFormatIsExact)
{
    ErrorFileWriter writer(true, 15, m_clock.wallClock());
    writer.open(QStringLiteral("Channel1.txt"), projectFolder());
    writer.addLine(QStringLiteral("A"));
    writer.writeOut();
    const QByteArray bytes = readFile(errorFile());
    ASSERT_GE(bytes.size(), 4);
    EXPECT_EQ(bytes.left(4), fromHex("31 00 37 00")) << "starts with \"17\", no BOM";
    const QByteArray expected = QStringEncoder(QStringEncoder::Utf16LE)(
        QStringLiteral("17-04-05 [14:03:07], : Error File Generation Started.  \r\n"
                       "17-04-05 [14:03:07], A \r\n"));
    EXPECT_EQ(bytes, expected);
}

// More whole minutes than the duration: 15:59 later the file still grows,
// 16:00 later the line offered becomes the Stopped line, everything pending
// goes out and nothing is written afterwards.
TEST_F(ErrorFileWriterTest, StopsAtTheFirstLineAfterTheDuration)
{
    ErrorFileWriter writer(true, 15, m_clock.wallClock());
    writer.open(QStringLiteral("Channel1.txt"), projectFolder());
    writer.addLine(QStringLiteral("first"));
    m_clock.advance(15min + 59s);
    writer.addLine(QStringLiteral("still inside"));
    EXPECT_TRUE(writer.isActive());
    EXPECT_EQ(writer.pendingLineCount(), 3);

    m_clock.advance(1s);
    writer.addLine(QStringLiteral("too late"));
    EXPECT_FALSE(writer.isActive());
    EXPECT_EQ(writer.pendingLineCount(), 0);
    const QByteArray stopped = fileLine("17-04-05 [14:03:07]", Started) +
                               fileLine("17-04-05 [14:03:07]", QStringLiteral("first")) +
                               fileLine("17-04-05 [14:19:06]", QStringLiteral("still inside")) +
                               fileLine("17-04-05 [14:19:07]", Stopped);
    EXPECT_EQ(readFile(errorFile()), stopped);

    for (int i = 0; i < 10; ++i)
        writer.addLine(QStringLiteral("ignored"));
    writer.writeOut();
    EXPECT_EQ(writer.pendingLineCount(), 0);
    EXPECT_EQ(readFile(errorFile()), stopped);
}

TEST_F(ErrorFileWriterTest, DurationCountsFromTheFirstLineNotFromOpening)
{
    ErrorFileWriter writer(true, 1, m_clock.wallClock());
    writer.open(QStringLiteral("Channel1.txt"), projectFolder());
    m_clock.advance(1h);
    writer.addLine(QStringLiteral("first"));
    m_clock.advance(1min + 59s);
    writer.addLine(QStringLiteral("second"));
    EXPECT_TRUE(writer.isActive());
    m_clock.advance(1s);
    writer.addLine(QStringLiteral("third"));
    EXPECT_FALSE(writer.isActive());
}

TEST_F(ErrorFileWriterTest, SixHundredMinutesKeepTheFileGrowingForTenHours)
{
    ErrorFileWriter writer(true, 600, m_clock.wallClock());
    writer.open(QStringLiteral("Channel1.txt"), projectFolder());
    writer.addLine(QStringLiteral("first"));
    m_clock.advance(10h + 59s);
    writer.addLine(QStringLiteral("ten hours on"));
    EXPECT_TRUE(writer.isActive());
    m_clock.advance(1s);
    writer.addLine(QStringLiteral("too late"));
    EXPECT_FALSE(writer.isActive());
}

TEST_F(ErrorFileWriterTest, DurationIsHeldToOneTo600Minutes)
{
    EXPECT_EQ(ErrorFileWriter(true, 0).durationMinutes(), 1);
    EXPECT_EQ(ErrorFileWriter(true, -5).durationMinutes(), 1);
    EXPECT_EQ(ErrorFileWriter(true, 1000).durationMinutes(), 600);
    EXPECT_EQ(ErrorFileWriter(true, 42).durationMinutes(), 42);
}

TEST_F(ErrorFileWriterTest, ClockSetBackDoesNotKeepTheFileGrowing)
{
    ErrorFileWriter writer(true, 15, m_clock.wallClock());
    writer.open(QStringLiteral("Channel1.txt"), projectFolder());
    writer.addLine(QStringLiteral("first"));
    m_clock.advance(-1h);
    writer.addLine(QStringLiteral("after the clock went back"));
    EXPECT_FALSE(writer.isActive());
}

// Write-outs open the file without creating it. While it is missing the lines
// wait; once it is back they all go out, in order, at the next write-out.
TEST_F(ErrorFileWriterTest, FailedWriteOutKeepsTheLinesForTheNextOne)
{
    ErrorFileWriter writer(true, 15, m_clock.wallClock());
    writer.open(QStringLiteral("Channel1.txt"), projectFolder());
    ASSERT_TRUE(QFile::remove(errorFile()));

    for (int i = 1; i <= 4; ++i)
        writer.addLine(QStringLiteral("line %1").arg(i));
    EXPECT_EQ(writer.pendingLineCount(), 5);
    EXPECT_FALSE(QFile::exists(errorFile())) << "a write-out never creates the file";

    QFile recreated(errorFile());
    ASSERT_TRUE(recreated.open(QIODevice::WriteOnly));
    recreated.close();
    writer.addLine(QStringLiteral("line 5"));
    EXPECT_EQ(writer.pendingLineCount(), 0);

    QByteArray expected = fileLine("17-04-05 [14:03:07]", Started);
    for (int i = 1; i <= 5; ++i)
        expected += fileLine("17-04-05 [14:03:07]", QStringLiteral("line %1").arg(i));
    EXPECT_EQ(readFile(errorFile()), expected);
}

// A write that stops part way (here at the file size limit, as on a full
// disk) keeps the lines that did not get through whole, and leaves no part of
// a line in the file, so the next write-out appends each line exactly once.
TEST_F(ErrorFileWriterTest, ShortWriteKeepsTheUnwrittenLinesWhole)
{
    ErrorFileWriter writer(true, 15, m_clock.wallClock());
    writer.open(QStringLiteral("Channel1.txt"), projectFolder());
    const QByteArray started = fileLine("17-04-05 [14:03:07]", Started);
    QByteArray lines[6];
    for (int i = 1; i <= 5; ++i)
        lines[i] = fileLine("17-04-05 [14:03:07]", QStringLiteral("line %1").arg(i));

    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = original;
    small.rlim_cur = rlim_t(started.size() + lines[1].size() + lines[2].size() / 2);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    for (int i = 1; i <= 4; ++i)
        writer.addLine(QStringLiteral("line %1").arg(i));
    const int pendingAfterShortWrite = writer.pendingLineCount();
    const QByteArray afterShortWrite = readFile(errorFile());
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(pendingAfterShortWrite, 3);
    EXPECT_EQ(afterShortWrite, started + lines[1]);

    writer.addLine(QStringLiteral("line 5"));
    writer.writeOut();
    EXPECT_EQ(writer.pendingLineCount(), 0);
    EXPECT_EQ(readFile(errorFile()),
              started + lines[1] + lines[2] + lines[3] + lines[4] + lines[5]);
}

TEST_F(ErrorFileWriterTest, FileThatCannotBeCreatedCollectsLinesInMemory)
{
    ErrorFileWriter writer(true, 15, m_clock.wallClock());
    writer.open(QStringLiteral("Channel1.txt"),
                projectFolder() + QStringLiteral("/missing-folder"));
    for (int i = 1; i <= 9; ++i)
        writer.addLine(QStringLiteral("line %1").arg(i));
    EXPECT_EQ(writer.pendingLineCount(), 10);
    EXPECT_FALSE(QFile::exists(writer.path()));
}

TEST_F(ErrorFileWriterTest, FlushWritesWhateverIsPending)
{
    ErrorFileWriter writer(true, 15, m_clock.wallClock());
    writer.open(QStringLiteral("Channel1.txt"), projectFolder());
    writer.addLine(QStringLiteral("only"));
    writer.writeOut();
    EXPECT_EQ(writer.pendingLineCount(), 0);
    EXPECT_EQ(readFile(errorFile()), fileLine("17-04-05 [14:03:07]", Started) +
                                         fileLine("17-04-05 [14:03:07]", QStringLiteral("only")));
}

TEST_F(ErrorFileWriterTest, EndOfRunWritesOutThePendingLines)
{
    {
        ErrorFileWriter writer(true, 15, m_clock.wallClock());
        writer.open(QStringLiteral("Channel1.txt"), projectFolder());
        writer.addLine(QStringLiteral("last words"));
        EXPECT_EQ(readFile(errorFile()), QByteArray());
    }
    EXPECT_EQ(readFile(errorFile()),
              fileLine("17-04-05 [14:03:07]", Started) +
                  fileLine("17-04-05 [14:03:07]", QStringLiteral("last words")));
}

TEST_F(ErrorFileWriterTest, EachWriterHasItsOwnStartTime)
{
    ErrorFileWriter first(true, 15, m_clock.wallClock());
    ErrorFileWriter second(true, 15, m_clock.wallClock());
    first.open(QStringLiteral("Channel1.txt"), projectFolder());
    second.open(QStringLiteral("Channel2.txt"), projectFolder());
    first.addLine(QStringLiteral("a"));
    m_clock.advance(10min);
    second.addLine(QStringLiteral("b"));
    m_clock.advance(6min);
    first.addLine(QStringLiteral("a again"));
    second.addLine(QStringLiteral("b again"));
    EXPECT_FALSE(first.isActive());
    EXPECT_TRUE(second.isActive());
}

} // namespace

// A fast poll traces hundreds of lines a second: the file stops at its size
// limit, with a last line that says why, and stays as it is for the run.
TEST_F(ErrorFileWriterTest, FileStopsAtItsSizeLimitWithALastLineSayingSo)
{
    constexpr qint64 Limit = 4000;
    ErrorFileWriter writer(true, 15, m_clock.wallClock());
    writer.setLimits(Limit, 100);
    writer.open(QStringLiteral("Channel1.txt"), projectFolder());
    for (int i = 0; i < 500; ++i)
        writer.addLine(QStringLiteral("trace line %1").arg(i));
    EXPECT_FALSE(writer.isActive());
    EXPECT_EQ(writer.pendingLineCount(), 0);

    const QByteArray bytes = readFile(errorFile());
    EXPECT_LE(bytes.size(), Limit);
    EXPECT_GT(bytes.size(), Limit - 200) << "the file is used up to its limit";
    const QByteArray stopLine = fileLine(
        "17-04-05 [14:03:07]",
        QStringLiteral(": Error File Generation Stopped. The file reached its size limit of "
                       "4000 bytes."));
    EXPECT_TRUE(bytes.endsWith(stopLine));
    EXPECT_TRUE(bytes.startsWith(fileLine("17-04-05 [14:03:07]", Started)));

    writer.addLine(QStringLiteral("after the stop"));
    writer.writeOut();
    EXPECT_EQ(readFile(errorFile()), bytes);
}

// While the file cannot be written at most the bound of lines waits in
// memory; the lines refused meanwhile are counted, and once the file is back
// the kept lines go out followed by the count.
TEST_F(ErrorFileWriterTest, PendingLinesAreBoundedWhileTheFileCannotBeWritten)
{
    ErrorFileWriter writer(true, 15, m_clock.wallClock());
    writer.setLimits(ErrorFileWriter::DefaultMaximumFileBytes, 20);
    writer.open(QStringLiteral("Channel1.txt"), projectFolder());
    ASSERT_TRUE(QFile::remove(errorFile()));

    for (int i = 1; i <= 100; ++i)
        writer.addLine(QStringLiteral("line %1").arg(i));
    EXPECT_EQ(writer.pendingLineCount(), 20);
    EXPECT_EQ(writer.droppedLineCount(), 81); // the Started line and lines 1 to 100, less 20

    QFile recreated(errorFile());
    ASSERT_TRUE(recreated.open(QIODevice::WriteOnly));
    recreated.close();
    writer.writeOut();
    EXPECT_EQ(writer.pendingLineCount(), 0);
    EXPECT_EQ(writer.droppedLineCount(), 0);

    QByteArray expected = fileLine("17-04-05 [14:03:07]", Started);
    for (int i = 1; i <= 19; ++i)
        expected += fileLine("17-04-05 [14:03:07]", QStringLiteral("line %1").arg(i));
    expected += fileLine(
        "17-04-05 [14:03:07]",
        QStringLiteral(": 81 trace lines were dropped while the file could not be written."));
    EXPECT_EQ(readFile(errorFile()), expected);

    writer.addLine(QStringLiteral("later"));
    writer.writeOut();
    EXPECT_EQ(readFile(errorFile()),
              expected + fileLine("17-04-05 [14:03:07]", QStringLiteral("later")));
}

// Channel names come from project files and may hold anything; the error file
// stays in the project folder whatever the name.
TEST_F(ErrorFileWriterTest, ChannelNamesWithPathPartsStayInTheProjectFolder)
{
    const QString names[] = {
        QStringLiteral("../../escape.txt"),
        QStringLiteral("/etc/passwd.txt"),
        QStringLiteral("..txt"),
        QStringLiteral(".hidden.txt"),
        QStringLiteral("a\\b/c.txt"),
    };
    const QString folder = QFileInfo(projectFolder()).canonicalFilePath();
    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        ErrorFileWriter writer(true, 15, m_clock.wallClock());
        writer.open(name, projectFolder());
        const QFileInfo file(writer.path());
        EXPECT_EQ(QFileInfo(file.absolutePath()).canonicalFilePath(), folder);
        EXPECT_FALSE(file.fileName().startsWith(u'.'));
        EXPECT_TRUE(file.exists());
    }
    EXPECT_FALSE(QFile::exists(testsupport::tempRoot() + QStringLiteral("/escape.txt")));
}
