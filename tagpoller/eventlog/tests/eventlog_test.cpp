#include "eventlog.h"
#include "eventlogtesting.h"
#include "savedmessages.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace eventlogtest;

namespace {

QSettings::Status writeSetting(const QString &key, const QVariant &value)
{
    QSettings settings(QStringLiteral("Quenlor"), QStringLiteral("Orvala Modbus Driver"));
    if (value.isValid())
        settings.setValue(key, value);
    else
        settings.remove(key);
    settings.sync();
    return settings.status();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// What a view hears from the log.
struct SignalRecord
{
    std::vector<std::pair<int, int>> appended;
    std::vector<std::pair<int, int>> removed;
    int cleared = 0;

    // The row count a view that follows the signals arrives at.
    int rowsOfAView() const
    {
        int rows = 0;
        for (const auto &[first, last] : appended)
            rows += last - first + 1;
        for (const auto &[first, last] : removed)
            rows -= last - first + 1;
        return rows;
    }

    void follow(EventLog &log)
    {
        QObject::connect(&log, &EventLog::messagesAppended,
                         [this](int first, int last) { appended.emplace_back(first, last); });
        QObject::connect(&log, &EventLog::messagesRemoved,
                         [this](int first, int last) { removed.emplace_back(first, last); });
        QObject::connect(&log, &EventLog::cleared, [this] { ++cleared; });
    }
};

class EventLogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setCentralEuropeanTime();
        ASSERT_EQ(writeSetting(QStringLiteral("Settings/MsgsToKeep"), {}), QSettings::NoError);
    }

    QString dataFolder() const { return testsupport::tempRoot() + QStringLiteral("/appdata"); }
    QString savedFile() const { return dataFolder() + QStringLiteral("/ModErrMsgs.dat"); }

    std::unique_ptr<EventLog> makeLog(int level)
    {
        return std::make_unique<EventLog>(
            EventLog::Config{level, dataFolder(), m_clock.wallClock()});
    }

    QSettings m_settings{QStringLiteral("Quenlor"), QStringLiteral("Orvala Modbus Driver")};
    ManualClock m_clock{AprilFifth2017At140307};
};

TEST_F(EventLogTest, VerboseMessagesAreWrittenOnlyAtLevelThree)
{
    for (int level = 0; level <= 3; ++level) {
        EventLog log({level, QString(), m_clock.wallClock()});
        log.open(m_settings);
        const int afterOpen = log.count();
        log.addMessage(QStringLiteral("normal"));
        log.addMessage(QStringLiteral("verbose"), EventLog::Level::Verbose);
        if (level == 3) {
            ASSERT_EQ(log.count(), afterOpen + 2);
            EXPECT_EQ(log.message(afterOpen + 1).text(), QStringLiteral("verbose"));
        } else {
            ASSERT_EQ(log.count(), afterOpen + 1) << "level " << level;
        }
        EXPECT_EQ(log.message(afterOpen).text(), QStringLiteral("normal"));
    }
}

TEST_F(EventLogTest, MessagesAreDroppedWhileTheLogIsNotOpen)
{
    auto log = makeLog(3);
    SignalRecord heard;
    heard.follow(*log);

    log->addMessage(QStringLiteral("too early"));
    EXPECT_FALSE(log->isOpen());
    EXPECT_EQ(log->count(), 0);
    EXPECT_TRUE(heard.appended.empty());

    log->open(m_settings);
    log->addMessage(QStringLiteral("kept"));
    ASSERT_EQ(log->count(), 2);
    ASSERT_TRUE(log->close());
    EXPECT_EQ(heard.cleared, 1);

    log->addMessage(QStringLiteral("too late"));
    EXPECT_EQ(log->count(), 0);
    const auto saved = savedmessages::decode(readFile(savedFile()));
    ASSERT_TRUE(saved.ok());
    ASSERT_EQ(saved.messages.size(), 2u);
    EXPECT_EQ(saved.messages[0]->text(), QStringLiteral("Keeping messages: 200"));
    EXPECT_EQ(saved.messages[1]->text(), QStringLiteral("kept"));
}

