#include "driversettings.h"
#include "layoutsettings.h"

#include <QSettings>

#include <gtest/gtest.h>

namespace {

class LayoutSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_store.clear();
        m_store.sync();
    }

    QSettings m_store{DriverSettingsOrganization, DriverSettingsApplication};
};

TEST_F(LayoutSettingsTest, WindowPlacementDefaultsAndRoundTrip)
{
    const WindowPlacement defaults = WindowPlacement::read(m_store);
    EXPECT_EQ(defaults.x, 0);
    EXPECT_EQ(defaults.y, 0);
    EXPECT_EQ(defaults.width, 1000);
    EXPECT_EQ(defaults.height, 500);
    EXPECT_FALSE(WindowPlacement::isStored(m_store)) << "the first start";

    WindowPlacement placement;
    placement.x = 120;
    placement.y = -8;
    placement.width = 1280;
    placement.height = 720;
    placement.write(m_store);
    m_store.sync();
    EXPECT_EQ(m_store.value(QStringLiteral("ModMainWnd/cx")).toInt(), 1280);
    EXPECT_EQ(m_store.value(QStringLiteral("ModMainWnd/cy")).toInt(), 720);

    const QSettings fresh(DriverSettingsOrganization, DriverSettingsApplication);
    EXPECT_TRUE(WindowPlacement::isStored(fresh));
    const WindowPlacement back = WindowPlacement::read(fresh);
    EXPECT_EQ(back.x, 120);
    EXPECT_EQ(back.y, -8);
    EXPECT_EQ(back.width, 1280);
    EXPECT_EQ(back.height, 720);
}

TEST_F(LayoutSettingsTest, WindowIsPlacedWithinTheScreen)
{
    const QSize screen(1920, 1080);
    const auto placed = [&](int x, int y, int width, int height) {
        return WindowPlacement{x, y, width, height}.placedOn(screen);
    };
    EXPECT_EQ(placed(0, 0, 1000, 500), QRect(0, 0, 1000, 500));
    EXPECT_EQ(placed(-50, -20, 1000, 500), QRect(0, 0, 1000, 500));
    EXPECT_EQ(placed(1900, 1070, 1000, 500), QRect(1820, 980, 1000, 500));
    EXPECT_EQ(placed(10, 10, 100, 100), QRect(10, 10, 400, 300));
    EXPECT_EQ(placed(10, 10, 4000, 3000), QRect(10, 10, 1920, 1080));
    const WindowPlacement large{50, 50, 1000, 500};
    EXPECT_EQ(large.placedOn(QSize(80, 60)), QRect(0, 0, 80, 60));
}

TEST_F(LayoutSettingsTest, SplitterPercentagesDefaultToThirtyAndSeventy)
{
    const SplitterPercentages read = SplitterPercentages::read(m_store);
    EXPECT_DOUBLE_EQ(read.horizontal, 30.0);
    EXPECT_DOUBLE_EQ(read.vertical, 70.0);
}

TEST_F(LayoutSettingsTest, SplitterPercentagesAreHeldToTenToNinety)
{
    const std::pair<QString, double> rows[] = {
        {QStringLiteral("95.5"), 90.0},         {QStringLiteral("5"), 10.0},
        {QStringLiteral("not a number"), 10.0}, {QStringLiteral(""), 10.0},
        {QStringLiteral("45.250000"), 45.25},   {QStringLiteral("  62.5 %"), 62.5},
        {QStringLiteral("-40"), 10.0},          {QStringLiteral("1e1"), 10.0},
        {QStringLiteral("8e0"), 10.0},          {QStringLiteral(".5e2"), 50.0},
    };
    for (const auto &[text, expected] : rows) {
        m_store.setValue(QStringLiteral("ModView/HorzPercnt"), text);
        m_store.setValue(QStringLiteral("ModView/VertPercnt"), text);
        const SplitterPercentages read = SplitterPercentages::read(m_store);
        EXPECT_DOUBLE_EQ(read.horizontal, expected) << text.toStdString();
        EXPECT_DOUBLE_EQ(read.vertical, expected) << text.toStdString();
    }
}

TEST_F(LayoutSettingsTest, SplitterPercentagesAreWrittenAsTextWithSixDecimals)
{
    SplitterPercentages percentages;
    percentages.horizontal = 100.0 * 150 / 500;
    percentages.vertical = 100.0 * 281 / 400;
    percentages.write(m_store);
    m_store.sync();
    const QSettings fresh(DriverSettingsOrganization, DriverSettingsApplication);
    EXPECT_EQ(fresh.value(QStringLiteral("ModView/HorzPercnt")).toString(),
              QStringLiteral("30.000000"));
    EXPECT_EQ(fresh.value(QStringLiteral("ModView/VertPercnt")).toString(),
              QStringLiteral("70.250000"));
    const SplitterPercentages back = SplitterPercentages::read(fresh);
    EXPECT_DOUBLE_EQ(back.horizontal, 30.0);
    EXPECT_DOUBLE_EQ(back.vertical, 70.25);
}

TEST_F(LayoutSettingsTest, ColumnWidthsDefaultToOneHundredAndNegativeMeansOneHundred)
{
    EXPECT_EQ(readColumnWidths(m_store, TagListColumnsSection, TagListColumnCount),
              QList<int>({100, 100, 100, 100, 100, 100}));

    m_store.setValue(QStringLiteral("ModMsgList/0"), 80);
    m_store.setValue(QStringLiteral("ModMsgList/1"), -5);
    m_store.setValue(QStringLiteral("ModMsgList/2"), QStringLiteral("wide"));
    EXPECT_EQ(readColumnWidths(m_store, MessageListColumnsSection, MessageListColumnCount),
              QList<int>({80, 100, 100}));
    m_store.setValue(QStringLiteral("ModMsgList/1"), 0);
    EXPECT_EQ(readColumnWidths(m_store, MessageListColumnsSection, MessageListColumnCount),
              QList<int>({80, 0, 100}));
}

TEST_F(LayoutSettingsTest, ColumnWidthsRoundTripUnderZeroToFive)
{
    const QList<int> widths{120, 90, 75, 140, 95, 300};
    writeColumnWidths(m_store, TagListColumnsSection, widths);
    m_store.sync();
    const QSettings fresh(DriverSettingsOrganization, DriverSettingsApplication);
    EXPECT_EQ(fresh.value(QStringLiteral("ModTagList/5")).toInt(), 300);
    EXPECT_EQ(readColumnWidths(fresh, TagListColumnsSection, TagListColumnCount), widths);
}

} // namespace
