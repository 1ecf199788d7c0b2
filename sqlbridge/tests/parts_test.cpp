// The bridge's parts without a database: payloads, statements, server
// addresses, buffers, the message list and the unsent file.
#include "bridgetesting.h"
#include "messagelog.h"
#include "sendbuffer.h"
#include "serveraddress.h"
#include "sqlpayload.h"
#include "statementbuilder.h"
#include "testenvironment.h"
#include "unsentfile.h"

#include <QFile>
#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

using namespace bridgetesting;

namespace {

QByteArray plainEscape(const QString &text)
{
    return StatementBuilder::escapeWithoutConnection(text);
}

const StatementBuilder::Tables tables{QStringLiteral("plant"), QStringLiteral("tagvalues"),
                                      QStringLiteral("alarms")};

} // namespace

TEST(SqlPayloadTest, RecordsTravelBothWays)
{
    useUtc();
    SqlTagList tags{numericTag(QStringLiteral("Line1"), QStringLiteral("Temp"), 21.5),
                    textTag(QStringLiteral("Line1"), QStringLiteral("State"),
                            QStringLiteral("Läuft 'ok' \\ ✓"))};
    SqlTagList readTags;
    ASSERT_TRUE(SqlPayload::decodeTagValues(SqlPayload::encodeTagValues(tags), readTags).ok());
    ASSERT_EQ(readTags.size(), 2u);
    EXPECT_EQ(readTags[1]->textValue, tags[1]->textValue);
    EXPECT_EQ(readTags[0]->numericValue, 21.5);
    EXPECT_EQ(readTags[0]->time, sampleTime());

    SqlAlarmList alarmList{alarm(QStringLiteral("G"), QStringLiteral("A"), 1.5, 2, 6, 200)};
    SqlAlarmList readAlarms;
    ASSERT_TRUE(SqlPayload::decodeAlarms(SqlPayload::encodeAlarms(alarmList), readAlarms).ok());
    EXPECT_EQ(readAlarms[0]->eventCode, 2);
    EXPECT_EQ(readAlarms[0]->alarmType, 6);
    EXPECT_EQ(readAlarms[0]->severity, 200);
    EXPECT_EQ(readAlarms[0]->comment, QStringLiteral("check it"));

    const SqlPayload::ConnectionSettings settings{
        QStringLiteral("db:3306"), QStringLiteral("plant"), QStringLiteral("t"),
        QStringLiteral("a"),       QStringLiteral("u"),     QStringLiteral("p")};
    SqlPayload::ConnectionSettings readSettings;
    ASSERT_TRUE(
        SqlPayload::decodeSettings(SqlPayload::encodeSettings(settings, -7), readSettings).ok());
    EXPECT_EQ(readSettings, settings);

    SqlPayload::Version version;
    ASSERT_TRUE(SqlPayload::decodeVersion(SqlPayload::encodeVersion({1, 1}), version).ok());
    EXPECT_EQ(version.major, 1);
    EXPECT_EQ(version.minor, 1);
}

TEST(SqlPayloadTest, BadPayloadsLeaveTheTargetAlone)
{
    const QByteArray good = SqlPayload::encodeTagValues(numericTags(3));
    SqlTagList target = numericTags(1, QStringLiteral("Kept"));
    // Every truncation is an error and changes nothing.
    for (qsizetype length = 0; length < good.size(); ++length) {
        const ArchiveStatus status = SqlPayload::decodeTagValues(good.left(length), target);
        EXPECT_FALSE(status.ok()) << length;
        ASSERT_EQ(target.size(), 1u);
        EXPECT_EQ(target[0]->tagName, QStringLiteral("Kept0"));
    }
    // Alarms where tag values are expected, and the other way round.
    const QByteArray alarmPayload = SqlPayload::encodeAlarms(alarms(2));
    EXPECT_EQ(SqlPayload::decodeTagValues(alarmPayload, target).error, ArchiveError::BadClass);
    SqlAlarmList alarmTarget;
    EXPECT_EQ(SqlPayload::decodeAlarms(good, alarmTarget).error, ArchiveError::BadClass);
    EXPECT_TRUE(alarmTarget.empty());
    // Garbage.
    EXPECT_FALSE(
        SqlPayload::decodeTagValues(QByteArray("\xff\xff\xff\xff\x01garbage", 12), target).ok());
    EXPECT_EQ(target.size(), 1u);
}

