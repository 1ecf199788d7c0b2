#include "driversettings.h"
#include "recentfilelist.h"

#include <QDir>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

QString project(int number)
{
    return QStringLiteral("/srv/projects/plant%1.drx").arg(number);
}

QStringList nonEmpty(const RecentFileList &list)
{
    QStringList entries = list.entries();
    entries.removeAll(QString());
    return entries;
}

class RecentFileListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_store.clear();
        m_store.sync();
    }

    QSettings m_store{DriverSettingsOrganization, DriverSettingsApplication};
};

TEST_F(RecentFileListTest, StartsWithTenEmptyEntries)
{
    RecentFileList list;
    list.load(m_store);
    EXPECT_EQ(list.entries().size(), 10);
    EXPECT_TRUE(nonEmpty(list).isEmpty());
    EXPECT_TRUE(list.entry(0).isEmpty());
    EXPECT_TRUE(list.entry(10).isEmpty());
    EXPECT_TRUE(list.entry(-1).isEmpty());
}

TEST_F(RecentFileListTest, MostRecentComesFirst)
{
    RecentFileList list;
    list.add(project(1));
    list.add(project(2));
    list.add(project(3));
    EXPECT_EQ(nonEmpty(list), QStringList({project(3), project(2), project(1)}));
    EXPECT_EQ(list.entry(0), project(3));
}

TEST_F(RecentFileListTest, AddingAKnownFileMovesItToTheTopOnce)
{
    RecentFileList list;
    for (int number = 1; number <= 4; ++number)
        list.add(project(number));
    list.add(project(2));
    EXPECT_EQ(nonEmpty(list), QStringList({project(2), project(4), project(3), project(1)}));
    list.add(QStringLiteral("/srv/projects/./sub/../plant1.drx"));
    EXPECT_EQ(nonEmpty(list), QStringList({project(1), project(2), project(4), project(3)}));
    list.add(project(1));
    EXPECT_EQ(nonEmpty(list), QStringList({project(1), project(2), project(4), project(3)}));
}

TEST_F(RecentFileListTest, KeepsTheTenMostRecent)
{
    RecentFileList list;
    for (int number = 1; number <= 12; ++number)
        list.add(project(number));
    QStringList expected;
    for (int number = 12; number >= 3; --number)
        expected.append(project(number));
    EXPECT_EQ(list.entries(), expected);

    list.add(project(3)); // the oldest moves up; nothing drops out
    EXPECT_EQ(list.entry(0), project(3));
    EXPECT_EQ(list.entry(9), project(4));
    EXPECT_EQ(nonEmpty(list).size(), 10);
}

TEST_F(RecentFileListTest, RelativePathsAreStoredAbsolute)
{
    RecentFileList list;
    list.add(QStringLiteral("plant.drx"));
    EXPECT_TRUE(QDir::isAbsolutePath(list.entry(0))) << list.entry(0).toStdString();
    EXPECT_TRUE(list.entry(0).endsWith(QStringLiteral("/plant.drx")));
    list.add(QString());
    EXPECT_EQ(nonEmpty(list).size(), 1);
}

TEST_F(RecentFileListTest, RemoveMovesTheLaterEntriesUp)
{
    RecentFileList list;
    for (int number = 1; number <= 3; ++number)
        list.add(project(number));
    list.remove(1);
    EXPECT_EQ(nonEmpty(list), QStringList({project(3), project(1)}));
    EXPECT_EQ(list.entry(1), project(1));
    list.remove(12);
    EXPECT_EQ(nonEmpty(list).size(), 2);
}

TEST_F(RecentFileListTest, RoundTripsThroughFileOneToFileTen)
{
    RecentFileList list;
    for (int number = 1; number <= 11; ++number)
        list.add(project(number));
    list.save(m_store);
    m_store.sync();
    ASSERT_EQ(m_store.status(), QSettings::NoError);

    const QSettings fresh(DriverSettingsOrganization, DriverSettingsApplication);
    EXPECT_EQ(fresh.value(QStringLiteral("Recent File List/File1")).toString(), project(11));
    EXPECT_EQ(fresh.value(QStringLiteral("Recent File List/File10")).toString(), project(2));
    EXPECT_FALSE(fresh.contains(QStringLiteral("Recent File List/File11")));

    RecentFileList loaded;
    loaded.load(fresh);
    EXPECT_EQ(loaded.entries(), list.entries());
}

TEST_F(RecentFileListTest, SavingDropsValuesOfEmptiedSlots)
{
    RecentFileList list;
    list.add(project(1));
    list.add(project(2));
    list.save(m_store);
    list.remove(0);
    list.remove(0);
    list.save(m_store);
    m_store.sync();
    const QSettings fresh(DriverSettingsOrganization, DriverSettingsApplication);
    EXPECT_TRUE(fresh.childKeys().isEmpty());
    EXPECT_FALSE(fresh.contains(QStringLiteral("Recent File List/File1")));
}

TEST_F(RecentFileListTest, LoadKeepsEmptySlotsWhereTheyAre)
{
    m_store.setValue(QStringLiteral("Recent File List/File2"), project(2));
    m_store.setValue(QStringLiteral("Recent File List/File4"), project(4));
    RecentFileList list;
    list.load(m_store);
    EXPECT_TRUE(list.entry(0).isEmpty());
    EXPECT_EQ(list.entry(1), project(2));
    EXPECT_EQ(list.entry(3), project(4));
    list.add(project(5));
    EXPECT_EQ(list.entry(0), project(5));
    EXPECT_TRUE(list.entry(1).isEmpty());
    EXPECT_EQ(list.entry(2), project(2));
}

} // namespace
