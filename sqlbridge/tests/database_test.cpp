// The writer against a real MariaDB server on loopback, started by the test
// in its own temporary folder and stopped by process id.
#include "bridgetesting.h"
#include "bridgetexts.h"
#include "mariadbserver.h"
#include "messagelog.h"
#include "sqlbridge.h"
#include "testenvironment.h"
#include "writerpass.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

using namespace bridgetesting;

namespace {

// Every line of every logging category, to prove what never appears in them.
QStringList &loggedLines()
{
    static QStringList lines;
    return lines;
}

void recordLogLine(QtMsgType, const QMessageLogContext &, const QString &text)
{
    loggedLines() << text;
}

class DatabaseTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        useUtc();
        qInstallMessageHandler(recordLogLine);
        server = new MariaDbServer(testsupport::tempRoot() + QStringLiteral("/mariadb"));
        ASSERT_TRUE(server->start()) << server->errorString().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(server->createDatabase(database)) << server->errorString().toStdString();
        settings = {server->tcpAddress(),        database,
                    QStringLiteral("tagvalues"), QStringLiteral("alarms"),
                    QStringLiteral("root"),      QString()};
    }

    std::unique_ptr<SqlBridge> makeBridge(std::chrono::milliseconds interval)
    {
        SqlBridge::Options options;
        options.timerInterval = interval;
        options.timeouts = {std::chrono::seconds(5), std::chrono::seconds(10),
                            std::chrono::seconds(10)};
        auto bridge = std::make_unique<SqlBridge>(log, options);
        QObject::connect(bridge.get(), &SqlBridge::tagTotalChanged,
                         [this](qint64 total) { tagTotals << total; });
        QObject::connect(bridge.get(), &SqlBridge::alarmTotalChanged,
                         [this](qint64 total) { alarmTotals << total; });
        QObject::connect(bridge.get(), &SqlBridge::passStarted, [this] { ++passes; });
        return bridge;
    }

    void sendSettings(SqlBridge &bridge)
    {
        ASSERT_EQ(
            bridge.handleCopyData(SqlPayload::SettingsCode, SqlPayload::encodeSettings(settings)),
            1);
    }

    // One pass, started as the timer does, run to its end.
    void runPass(SqlBridge &bridge)
    {
        bridge.onTimerTick();
        ASSERT_TRUE(waitUntil([&] { return !bridge.isPassRunning(); }));
    }

    QList<QStringList> rows(const QByteArray &statement)
    {
        const auto result = server->query(statement, database);
        EXPECT_TRUE(result) << server->errorString().toStdString();
        return result.value_or(QList<QStringList>());
    }

    qint64 connectionCount()
    {
        const auto result = server->query("SHOW GLOBAL STATUS LIKE 'Connections'");
        return result && !result->isEmpty() ? result->first().value(1).toLongLong() : -1;
    }

    QByteArray unsentText(const SqlBridge &bridge)
    {
        QFile file(bridge.unsentFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static inline MariaDbServer *server = nullptr;
    QString database = QStringLiteral("plant");
    SqlPayload::ConnectionSettings settings;
    MessageLog log;
    QList<qint64> tagTotals;
    QList<qint64> alarmTotals;
    int passes = 0;
};

} // namespace