TEST(StatementBuilderTest, RowsAsTheTablesExpectThem)
{
    useUtc();
    const StatementBuilder builder(tables, plainEscape);
    const SqlTagList tags{
        numericTag(QStringLiteral("Line1"), QStringLiteral("Temp"), 3.14159),
        textTag(QStringLiteral("Line1"), QStringLiteral("Path"), QStringLiteral("C:\\data"))};
    EXPECT_EQ(builder.tagStatement(tags),
              QByteArray("INSERT INTO `plant`.`tagvalues`(`groupname`, `tagname`, `tagval`, "
                         "`strtagval`, `tagtime`) VALUES ('Line1', 'Temp', 3.14, NULL, "
                         "'2017-04-05  14:03:07'), ('Line1', 'Path', NULL, 'C:\\\\data', "
                         "'2017-04-05  14:03:07');"));
    const SqlAlarmList list{alarm(QStringLiteral("G"), QStringLiteral("A"), 3.14159, 1, 3, 7)};
    EXPECT_EQ(builder.alarmStatement(list),
              QByteArray("INSERT INTO `plant`.`alarms`(`groupname`,`tagname`,`tagval`,`almtime`,"
                         "`almtype`,`event`,`severity`,`comment`,`user`) VALUES ('G', 'A', "
                         "3.142, '2017-04-05  14:03:07', 'Hi Hi', 'Change', 7, 'check it', "
                         "'operator');"));
}

TEST(StatementBuilderTest, ValuesWithoutSqlFormBecomeNullAndUnknownCodesEmpty)
{
    EXPECT_EQ(StatementBuilder::tagNumber(std::nan("")), "NULL");
    EXPECT_EQ(StatementBuilder::tagNumber(std::numeric_limits<double>::infinity()), "NULL");
    EXPECT_EQ(StatementBuilder::alarmNumber(-std::numeric_limits<double>::infinity()), "NULL");
    EXPECT_EQ(StatementBuilder::tagNumber(-0.005), "-0.01");
    EXPECT_EQ(StatementBuilder::alarmNumber(1234567.25), "1234567.250");
    // Outside what DATETIME holds, or what the C library can convert.
    EXPECT_EQ(StatementBuilder::timeText(std::chrono::sys_seconds(
                  std::chrono::seconds(std::numeric_limits<qint64>::max()))),
              "NULL");
    EXPECT_EQ(
        StatementBuilder::timeText(std::chrono::sys_seconds(std::chrono::seconds(-40000000000ll))),
        "NULL");
    EXPECT_EQ(StatementBuilder::eventText(3), "Inactive");
    EXPECT_EQ(StatementBuilder::eventText(4), "");
    EXPECT_EQ(StatementBuilder::alarmTypeText(6), "Lo Lo");
    EXPECT_EQ(StatementBuilder::alarmTypeText(7), "");
    EXPECT_EQ(StatementBuilder::alarmTypeText(255), "");

    // An unknown code after a known one in the same statement stays empty.
    const StatementBuilder builder(tables, plainEscape);
    const SqlAlarmList list{alarm(QStringLiteral("G"), QStringLiteral("A"), 1, 0, 0),
                            alarm(QStringLiteral("G"), QStringLiteral("B"), 1, 9, 9)};
    EXPECT_TRUE(builder.alarmStatement(list).contains("'B', 1.000, '2017-04-05  14:03:07', '', ''"))
        << builder.alarmStatement(list).constData();
}

TEST(StatementBuilderTest, QuotesAndIdentifiersCannotBreakOut)
{
    EXPECT_EQ(StatementBuilder::escapeWithoutConnection(QStringLiteral("x'); DROP TABLE t; --")),
              "x\\'); DROP TABLE t; --");
    EXPECT_EQ(StatementBuilder::escapeWithoutConnection(QStringLiteral("a\\b\"c\nd")),
              "a\\\\b\\\"c\\nd");
    EXPECT_EQ(StatementBuilder::identifier(QStringLiteral("we`ird")), "`we``ird`");
    const StatementBuilder noDatabase({QString(), QStringLiteral("t"), QStringLiteral("a")},
                                      plainEscape);
    EXPECT_TRUE(noDatabase.tagStatement(numericTags(1)).startsWith("INSERT INTO `t`("));
}

