#include "driversettings.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

// The store as an installer leaves it: the real per-user settings file of this
// test process's private home.
class DriverSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_store.clear();
        m_store.sync();
    }

    void store(const char *name, const QVariant &value)
    {
        m_store.setValue(QStringLiteral("Settings/") + QLatin1StringView(name), value);
        m_store.sync();
        ASSERT_EQ(m_store.status(), QSettings::NoError);
    }

    DriverSettings readBack() const
    {
        const QSettings settings(DriverSettingsOrganization, DriverSettingsApplication);
        return DriverSettings::read(settings);
    }

    QSettings m_store{DriverSettingsOrganization, DriverSettingsApplication};
};

TEST_F(DriverSettingsTest, StoreIsThePerUserQuenlorOrvalaModbusDriverFile)
{
    EXPECT_EQ(m_store.organizationName(), QStringLiteral("Quenlor"));
    EXPECT_EQ(m_store.applicationName(), QStringLiteral("Orvala Modbus Driver"));
    EXPECT_EQ(m_store.scope(), QSettings::UserScope);
    store("EvtMsgLevel", 2);
    EXPECT_TRUE(m_store.fileName().endsWith(QStringLiteral("/Quenlor/Orvala Modbus Driver.conf")))
        << m_store.fileName().toStdString();
}

TEST_F(DriverSettingsTest, EmptyStoreGivesTheDefaults)
{
    const DriverSettings read = readBack();
    EXPECT_EQ(read.eventMessageLevel, 0);
    EXPECT_FALSE(read.showDiagnostics);
    EXPECT_FALSE(read.generateFrameDetails);
    EXPECT_FALSE(read.generateErrorFiles);
    EXPECT_EQ(read.errorFileDurationMinutes, 15);
    EXPECT_EQ(read.messagesToKeep, 200);
    EXPECT_FALSE(read.honourScanRates);
}

TEST_F(DriverSettingsTest, HonourScanRatesIsOnForAnyNonZeroNumber)
{
    const std::pair<QVariant, bool> rows[] = {{1, true},
                                              {0, false},
                                              {2, true},
                                              {QStringLiteral("1"), true},
                                              {QStringLiteral("yes"), false}};
    for (const auto &[stored, expected] : rows) {
        store("HonourScanRates", stored);
        EXPECT_EQ(readBack().honourScanRates, expected) << stored.toString().toStdString();
    }
}

TEST_F(DriverSettingsTest, EventMessageLevelIsHeldToZeroToThree)
{
    const std::pair<QVariant, int> rows[] = {{7, 3},
                                             {-1, 0},
                                             {0, 0},
                                             {1, 1},
                                             {2, 2},
                                             {3, 3},
                                             {4, 3},
                                             {QStringLiteral("3"), 3},
                                             {QStringLiteral("high"), 0}};
    for (const auto &[stored, expected] : rows) {
        store("EvtMsgLevel", stored);
        EXPECT_EQ(readBack().eventMessageLevel, expected) << stored.toString().toStdString();
    }
}

TEST_F(DriverSettingsTest, ErrorFileDurationIsHeldToOneTo600)
{
    const std::pair<QVariant, int> rows[] = {
        {0, 1},     {1000, 600}, {1, 1},   {600, 600},
        {601, 600}, {-20, 1},    {42, 42}, {QStringLiteral("soon"), 15}};
    for (const auto &[stored, expected] : rows) {
        store("ErrFileDuration", stored);
        EXPECT_EQ(readBack().errorFileDurationMinutes, expected) << stored.toString().toStdString();
    }
}

TEST_F(DriverSettingsTest, FlagsAreOnForAnyNonZeroNumber)
{
    const std::pair<QVariant, bool> rows[] = {
        {0, false}, {1, true}, {2, true}, {-1, true}, {QStringLiteral("yes"), false}};
    for (const auto &[stored, expected] : rows) {
        store("ShowDiagno", stored);
        store("GenFrmDetails", stored);
        store("GenErrFile", stored);
        const DriverSettings read = readBack();
        EXPECT_EQ(read.showDiagnostics, expected) << stored.toString().toStdString();
        EXPECT_EQ(read.generateFrameDetails, expected) << stored.toString().toStdString();
        EXPECT_EQ(read.generateErrorFiles, expected) << stored.toString().toStdString();
    }
}

TEST_F(DriverSettingsTest, FlagsAreReadIndependently)
{
    store("GenErrFile", 1);
    const DriverSettings read = readBack();
    EXPECT_FALSE(read.showDiagnostics);
    EXPECT_FALSE(read.generateFrameDetails);
    EXPECT_TRUE(read.generateErrorFiles);
}

TEST_F(DriverSettingsTest, MessagesToKeepFollowsItsRangeRule)
{
    const std::pair<int, int> rows[] = {{5, 200}, {100001, 200}, {10, 10}, {100000, 100000}};
    for (const auto &[stored, expected] : rows) {
        store("MsgsToKeep", stored);
        EXPECT_EQ(readBack().messagesToKeep, expected) << stored;
    }
}

// Values written by hand into the file, as an installer script would.
TEST_F(DriverSettingsTest, ReadsValuesWrittenIntoTheFileByHand)
{
    const QString path = m_store.fileName();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[Settings]\nEvtMsgLevel=3\nShowDiagno=1\nGenFrmDetails=0\nGenErrFile=1\n"
               "ErrFileDuration=30\nMsgsToKeep=500\n");
    file.close();

    const DriverSettings read = readBack();
    EXPECT_EQ(read.eventMessageLevel, 3);
    EXPECT_TRUE(read.showDiagnostics);
    EXPECT_FALSE(read.generateFrameDetails);
    EXPECT_TRUE(read.generateErrorFiles);
    EXPECT_EQ(read.errorFileDurationMinutes, 30);
    EXPECT_EQ(read.messagesToKeep, 500);
}

} // namespace