TEST_F(DatabaseTest, OnePassWritesBatchesOfFiftyOnOneConnection)
{
    auto bridge = makeBridge(std::chrono::milliseconds(0));
    sendSettings(*bridge);
    ASSERT_EQ(bridge->handleCopyData(SqlPayload::TagValuesCode,
                                     SqlPayload::encodeTagValues(numericTags(120))),
              1);
    const qint64 connectionsBefore = connectionCount();
    runPass(*bridge);
    EXPECT_EQ(tagTotals, (QList<qint64>{50, 100, 120}));
    EXPECT_EQ(connectionCount() - connectionsBefore, 2); // the pass's, and this count's own
    EXPECT_EQ(
        rows("SELECT COUNT(*), MIN(tagval), MAX(tagval) FROM tagvalues"),
        (QList<QStringList>{{QStringLiteral("120"), QStringLiteral("0"), QStringLiteral("119")}}));
    EXPECT_EQ(bridge->tagValuesSent(), 120);
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join(QLatin1Char('\n')).toStdString();

    // Alarms in batches of ten, alternating with tag values in one pass.
    ASSERT_EQ(bridge->handleCopyData(SqlPayload::AlarmsCode, SqlPayload::encodeAlarms(alarms(25))),
              1);
    ASSERT_EQ(bridge->handleCopyData(SqlPayload::TagValuesCode,
                                     SqlPayload::encodeTagValues(numericTags(60))),
              1);
    runPass(*bridge);
    EXPECT_EQ(alarmTotals, (QList<qint64>{10, 20, 25}));
    EXPECT_EQ(tagTotals.last(), 180);
    EXPECT_EQ(rows("SELECT COUNT(*) FROM alarms"), (QList<QStringList>{{QStringLiteral("25")}}));
}

TEST_F(DatabaseTest, StoredTextEqualsTheTextSent)
{
    auto bridge = makeBridge(std::chrono::milliseconds(0));
    sendSettings(*bridge);
    const QStringList texts{QStringLiteral("C:\\data"),
                            QStringLiteral("x'); DROP TABLE tagvalues; --"),
                            QStringLiteral("it's \"quoted\" \\' \\\\ end\\"),
                            QStringLiteral("Grüße, Ελληνικά, 日本語, emoji 🚰"),
                            QStringLiteral("line\nbreak\ttab\r\x1a")};
    SqlTagList tags;
    for (int i = 0; i < texts.size(); ++i)
        tags.push_back(textTag(texts[i], texts[i], texts[i]));
    tags.push_back(numericTag(QStringLiteral("G"), QStringLiteral("pi"), 3.14159));
    tags.push_back(numericTag(QStringLiteral("G"), QStringLiteral("nan"), std::nan("")));
    tags.push_back(numericTag(QStringLiteral("G"), QStringLiteral("inf"),
                              std::numeric_limits<double>::infinity()));
    tags.push_back(numericTag(QStringLiteral("G"), QStringLiteral("notime"), 1,
                              std::chrono::sys_seconds(std::chrono::seconds(-40000000000ll))));
    ASSERT_EQ(bridge->handleCopyData(SqlPayload::TagValuesCode, SqlPayload::encodeTagValues(tags)),
              1);
    SqlAlarmList alarmList{alarm(QStringLiteral("G'1"), QStringLiteral("A\\1"), 3.14159, 3, 6, 255,
                                 QStringLiteral("O'Brien"), QStringLiteral("über \\ 'x'")),
                           alarm(QStringLiteral("G"), QStringLiteral("A2"), std::nan(""), 4, 7, 0)};
    ASSERT_EQ(bridge->handleCopyData(SqlPayload::AlarmsCode, SqlPayload::encodeAlarms(alarmList)),
              1);
    runPass(*bridge);
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join(QLatin1Char('\n')).toStdString();

    const QList<QStringList> stored =
        rows("SELECT groupname, tagname, tagval, strtagval, tagtime FROM tagvalues ORDER BY id");
    ASSERT_EQ(stored.size(), 9);
    for (int i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(stored[i][0], texts[i]);
        EXPECT_EQ(stored[i][1], texts[i]);
        EXPECT_TRUE(stored[i][2].isNull());
        EXPECT_EQ(stored[i][3], texts[i]);
        EXPECT_EQ(stored[i][4], QStringLiteral("2017-04-05 14:03:07"));
    }
    EXPECT_EQ(stored[5][2], QStringLiteral("3.14"));
    EXPECT_TRUE(stored[6][2].isNull());
    EXPECT_TRUE(stored[7][2].isNull());
    EXPECT_TRUE(stored[8][4].isNull());
    EXPECT_EQ(rows("SELECT COUNT(*) FROM tagvalues WHERE strtagval IS NULL").value(0).value(0),
              QStringLiteral("4"));

    const QList<QStringList> storedAlarms =
        rows("SELECT groupname, tagname, tagval, almtime, almtype, event, severity, comment, user "
             "FROM alarms ORDER BY id");
    ASSERT_EQ(storedAlarms.size(), 2);
    EXPECT_EQ(storedAlarms[0],
              (QStringList{QStringLiteral("G'1"), QStringLiteral("A\\1"), QStringLiteral("3.142"),
                           QStringLiteral("2017-04-05 14:03:07"), QStringLiteral("Lo Lo"),
                           QStringLiteral("Inactive"), QStringLiteral("255"),
                           QStringLiteral("über \\ 'x'"), QStringLiteral("O'Brien")}));
    EXPECT_TRUE(storedAlarms[1][2].isNull());
    EXPECT_EQ(storedAlarms[1][4], QString());
    EXPECT_EQ(storedAlarms[1][5], QString());
}