TEST(ServerAddressTest, TheFormsOfDbServer)
{
    QString error;
    auto host = ServerAddress::parse(QStringLiteral("dbhost"), &error);
    ASSERT_TRUE(host);
    EXPECT_EQ(host->kind, ServerAddress::Kind::Host);
    EXPECT_EQ(host->host, QStringLiteral("dbhost"));

    auto withPort = ServerAddress::parse(QStringLiteral("localhost:3307"), &error);
    ASSERT_TRUE(withPort);
    EXPECT_EQ(withPort->kind, ServerAddress::Kind::HostAndPort);
    EXPECT_EQ(withPort->port, 3307);

    auto v6 = ServerAddress::parse(QStringLiteral("[::1]:3308"), &error);
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, QStringLiteral("::1"));
    EXPECT_EQ(v6->port, 3308);

    auto socket = ServerAddress::parse(QStringLiteral("/run/mysqld/mysqld.sock"), &error);
    ASSERT_TRUE(socket);
    EXPECT_EQ(socket->kind, ServerAddress::Kind::UnixSocket);

    for (const char *bad : {"", "   ", "host:", "host:0", "host:70000", "host:x", "[::1", "[]:1",
                            "[::1]x", ":3306"}) {
        error.clear();
        EXPECT_FALSE(ServerAddress::parse(QString::fromLatin1(bad), &error)) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
}

TEST(SendBufferTest, TakenRecordsGoBackInFrontInOrder)
{
    SendBuffer<CSqlTag> buffer;
    SqlTagList first = numericTags(5);
    ASSERT_TRUE(buffer.tryAppend(first));
    EXPECT_TRUE(first.empty());
    SqlTagList taken = buffer.tryTakeFront(3);
    ASSERT_EQ(taken.size(), 3u);
    SqlTagList later = numericTags(2, QStringLiteral("L"));
    ASSERT_TRUE(buffer.tryAppend(later));
    buffer.putBackFront(taken);
    const SqlTagList all = buffer.takeAll();
    QStringList names;
    for (const auto &tag : all)
        names << tag->tagName;
    EXPECT_EQ(names.join(QLatin1Char(',')), QStringLiteral("T0,T1,T2,T3,T4,L0,L1"));

    // A buffer held by the other thread is not waited for beyond 20 ms.
    std::unique_lock hold(buffer.mutexForTests());
    SqlTagList more = numericTags(1);
    std::thread other([&] { EXPECT_FALSE(buffer.tryAppend(more)); });
    other.join();
    EXPECT_EQ(more.size(), 1u);
}

TEST(MessageLogTest, KeepsTheNewestLines)
{
    MessageLog log(nullptr, 3);
    for (int i = 0; i < 5; ++i)
        log.append(QStringLiteral("line %1").arg(i));
    EXPECT_EQ(log.lines(), (QStringList{QStringLiteral("line 2"), QStringLiteral("line 3"),
                                        QStringLiteral("line 4")}));
    EXPECT_EQ(log.rowCount(), 3);
    log.clear();
    EXPECT_EQ(log.rowCount(), 0);
}

TEST(UnsentFileTest, AppendsUpToItsLimit)
{
    const QString path = testsupport::tempRoot() + QStringLiteral("/data/unsent.sql");
    UnsentFile file(path, 400);
    UnsentFile::Outcome outcome =
        file.append({QByteArray(100, 'a'), QByteArray(100, 'b')}, QStringLiteral("first"));
    EXPECT_EQ(outcome.written, 2);
    EXPECT_EQ(outcome.lost, 0);
    outcome = file.append({QByteArray(100, 'c'), QByteArray(100, 'd')}, QStringLiteral("second"));
    EXPECT_EQ(outcome.lost, 2);
    EXPECT_FALSE(outcome.problem.isEmpty());
    QFile read(path);
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    const QByteArray text = read.readAll();
    EXPECT_TRUE(text.contains("SET NAMES utf8mb4;"));
    EXPECT_TRUE(text.contains(QByteArray(100, 'b')));
    EXPECT_FALSE(text.contains(QByteArray(100, 'c')));
    EXPECT_EQ(read.permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
}

TEST(StatementBuilderTest, NumbersIgnoreTheLocale)
{
    // A decimal comma would split one value into two columns.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char *previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8"); // when the machine has it
    EXPECT_EQ(StatementBuilder::tagNumber(1234.5), "1234.50");
    EXPECT_EQ(StatementBuilder::alarmNumber(3.14159), "3.142");
    std::setlocale(LC_ALL, saved.c_str());
    QLocale::setDefault(QLocale::c());
}