TEST_F(EventLogTest, MessagesToKeepOutsideTenTo100000GivesTwoHundred)
{
    const std::pair<QVariant, int> rows[] = {
        {QVariant(), 200},
        {5, 200},
        {9, 200},
        {10, 10},
        {11, 11},
        {100000, 100000},
        {100001, 200},
        {1000000, 200},
        {-10, 200},
        {0, 200},
        {QStringLiteral("many"), 200},
        {QStringLiteral("500"), 500},
    };
    for (const auto &[stored, expected] : rows) {
        ASSERT_EQ(writeSetting(QStringLiteral("Settings/MsgsToKeep"), stored), QSettings::NoError);
        QSettings settings(QStringLiteral("Quenlor"), QStringLiteral("Orvala Modbus Driver"));
        EXPECT_EQ(EventLog::readMessagesToKeep(settings), expected)
            << stored.toString().toStdString();

        EventLog log({3, QString(), m_clock.wallClock()});
        log.open(settings);
        EXPECT_EQ(log.messagesToKeep(), expected);
        ASSERT_EQ(log.count(), 1);
        EXPECT_EQ(log.message(0).text(), QStringLiteral("Keeping messages: %1").arg(expected));
    }
}

TEST_F(EventLogTest, KeepingLineIsWrittenOnlyAtLevelThree)
{
    auto log = makeLog(2);
    log->open(m_settings);
    EXPECT_EQ(log->count(), 0);
    EXPECT_EQ(log->messagesToKeep(), 200);
}

// 250 messages in the list (the first of them the "Keeping messages" line)
// and 200 to keep: the file receives messages 51 to 250, and the next run
// shows them after its own "Keeping messages" line, with their own times.
TEST_F(EventLogTest, SavesTheNewestMessagesAndRestoresThemAfterTheKeepingLine)
{
    ASSERT_EQ(writeSetting(QStringLiteral("Settings/MsgsToKeep"), 200), QSettings::NoError);
    QSettings settings(QStringLiteral("Quenlor"), QStringLiteral("Orvala Modbus Driver"));

    auto first = makeLog(3);
    first->open(settings);
    ASSERT_EQ(first->count(), 1);
    for (int number = 2; number <= 250; ++number) {
        m_clock.advance(1s);
        first->addMessage(QStringLiteral("Message %1").arg(number));
    }
    ASSERT_EQ(first->count(), 250);
    ASSERT_TRUE(first->close());

    const auto saved = savedmessages::decode(readFile(savedFile()));
    ASSERT_TRUE(saved.ok()) << saved.status.message.toStdString();
    ASSERT_EQ(saved.messages.size(), 200u);
    EXPECT_EQ(saved.messages.front()->text(), QStringLiteral("Message 51"));
    EXPECT_EQ(saved.messages.front()->time(), AprilFifth2017At140307 + 50s);
    EXPECT_EQ(saved.messages.back()->text(), QStringLiteral("Message 250"));

    m_clock.set(AprilFifth2017At140307 + std::chrono::days(30));
    auto second = makeLog(3);
    SignalRecord heard;
    heard.follow(*second);
    second->open(settings);
    ASSERT_EQ(second->count(), 201);
    EXPECT_EQ(second->message(0).text(), QStringLiteral("Keeping messages: 200"));
    EXPECT_EQ(second->message(0).time(), AprilFifth2017At140307 + std::chrono::days(30));
    for (int row = 1; row <= 200; ++row) {
        ASSERT_EQ(second->message(row).text(), QStringLiteral("Message %1").arg(row + 50));
        ASSERT_EQ(second->message(row).time(),
                  AprilFifth2017At140307 + std::chrono::seconds(row + 49));
    }
    // The restored rows arrive as one block after the keeping line.
    const std::vector<std::pair<int, int>> expected{{0, 0}, {1, 200}};
    EXPECT_EQ(heard.appended, expected);
}

TEST_F(EventLogTest, RestoredMessageShowsItsStoredLocalDateAndTime)
{
    auto first = makeLog(0);
    first->open(m_settings);
    first->addMessage(QStringLiteral("Project opened : /srv/plant.drx"));
    ASSERT_TRUE(first->close());

    m_clock.set(AprilFifth2017At140307 + std::chrono::days(400));
    auto second = makeLog(0);
    second->open(m_settings);
    ASSERT_EQ(second->count(), 1);
    EXPECT_EQ(second->message(0).dateText(), QStringLiteral("04-05-2017"));
    EXPECT_EQ(second->message(0).timeText(), QStringLiteral("14:03:07"));
}

TEST_F(EventLogTest, SavedFileIsExactlyOneObjectArrayOfCModMsg)
{
    auto log = makeLog(0);
    log->open(m_settings);
    log->addMessage(QStringLiteral("Hi"));
    ASSERT_TRUE(log->close());
    EXPECT_EQ(readFile(savedFile()).toHex(' '),
              fromHex("01 00 ff ff 01 00 07 00 43 4d 6f 64 4d 73 67"
                      "00 00 ff fe ff 02 48 00 69 00 0a 00 00 80 fb dc e4 58 00 00 00 00")
                  .toHex(' '));
}