TEST_F(DatabaseTest, FiveFailedConnectionsStopTheInterfaceAndKeepTheRecords)
{
    auto bridge = makeBridge(std::chrono::milliseconds(0));
    settings.database = QStringLiteral("no_such_database");
    sendSettings(*bridge);
    ASSERT_EQ(bridge->handleCopyData(SqlPayload::TagValuesCode,
                                     SqlPayload::encodeTagValues(numericTags(70))),
              1);
    ASSERT_EQ(bridge->handleCopyData(SqlPayload::AlarmsCode, SqlPayload::encodeAlarms(alarms(3))),
              1);
    for (int pass = 1; pass <= 4; ++pass) {
        runPass(*bridge);
        EXPECT_EQ(bridge->failedConnections(), pass);
        EXPECT_EQ(bridge->bufferedTagValues(), 70u);
        EXPECT_EQ(bridge->bufferedAlarms(), 3u);
    }
    // A success after four failures resets the counter...
    settings.database = database;
    sendSettings(*bridge);
    runPass(*bridge);
    EXPECT_EQ(bridge->failedConnections(), 0);
    EXPECT_EQ(bridge->bufferedTagValues(), 0u);
    EXPECT_EQ(rows("SELECT COUNT(*) FROM tagvalues").value(0).value(0), QStringLiteral("70"));
    // ...so that four more failures do not stop the interface; the fifth does.
    settings.database = QStringLiteral("no_such_database");
    sendSettings(*bridge);
    ASSERT_EQ(
        bridge->handleCopyData(SqlPayload::TagValuesCode,
                               SqlPayload::encodeTagValues(numericTags(5, QStringLiteral("U")))),
        1);
    for (int pass = 1; pass <= 4; ++pass)
        runPass(*bridge);
    EXPECT_FALSE(bridge->isStopped());
    EXPECT_EQ(bridge->handleCopyData(SqlPayload::VersionCode, SqlPayload::encodeVersion({1, 0})),
              1);
    runPass(*bridge);
    EXPECT_TRUE(bridge->isStopped());

    const QStringList lines = log.lines();
    EXPECT_EQ(lines.count(BridgeText::interfaceStopped(5)), 1);
    EXPECT_EQ(lines.filter(QStringLiteral("Unknown database")).size(), 9);
    EXPECT_EQ(lines.last(),
              QStringLiteral("5 tag values written to the unsent file %1 (the SQL Interface "
                             "stopped).")
                  .arg(bridge->unsentFilePath()));
    EXPECT_EQ(bridge->handleCopyData(SqlPayload::VersionCode, SqlPayload::encodeVersion({1, 0})),
              0);
    EXPECT_EQ(bridge->handleCopyData(SqlPayload::TagValuesCode,
                                     SqlPayload::encodeTagValues(numericTags(1))),
              0);

    // The unsent file replays into the table as the same rows.
    QByteArray unsent = unsentText(*bridge);
    EXPECT_EQ(unsent.count("INSERT INTO"), 5);
    ASSERT_TRUE(server->execute(unsent.replace("`no_such_database`.", ""), database))
        << server->errorString().toStdString();
    EXPECT_EQ(rows("SELECT GROUP_CONCAT(tagname ORDER BY tagname) FROM tagvalues WHERE tagname "
                   "LIKE 'U%'")
                  .value(0)
                  .value(0),
              QStringLiteral("U0,U1,U2,U3,U4"));
}

