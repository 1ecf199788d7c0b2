// The plant's config checks and alarm rules, as pure logic.
#include "alarmrules.h"
#include "plantconfig.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace hostrun;

namespace {

const char *const GoodConfig = R"({
  "driver": {"items": ["Plant.Boiler.Level", "Plant.Boiler.Pump", "Plant.Boiler.Counters.Starts"],
             "timeout": 20},
  "database": {"server": "127.0.0.1:3306", "database": "plant", "user": "host",
               "passwordFile": "db.password"},
  "mail": {"accounts": [{"provider": "Gmail", "user": "plant@example.com",
                         "passwordEnv": "PLANT_TEST_MAIL_PASSWORD"}],
           "to": "operator@example.com"},
  "alarms": [
    {"item": "Plant.Boiler.Level", "hiHi": 180, "hi": 150, "lo": 20, "deadband": 5,
     "severity": 3},
    {"item": "Plant.Boiler.Pump", "discrete": true, "activeWhen": false}
  ],
  "statusSeconds": 2
})";

class PlantConfigTest : public ::testing::Test
{
protected:
    QString folder = testsupport::tempRoot() + QStringLiteral("/plantconfig");

    void SetUp() override
    {
        QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("/db.password"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Db-s3cret\r\nsecond line\n");
        qputenv("PLANT_TEST_MAIL_PASSWORD", "Mail-s3cret");
    }

    LoadedPlantConfig parse(QByteArray json) { return parsePlantConfig(json, folder); }
};

} // namespace

TEST_F(PlantConfigTest, ReadsACompleteConfigWithItsSecretsAndDefaults)
{
    const LoadedPlantConfig loaded = parse(GoodConfig);
    ASSERT_TRUE(loaded.config) << loaded.problems.join(u'\n').toStdString();
    const PlantConfig &c = *loaded.config;
    EXPECT_EQ(c.items.size(), 3);
    EXPECT_EQ(c.driverTimeout, std::chrono::seconds(20));
    EXPECT_EQ(c.database.password, QStringLiteral("Db-s3cret"));
    EXPECT_EQ(c.database.tagTable, QStringLiteral("tagvalues"));
    EXPECT_EQ(c.database.alarmTable, QStringLiteral("alarms"));
    ASSERT_EQ(c.mailAccounts.size(), 1);
    EXPECT_EQ(c.mailAccounts[0].password, QStringLiteral("Mail-s3cret"));
    EXPECT_EQ(c.mailProvider, QStringLiteral("Gmail"));
    ASSERT_EQ(c.alarms.size(), 2);
    EXPECT_EQ(c.alarms[0].hi, 150);
    EXPECT_FALSE(c.alarms[0].loLo);
    EXPECT_EQ(c.alarms[0].severity, 3);
    EXPECT_TRUE(c.alarms[1].discrete);
    EXPECT_FALSE(c.alarms[1].activeWhen);
    EXPECT_EQ(c.statusInterval, std::chrono::seconds(2));
}

TEST_F(PlantConfigTest, NamesEveryMistakeOnALineOfItsOwn)
{
    QByteArray json = GoodConfig;
    json.replace("\"timeout\": 20", "\"timout\": 20");
    json.replace("\"item\": \"Plant.Boiler.Level\"", "\"item\": \"Plant.Boiler.Lvl\"");
    json.replace("\"passwordEnv\": \"PLANT_TEST_MAIL_PASSWORD\"", "\"nothing\": 1");
    json.replace("\"hi\": 150", "\"hi\": 190");
    const LoadedPlantConfig loaded = parse(json);
    EXPECT_FALSE(loaded.config);
    EXPECT_EQ(loaded.problems,
              QStringList({QStringLiteral("driver.timout: unknown key"),
                           QStringLiteral("mail.accounts[0].passwordFile: missing password "
                                          "source: give passwordFile or passwordEnv"),
                           QStringLiteral("mail.accounts[0].nothing: unknown key"),
                           QStringLiteral("alarms[0].item: unknown item path Plant.Boiler.Lvl: "
                                          "not one of driver.items"),
                           QStringLiteral("alarms[0].hiHi: below hi")}))
        << loaded.problems.join(u'\n').toStdString();
}

TEST_F(PlantConfigTest, RefusesPasswordsInTheConfigAndSourcesThatGiveNone)
{
    QByteArray json = GoodConfig;
    json.replace("\"passwordFile\": \"db.password\"", "\"password\": \"Db-s3cret\"");
    json.replace("PLANT_TEST_MAIL_PASSWORD", "PLANT_TEST_UNSET_VARIABLE");
    LoadedPlantConfig loaded = parse(json);
    EXPECT_FALSE(loaded.config);
    ASSERT_EQ(loaded.problems.size(), 2) << loaded.problems.join(u'\n').toStdString();
    EXPECT_TRUE(loaded.problems[0].startsWith(QStringLiteral("database.password: passwords are "
                                                             "not kept in the config")));
    EXPECT_EQ(loaded.problems[1], QStringLiteral("mail.accounts[0].passwordEnv: the variable "
                                                 "PLANT_TEST_UNSET_VARIABLE is not set"));
    // No problem line repeats a secret.
    EXPECT_FALSE(loaded.problems.join(u'\n').contains(QStringLiteral("s3cret")));

    json = GoodConfig;
    json.replace("db.password", "missing.password");
    loaded = parse(json);
    ASSERT_EQ(loaded.problems.size(), 1);
    EXPECT_TRUE(
        loaded.problems[0].startsWith(QStringLiteral("database.passwordFile: cannot read ")));
}