TEST_F(EventLogTest, EmptyLogSavesAnEmptyArray)
{
    auto log = makeLog(0);
    log->open(m_settings);
    ASSERT_TRUE(log->close());
    EXPECT_EQ(readFile(savedFile()), fromHex("00 00"));
}

TEST_F(EventLogTest, MissingDataFolderIsCreatedOnClose)
{
    const QString folder = testsupport::tempRoot() + QStringLiteral("/not/yet/there");
    EventLog log({0, folder, m_clock.wallClock()});
    log.open(m_settings);
    log.addMessage(QStringLiteral("Hi"));
    ASSERT_TRUE(log.close());
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/ModErrMsgs.dat")));
}

TEST_F(EventLogTest, WithoutADataFolderNothingIsKept)
{
    EventLog log({0, QString(), m_clock.wallClock()});
    EXPECT_TRUE(log.savedMessagesPath().isEmpty());
    log.open(m_settings);
    log.addMessage(QStringLiteral("Hi"));
    EXPECT_TRUE(log.close());
    EXPECT_FALSE(QFile::exists(savedFile()));
}

TEST_F(EventLogTest, OpeningTwiceRestoresOnce)
{
    ASSERT_TRUE(writeFile(savedFile(), savedmessages::encode({std::make_shared<CModMsg>(
                                           QStringLiteral("old"), AprilFifth2017At140307)})));
    auto log = makeLog(0);
    log->open(m_settings);
    log->open(m_settings);
    EXPECT_EQ(log->count(), 1);
}

struct UnreadableFile
{
    const char *name;
    QByteArray bytes;
};

void PrintTo(const UnreadableFile &file, std::ostream *os)
{
    *os << file.name;
}

class EventLogUnreadableFile : public EventLogTest,
                               public ::testing::WithParamInterface<UnreadableFile>
{};

// The whole file is refused with one line that says why; what is on disk stays
// as it was until the next close replaces it.
TEST_P(EventLogUnreadableFile, StartsEmptyWithOneLineAndLeavesTheFileAlone)
{
    const QByteArray original = GetParam().bytes;
    ASSERT_TRUE(writeFile(savedFile(), original));

    auto log = makeLog(3);
    log->open(m_settings);
    ASSERT_EQ(log->count(), 2);
    EXPECT_EQ(log->message(0).text(), QStringLiteral("Keeping messages: 200"));
    const QString line = log->message(1).text();
    EXPECT_TRUE(line.startsWith(QStringLiteral("Saved messages could not be read: ")))
        << line.toStdString();
    EXPECT_GT(line.size(), 40) << "the line gives a reason: " << line.toStdString();
    EXPECT_EQ(readFile(savedFile()), original);

    log->addMessage(QStringLiteral("after"));
    EXPECT_EQ(readFile(savedFile()), original);
    ASSERT_TRUE(log->close());

    const auto saved = savedmessages::decode(readFile(savedFile()));
    ASSERT_TRUE(saved.ok());
    ASSERT_EQ(saved.messages.size(), 3u);
    EXPECT_EQ(saved.messages[1]->text(), line);
    EXPECT_EQ(saved.messages[2]->text(), QStringLiteral("after"));
}

TEST_F(EventLogTest, UnreadableLineSaysWhatIsWrongAndWhere)
{
    const QByteArray trailing = savedmessages::encode({}) + QByteArray("\0", 1);
    const std::pair<QByteArray, QString> rows[] = {
        {QByteArray(), QStringLiteral("Saved messages could not be read: the file is empty")},
        {trailing, QStringLiteral("Saved messages could not be read: 1 bytes follow the end of "
                                  "the record, at byte 2")},
    };
    for (const auto &[bytes, line] : rows) {
        ASSERT_TRUE(writeFile(savedFile(), bytes));
        auto log = makeLog(0);
        log->open(m_settings);
        ASSERT_EQ(log->count(), 1);
        EXPECT_EQ(log->message(0).text(), line);
    }
}

QByteArray goodFile()
{
    return savedmessages::encode(
        {std::make_shared<CModMsg>(QStringLiteral("one"), AprilFifth2017At140307),
         std::make_shared<CModMsg>(QStringLiteral("two"), AprilFifth2017At140307 + 1s)});
}