TEST_F(DatabaseTest, AMissingTableSendsOnlyThatKindToTheUnsentFile)
{
    ASSERT_TRUE(server->execute("DROP TABLE alarms", database));
    auto bridge = makeBridge(std::chrono::milliseconds(0));
    sendSettings(*bridge);
    ASSERT_EQ(bridge->handleCopyData(SqlPayload::AlarmsCode,
                                     SqlPayload::encodeAlarms({alarm(
                                         QStringLiteral("G"), QStringLiteral("it's"), 1.5)})),
              1);
    ASSERT_EQ(bridge->handleCopyData(SqlPayload::TagValuesCode,
                                     SqlPayload::encodeTagValues(numericTags(60))),
              1);
    runPass(*bridge);
    EXPECT_EQ(rows("SELECT COUNT(*) FROM tagvalues").value(0).value(0), QStringLiteral("60"));
    EXPECT_EQ(bridge->tagValuesSent(), 60);
    EXPECT_EQ(bridge->alarmsSent(), 0);
    const QStringList lines = log.lines();
    EXPECT_TRUE(lines.contains(BridgeText::alarmsFailed(1)))
        << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(lines.filter(QStringLiteral("Refused by the database: group 'G', tag 'it's'")).size(),
              1);
    EXPECT_EQ(lines.filter(QStringLiteral("alarms written to the unsent file")).size(), 1);
    const QByteArray unsent = unsentText(*bridge);
    EXPECT_EQ(unsent.count("INSERT INTO `plant`.`alarms`"), 1);
    EXPECT_FALSE(unsent.contains("tagvalues"));

    // Once the table is back, the file replays as the row that was sent.
    QFile schema(MariaDbServer::schemaPath());
    ASSERT_TRUE(schema.open(QIODevice::ReadOnly));
    ASSERT_TRUE(server->execute(schema.readAll(), database));
    ASSERT_TRUE(server->execute(unsent, database)) << server->errorString().toStdString();
    EXPECT_EQ(rows("SELECT tagname, tagval FROM alarms"),
              (QList<QStringList>{{QStringLiteral("it's"), QStringLiteral("1.5")}}));
}

TEST_F(DatabaseTest, OnlyTheRowsTheServerRefusesAreKeptAside)
{
    auto bridge = makeBridge(std::chrono::milliseconds(0));
    sendSettings(*bridge);
    SqlTagList tags = numericTags(10);
    // Longer than the column: the server refuses this row alone.
    tags[4]->tagName = QString(300, QLatin1Char('x'));
    ASSERT_EQ(bridge->handleCopyData(SqlPayload::TagValuesCode, SqlPayload::encodeTagValues(tags)),
              1);
    runPass(*bridge);
    EXPECT_EQ(rows("SELECT COUNT(*) FROM tagvalues").value(0).value(0), QStringLiteral("9"));
    EXPECT_EQ(bridge->tagValuesSent(), 9);
    const QStringList lines = log.lines();
    EXPECT_TRUE(lines.contains(BridgeText::tagsFailed(1)))
        << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(lines.filter(QStringLiteral("Refused by the database: group 'G', tag 'xxx")).size(),
              1);
    EXPECT_EQ(unsentText(*bridge).count("INSERT INTO"), 1);
}