TEST_F(PlantConfigTest, BadShapesAndValuesAreProblemsNotCrashes)
{
    for (const QByteArray &json :
         {QByteArray("{"), QByteArray("[]"), QByteArray("{}"), QByteArray("{\"driver\": 3}"),
          QByteArray("{\"driver\": {\"items\": [1, \"A.B\", \"A..C\"]}, \"alarms\": {}}")}) {
        const LoadedPlantConfig loaded = parse(json);
        EXPECT_FALSE(loaded.config) << json.constData();
        EXPECT_FALSE(loaded.problems.isEmpty()) << json.constData();
    }
    QByteArray json = GoodConfig;
    json.replace("\"severity\": 3", "\"severity\": 300");
    json.replace("\"deadband\": 5", "\"deadband\": -1");
    json.replace("\"provider\": \"Gmail\"", "\"provider\": \"Hotmail\"");
    const LoadedPlantConfig loaded = parse(json);
    EXPECT_TRUE(loaded.problems.contains(
        QStringLiteral("alarms[0].severity: not a whole number from 0 to 255")));
    EXPECT_TRUE(loaded.problems.contains(QStringLiteral("alarms[0].deadband: negative")));
    EXPECT_TRUE(loaded.problems.contains(
        QStringLiteral("mail.accounts[0].provider: Hotmail is neither Gmail nor Yahoo")));
}

namespace {

AlarmRule levelRule()
{
    AlarmRule rule;
    rule.item = QStringLiteral("P.B.Level");
    rule.hiHi = 180;
    rule.hi = 150;
    rule.lo = 20;
    rule.loLo = 10;
    rule.deadband = 5;
    rule.severity = 3;
    return rule;
}

QStringList describe(const QList<AlarmChange> &changes)
{
    QStringList texts;
    for (const AlarmChange &c : changes)
        texts << QStringLiteral("%1 %2").arg(c.active ? u"Active" : u"Inactive",
                                             alarmTypeName(c.type));
    return texts;
}

} // namespace

TEST(AlarmMonitorTest, ALimitAlarmRisesOnceAndClearsOnlyPastTheDeadband)
{
    AlarmMonitor monitor({levelRule()});
    EXPECT_TRUE(monitor.evaluate(QStringLiteral("P.B.Level"), 100).isEmpty());
    EXPECT_TRUE(monitor.evaluate(QStringLiteral("P.B.Level"), 149.9).isEmpty());
    EXPECT_EQ(describe(monitor.evaluate(QStringLiteral("P.B.Level"), 150)),
              QStringList{QStringLiteral("Active Hi")});
    // Hovering about the limit, inside the deadband: no further change.
    for (double v : {151.0, 146.0, 149.0, 145.0, 152.0})
        EXPECT_TRUE(monitor.evaluate(QStringLiteral("P.B.Level"), v).isEmpty()) << v;
    EXPECT_TRUE(monitor.isActive(QStringLiteral("P.B.Level"), AlarmType::Hi));
    EXPECT_EQ(describe(monitor.evaluate(QStringLiteral("P.B.Level"), 144.9)),
              QStringList{QStringLiteral("Inactive Hi")});
    EXPECT_TRUE(monitor.evaluate(QStringLiteral("P.B.Level"), 149).isEmpty());
}

TEST(AlarmMonitorTest, EachLimitIsAnAlarmOfItsOwnAndJumpsRaiseAllItPasses)
{
    AlarmMonitor monitor({levelRule()});
    const QList<AlarmChange> up = monitor.evaluate(QStringLiteral("P.B.Level"), 200);
    EXPECT_EQ(describe(up),
              QStringList({QStringLiteral("Active Hi Hi"), QStringLiteral("Active Hi")}));
    ASSERT_EQ(up.size(), 2);
    EXPECT_EQ(up[0].limit, 180);
    EXPECT_EQ(up[0].value, 200);
    EXPECT_EQ(up[0].severity, 3);
    EXPECT_EQ(describe(monitor.evaluate(QStringLiteral("P.B.Level"), 5)),
              QStringList({QStringLiteral("Inactive Hi Hi"), QStringLiteral("Inactive Hi"),
                           QStringLiteral("Active Lo"), QStringLiteral("Active Lo Lo")}));
    EXPECT_EQ(describe(monitor.evaluate(QStringLiteral("P.B.Level"), 15.5)),
              QStringList{QStringLiteral("Inactive Lo Lo")});
    EXPECT_TRUE(monitor.evaluate(QStringLiteral("P.B.Level"), 25).isEmpty());
    EXPECT_EQ(describe(monitor.evaluate(QStringLiteral("P.B.Level"), 25.1)),
              QStringList{QStringLiteral("Inactive Lo")});
    EXPECT_TRUE(monitor.evaluate(QStringLiteral("P.B.Other"), 1000).isEmpty());
}

TEST(AlarmMonitorTest, ADiscreteAlarmFollowsItsAlarmValue)
{
    AlarmRule pump;
    pump.item = QStringLiteral("P.B.Pump");
    pump.discrete = true;
    pump.activeWhen = false; // the pump stopping is the alarm
    AlarmMonitor monitor({pump});
    EXPECT_TRUE(monitor.evaluate(QStringLiteral("P.B.Pump"), 1).isEmpty());
    EXPECT_EQ(describe(monitor.evaluate(QStringLiteral("P.B.Pump"), 0)),
              QStringList{QStringLiteral("Active Discrete")});
    EXPECT_TRUE(monitor.evaluate(QStringLiteral("P.B.Pump"), 0).isEmpty());
    EXPECT_EQ(describe(monitor.evaluate(QStringLiteral("P.B.Pump"), 1)),
              QStringList{QStringLiteral("Inactive Discrete")});
}