INSTANTIATE_TEST_SUITE_P(
    EventLog, EventLogUnreadableFile,
    ::testing::Values(UnreadableFile{"empty", QByteArray()},
                      UnreadableFile{"truncated-by-one-byte", goodFile().chopped(1)},
                      UnreadableFile{"truncated-inside-the-second-text", goodFile().left(50)},
                      UnreadableFile{"trailing-bytes", goodFile() + QByteArray("\0\0", 2)},
                      UnreadableFile{"garbled-class-name",
                                     QByteArray(goodFile()).replace("CModMsg", "CModTag")},
                      UnreadableFile{"hostile-count", fromHex("ff ff ff ff ff 7f 00 00")},
                      UnreadableFile{"text-file", QByteArray("Keeping messages: 200\r\n")}),
    [](const auto &info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

// A save that fails half way must not cost the messages of the last run. The
// file size limit makes the write fail even for root, which ignores
// permissions.
TEST_F(EventLogTest, FailedSaveKeepsThePreviousFile)
{
    const QByteArray previous = goodFile();
    ASSERT_TRUE(writeFile(savedFile(), previous));

    auto log = makeLog(0);
    log->open(m_settings);
    ASSERT_EQ(log->count(), 2);
    for (int i = 0; i < 150; ++i)
        log->addMessage(
            QStringLiteral("A message long enough to pass the size limit quickly %1").arg(i));

    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = original;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = log->close();
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(log->count(), 0);
    EXPECT_EQ(readFile(savedFile()), previous);
    EXPECT_EQ(QDir(dataFolder()).entryList(QDir::Files),
              QStringList{QStringLiteral("ModErrMsgs.dat")})
        << "no half-written file is left behind";
}

} // namespace

// A driver that runs for months writes messages without end; the log holds
// the newest up to its bound, a view that follows the signals keeps the same
// rows, and a close still saves the newest messages to keep.
TEST_F(EventLogTest, KeepsTheNewestMessagesUpToItsBound)
{
    ASSERT_EQ(writeSetting(QStringLiteral("Settings/MsgsToKeep"), 50), QSettings::NoError);
    QSettings settings(QStringLiteral("Quenlor"), QStringLiteral("Orvala Modbus Driver"));
    EventLog log({0, dataFolder(), m_clock.wallClock(), 100});
    SignalRecord heard;
    heard.follow(log);
    log.open(settings);
    ASSERT_EQ(log.messagesInMemory(), 100);

    for (int number = 1; number <= 1000; ++number) {
        log.addMessage(QStringLiteral("Message %1").arg(number));
        ASSERT_LE(log.count(), 100);
        ASSERT_EQ(heard.rowsOfAView(), log.count());
    }
    EXPECT_GE(log.count(), 90);
    EXPECT_EQ(log.message(log.count() - 1).text(), QStringLiteral("Message 1000"));
    EXPECT_EQ(log.message(0).text(), QStringLiteral("Message %1").arg(1001 - log.count()));
    for (const auto &[first, last] : heard.removed)
        EXPECT_EQ(first, 0);
    EXPECT_LT(heard.removed.size(), 200u) << "rows go in blocks, not one by one";

    ASSERT_TRUE(log.close());
    const auto saved = savedmessages::decode(readFile(savedFile()));
    ASSERT_TRUE(saved.ok());
    ASSERT_EQ(saved.messages.size(), 50u);
    EXPECT_EQ(saved.messages.front()->text(), QStringLiteral("Message 951"));
    EXPECT_EQ(saved.messages.back()->text(), QStringLiteral("Message 1000"));
}

// The bound never cuts into the messages to keep, and a saved file larger than
// the bound brings back its newest messages.
TEST_F(EventLogTest, BoundIsNeverBelowTheMessagesToKeep)
{
    ASSERT_EQ(writeSetting(QStringLiteral("Settings/MsgsToKeep"), 300), QSettings::NoError);
    QSettings settings(QStringLiteral("Quenlor"), QStringLiteral("Orvala Modbus Driver"));
    EventLog first({0, dataFolder(), m_clock.wallClock(), 10});
    first.open(settings);
    EXPECT_EQ(first.messagesInMemory(), 300);
    for (int number = 1; number <= 300; ++number)
        first.addMessage(QStringLiteral("Message %1").arg(number));
    EXPECT_EQ(first.count(), 300);
    ASSERT_TRUE(first.close());

    ASSERT_EQ(writeSetting(QStringLiteral("Settings/MsgsToKeep"), 100), QSettings::NoError);
    QSettings fewer(QStringLiteral("Quenlor"), QStringLiteral("Orvala Modbus Driver"));
    EventLog second({0, dataFolder(), m_clock.wallClock(), 10});
    SignalRecord heard;
    heard.follow(second);
    second.open(fewer);
    ASSERT_EQ(second.count(), 100);
    EXPECT_EQ(second.message(0).text(), QStringLiteral("Message 201"));
    EXPECT_EQ(heard.rowsOfAView(), 100);
}