TEST_F(DatabaseTest, ServerFormsAndThePasswordStaysSecret)
{
    const QString password = QStringLiteral("Pw-s3cret-Zq9");
    ASSERT_TRUE(server->execute("CREATE USER 'bridge'@'127.0.0.1' IDENTIFIED BY 'Pw-s3cret-Zq9'; "
                                "CREATE USER 'bridge'@'localhost' IDENTIFIED BY 'Pw-s3cret-Zq9'; "
                                "GRANT INSERT ON plant.* TO 'bridge'@'127.0.0.1'; "
                                "GRANT INSERT ON plant.* TO 'bridge'@'localhost'"));
    auto bridge = makeBridge(std::chrono::milliseconds(0));
    settings.user = QStringLiteral("bridge");
    settings.password = password;
    int written = 0;
    for (const QString &form : {server->tcpAddress(), server->socketPath(),
                                QStringLiteral("localhost:%1").arg(server->port()),
                                QStringLiteral("[::ffff:127.0.0.1]:%1").arg(server->port())}) {
        settings.server = form;
        sendSettings(*bridge);
        ASSERT_EQ(bridge->handleCopyData(SqlPayload::TagValuesCode,
                                         SqlPayload::encodeTagValues(numericTags(1, form))),
                  1);
        runPass(*bridge);
        EXPECT_EQ(bridge->failedConnections(), 0)
            << form.toStdString() << " " << log.lines().join(QLatin1Char('\n')).toStdString();
        written += bridge->failedConnections() == 0 ? 1 : 0;
    }
    EXPECT_EQ(rows("SELECT COUNT(*) FROM tagvalues").value(0).value(0), QString::number(written));

    // A wrong password and a port where no server listens: failed connections
    // whose lines and logs never show the password.
    settings.server = server->tcpAddress();
    settings.password = password + QStringLiteral("-wrong");
    sendSettings(*bridge);
    ASSERT_EQ(bridge->handleCopyData(SqlPayload::TagValuesCode,
                                     SqlPayload::encodeTagValues(numericTags(1))),
              1);
    runPass(*bridge);
    EXPECT_EQ(bridge->failedConnections(), 1);
    EXPECT_EQ(log.lines().filter(QStringLiteral("Access denied")).size(), 1);
    // A refused row after a good connection goes to the unsent file without it.
    settings.password = password;
    sendSettings(*bridge);
    bridge->sharedForTests().failedConnections = 0;
    SqlTagList refused = numericTags(1);
    refused[0]->groupName = QString(300, QLatin1Char('g'));
    ASSERT_EQ(
        bridge->handleCopyData(SqlPayload::TagValuesCode, SqlPayload::encodeTagValues(refused)), 1);
    runPass(*bridge);
    bridge->shutdown();
    for (const QString &line : log.lines() + loggedLines())
        EXPECT_FALSE(line.contains(QStringLiteral("s3cret"))) << line.toStdString();
    EXPECT_FALSE(unsentText(*bridge).contains("s3cret"));
    EXPECT_FALSE(unsentText(*bridge).isEmpty());
}

TEST_F(DatabaseTest, CloseWhenDrainedWaitsForTheLastRowsInTheTable)
{
    auto bridge = makeBridge(std::chrono::milliseconds(100));
    sendSettings(*bridge);
    bool closed = false;
    QObject::connect(bridge.get(), &SqlBridge::drainedCloseDue, [&] {
        closed = true;
        // By now the last rows are in the table.
        EXPECT_EQ(rows("SELECT COUNT(*) FROM tagvalues").value(0).value(0), QStringLiteral("230"));
        EXPECT_EQ(rows("SELECT COUNT(*) FROM alarms").value(0).value(0), QStringLiteral("40"));
    });
    for (int i = 0; i < 23; ++i)
        ASSERT_EQ(bridge->handleCopyData(
                      SqlPayload::TagValuesCode,
                      SqlPayload::encodeTagValues(numericTags(10, QStringLiteral("B%1_").arg(i)))),
                  1);
    ASSERT_EQ(bridge->handleCopyData(SqlPayload::AlarmsCode, SqlPayload::encodeAlarms(alarms(40))),
              1);
    bridge->requestCloseWhenDrained();
    ASSERT_TRUE(waitUntil([&] { return closed; }));
    EXPECT_EQ(bridge->tagValuesSent(), 230);
    EXPECT_EQ(bridge->alarmsSent(), 40);
}

// The server killed in the middle of a steady load and started again while
// the bridge retries: every row the host was told was taken ends up in the
// table. A row appears twice only when its statement was in flight as the
// connection dropped; the bridge says so for each such batch.
TEST_F(DatabaseTest, ServerKilledAndRestartedUnderLoadLosesNoAcceptedRow)
{
    // Passes 3 s apart: five failed ones take 12 s, time enough for a
    // restart even on a loaded machine.
    auto bridge = makeBridge(std::chrono::milliseconds(3000));
    sendSettings(*bridge);
    std::map<QString, int> accepted; // tag name: 1 taken
    int sequence = 0;
    int refusedPayloads = 0;
    const auto sendSome = [&] {
        SqlTagList tags;
        for (int i = 0; i < 10; ++i, ++sequence)
            tags.push_back(textTag(QStringLiteral("Load"),
                                   QStringLiteral("S%1").arg(sequence, 6, 10, QLatin1Char('0')),
                                   QStringLiteral("v'%1\\").arg(sequence)));
        const qint64 result =
            bridge->handleCopyData(SqlPayload::TagValuesCode, SqlPayload::encodeTagValues(tags));
        if (result == 1) {
            for (const auto &tag : tags)
                accepted[tag->tagName] = 1;
        } else {
            ++refusedPayloads;
        }
    };
    const auto loadFor = [&](std::chrono::milliseconds duration) {
        const QDeadlineTimer deadline(duration);
        while (!deadline.hasExpired()) {
            sendSome();
            waitUntil([] { return false; }, std::chrono::milliseconds(50));
        }
    };
    loadFor(std::chrono::milliseconds(2000));
    ASSERT_GT(bridge->tagValuesSent(), 0);
    server->kill();
    // Load goes on while the bridge fails to connect (at most four times).
    ASSERT_TRUE(waitUntil([&] {
        sendSome();
        return bridge->failedConnections() >= 1;
    }));
    loadFor(std::chrono::milliseconds(500));
    ASSERT_TRUE(server->restart()) << server->errorString().toStdString();
    loadFor(std::chrono::milliseconds(2000));
    ASSERT_TRUE(
        waitUntil([&] { return bridge->bufferedTagValues() == 0 && !bridge->isPassRunning(); }));
    EXPECT_FALSE(bridge->isStopped());

    std::map<QString, int> stored;
    const QList<QStringList> all = rows("SELECT tagname, strtagval FROM tagvalues");
    for (const QStringList &row : all) {
        ++stored[row[0]];
        EXPECT_EQ(row[1], QStringLiteral("v'%1\\").arg(row[0].mid(1).toInt()));
    }
    int missing = 0;
    int twice = 0;
    for (const auto &[name, one] : accepted) {
        const int count = stored.count(name) ? stored[name] : 0;
        missing += count == 0 ? 1 : 0;
        twice += count > 1 ? count - 1 : 0;
    }
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(stored.size(), accepted.size()); // nothing the host was refused
    // Duplicates only from batches that were in flight when the connection
    // dropped, which the bridge reported.
    int inFlight = 0;
    static const QRegularExpression lost(
        QStringLiteral("^Connection lost while sending (\\d+) tag values"));
    for (const QString &line : log.lines()) {
        const QRegularExpressionMatch match = lost.match(line);
        if (match.hasMatch())
            inFlight += match.captured(1).toInt();
    }
    EXPECT_LE(twice, inFlight);
    std::printf("accepted %zu rows, %d payloads refused, %d stored twice, %d in flight at the "
                "drop, %d passes\n",
                accepted.size(), refusedPayloads, twice, inFlight, passes);
}

// A statement in flight when the server dies: its batch is kept and written
// once the server is back, and the bridge says the rows may appear twice.
TEST_F(DatabaseTest, AStatementCutOffByTheServerDyingIsSentAgain)
{
    // Another session holds the table, so the bridge's INSERT waits in the
    // server until the server is killed.
    MariaDbConnection holder;
    SqlPayload::ConnectionSettings holderSettings = settings;
    ASSERT_TRUE(holder.open(holderSettings, {}).ok);
    ASSERT_TRUE(holder.execute("LOCK TABLES tagvalues WRITE").ok);

    auto bridge = makeBridge(std::chrono::milliseconds(0));
    sendSettings(*bridge);
    ASSERT_EQ(bridge->handleCopyData(SqlPayload::TagValuesCode,
                                     SqlPayload::encodeTagValues(numericTags(60))),
              1);
    bridge->onTimerTick();
    ASSERT_TRUE(waitUntil([&] {
        const auto waiting = server->query("SELECT COUNT(*) FROM information_schema.processlist "
                                           "WHERE info LIKE 'INSERT INTO%'");
        return waiting && waiting->value(0).value(0) == QStringLiteral("1");
    }));
    server->kill();
    ASSERT_TRUE(waitUntil([&] { return !bridge->isPassRunning(); }));
    EXPECT_EQ(bridge->bufferedTagValues(), 60u);
    EXPECT_EQ(bridge->tagValuesSent(), 0);
    EXPECT_EQ(
        log.lines().filter(QStringLiteral("Connection lost while sending 50 tag values")).size(), 1)
        << log.lines().join(QLatin1Char('\n')).toStdString();

    ASSERT_TRUE(server->restart()) << server->errorString().toStdString();
    runPass(*bridge);
    EXPECT_EQ(bridge->tagValuesSent(), 60);
    EXPECT_EQ(rows("SELECT COUNT(*), COUNT(DISTINCT tagname) FROM tagvalues"),
              (QList<QStringList>{{QStringLiteral("60"), QStringLiteral("60")}}));
}

// The program ends while a pass waits on the server: the end waits for the
// pass (bounded by the read timeout) and keeps what it held.
TEST_F(DatabaseTest, TheEndWaitsForARunningPassAndKeepsWhatItHolds)
{
    MariaDbConnection holder;
    ASSERT_TRUE(holder.open(settings, {}).ok);
    ASSERT_TRUE(holder.execute("LOCK TABLES tagvalues WRITE").ok);

    SqlBridge::Options options;
    options.timerInterval = std::chrono::milliseconds(0);
    options.timeouts = {std::chrono::seconds(5), std::chrono::seconds(2), std::chrono::seconds(2)};
    SqlBridge bridge(log, options);
    sendSettings(bridge);
    ASSERT_EQ(bridge.handleCopyData(SqlPayload::TagValuesCode,
                                    SqlPayload::encodeTagValues(numericTags(60))),
              1);
    bridge.onTimerTick();
    ASSERT_TRUE(waitUntil([&] {
        const auto waiting = server->query("SELECT COUNT(*) FROM information_schema.processlist "
                                           "WHERE info LIKE 'INSERT INTO%'");
        return waiting && waiting->value(0).value(0) == QStringLiteral("1");
    }));
    QElapsedTimer clock;
    clock.start();
    bridge.shutdown();
    EXPECT_LT(clock.elapsed(), 25000);
    EXPECT_FALSE(bridge.isPassRunning());
    // The cut-off batch and the ten that waited, all in the unsent file.
    EXPECT_EQ(unsentText(bridge).count("INSERT INTO"), 60);
    EXPECT_EQ(log.lines().filter(QStringLiteral("written to the unsent file")).size(), 1)
        << log.lines().join(QLatin1Char('\n')).toStdString();
    // Taken in nothing more once ended.
    EXPECT_EQ(bridge.handleCopyData(SqlPayload::TagValuesCode,
                                    SqlPayload::encodeTagValues(numericTags(1))),
              0);
}
